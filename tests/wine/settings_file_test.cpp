// A settings file that another process holds open without sharing: the platform's
// profile reader cannot open it and the program does what it does with no file.
#include "wine_machine.h"

namespace {

using SettingsFileAccess = winetest::WineMachine;

TEST_F(SettingsFileAccess, LockedByAnotherProcessIsNotRead) {
    const Scenario row = CameraRun("SettingsFileLocked", BothSections, {}, {});
    BuildMachine(row);
    HANDLE lock = CreateFileA(SettingsFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE) << GetLastError();
    const winetest::Outcome outcome = Start();
    CloseHandle(lock);
    winetest::ExpectQuietRun(outcome);
    winetest::ExpectRegistry(row);
    winetest::ExpectNetCommands(outcome, row.commands);
}

} // namespace
