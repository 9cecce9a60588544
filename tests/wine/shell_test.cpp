// How the program is started and where it lies. A command line or a show command from
// the starting program neither shows the window nor changes the run; a long folder works
// as far as the settings file's path fits.
#include "wine_machine.h"

#include <algorithm>

namespace {

struct LaunchRow {
    const char* name;
    winetest::Launch launch;
};

void PrintTo(const LaunchRow& row, std::ostream* out) {
    *out << row.name;
}

class ProgramStart : public winetest::WineMachine,
                     public ::testing::WithParamInterface<LaunchRow> {};

TEST_P(ProgramStart, SameQuietRun) {
    const Scenario row =
        CameraRun(GetParam().name, BothSections, BothSectionsWritten(), RestartCommands);
    BuildMachine(row);
    const winetest::Outcome outcome = Start(GetParam().launch);
    winetest::ExpectQuietRun(outcome);
    winetest::ExpectRegistry(row);
    winetest::ExpectNetCommands(outcome, row.commands);
}

INSTANTIATE_TEST_SUITE_P(
    Launches, ProgramStart,
    ::testing::Values(LaunchRow{"ArgumentsAndShowNormal",
                                {" /install \"C:\\Other Folder\\InfoSetting.ini\"",
                                 STARTF_USESHOWWINDOW, SW_SHOWNORMAL}},
                      LaunchRow{"ShowMaximized", {"", STARTF_USESHOWWINDOW, SW_SHOWMAXIMIZED}},
                      LaunchRow{"ShowDefaultWithArgument",
                                {" x", STARTF_USESHOWWINDOW, SW_SHOWDEFAULT}}),
    [](const ::testing::TestParamInfo<LaunchRow>& row) { return std::string(row.param.name); });

} // namespace

namespace {

// Where the program lies: the settings file's full path and the program's own path
// must each fit MAX_PATH characters with their terminator.
struct LocationRow {
    const char* name;
    size_t folderLength; // of the folder's full path, without a trailing backslash
    std::string fileName;
    bool runs;
};

void PrintTo(const LocationRow& row, std::ostream* out) {
    *out << row.name;
}

class ProgramLocation : public winetest::WineMachine,
                        public ::testing::WithParamInterface<LocationRow> {};

TEST_P(ProgramLocation, SettingsFileAndModulePathFit) {
    const LocationRow& row = GetParam();
    const Scenario scenario = CameraRun(
        row.name, BothSections, row.runs ? BothSectionsWritten() : std::vector<ScenarioValue>{},
        row.runs ? RestartCommands : std::vector<std::string>{});
    PlaceProgram(winetest::FolderOfLength(row.folderLength), row.fileName);
    BuildMachine(scenario);
    const winetest::Outcome outcome = Start();
    winetest::ExpectQuietRun(outcome);
    winetest::ExpectRegistry(scenario);
    winetest::ExpectNetCommands(outcome, scenario.commands);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ProgramLocation,
    ::testing::Values(
        // The folder, a backslash, InfoSetting.ini and the terminator.
        LocationRow{"FolderOf243CharactersFits", 243, "Pravenit.exe", true},
        LocationRow{"FolderOf244CharactersLeavesNoRoom", 244, "Pravenit.exe", false},
        // The longest path a program can be started from at all.
        LocationRow{"ModulePathOf259Characters", 200, std::string(54, 'p') + ".exe", true}),
    [](const ::testing::TestParamInfo<LocationRow>& row) { return std::string(row.param.name); });

} // namespace
