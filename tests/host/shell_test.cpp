// The process entry and its hidden window on the stand-in: the pass runs once, from
// window creation, on every path the process ends with 0, and nothing is shown.
#include "host_fixture.h"
#include "resource.h"
#include "scenario_machine.h"
#include "shell.h"

#include <cstring>

namespace {

using Calls = std::vector<std::string>;

// The window calls of a process that creates its window and quits.
const Calls CompleteStart{"LoadString 103",
                          "LoadString 109",
                          "RegisterClassEx PRAVENIT",
                          "CreateWindowEx PRAVENIT",
                          "message 0x0001",
                          "PostQuitMessage 0",
                          "ShowWindow 0",
                          "UpdateWindow",
                          "GetMessage 0x0012"};

Scenario Row(const std::string& name) {
    for (const Scenario& scenario : ProvisioningScenarios()) {
        if (scenario.name == name) {
            return scenario;
        }
    }
    ADD_FAILURE() << "no scenario row " << name;
    return Scenario{};
}

struct ShellStart {
    const char* row;
    const char* commandLine;
    int showCommand;
};

void PrintTo(const ShellStart& start, std::ostream* out) {
    *out << start.row << " started with \"" << start.commandLine << "\"";
}

class EveryPath : public HostProgram, public ::testing::WithParamInterface<ShellStart> {};

// Every way a run can end, whatever the command line and the show command say.
TEST_P(EveryPath, RunsThePassOnceShowsNothingAndExitsWithZero) {
    const Scenario scenario = Row(GetParam().row);
    BuildScenario(scenario);

    EXPECT_EQ(Start(GetParam().commandLine, GetParam().showCommand), 0);

    CheckScenarioOutcome(scenario);
    EXPECT_EQ(standin::WindowCalls(), CompleteStart);
    EXPECT_EQ(standin::BlockedMessageWaits(), 0);
    const bool reachesDevices = scenario.major == 5 && scenario.minor == 1 && scenario.hasSettings;
    EXPECT_EQ(standin::DeviceSetsOpened(), reachesDevices ? 1 : 0);
    ASSERT_EQ(standin::Windows().size(), 1u);
    EXPECT_FALSE(standin::Windows()[0].everVisible);
}

INSTANTIATE_TEST_SUITE_P(Starts, EveryPath,
                         ::testing::Values(ShellStart{"Version6_1", "", SW_SHOWNORMAL},
                                           ShellStart{"NoSettingsFile", "/show", 3}, // maximized
                                           ShellStart{"NoImagingDevice", "", SW_HIDE},
                                           ShellStart{"BothSectionsWritten", "", SW_SHOWNORMAL},
                                           ShellStart{"BothSectionsWritten",
                                                      "ignored arguments \"quoted\"", 3},
                                           ShellStart{"ResetZero", "", SW_SHOWNORMAL}));

TEST_F(HostProgram, ClassRecord) {
    Start();
    ASSERT_EQ(standin::RegisteredClasses().size(), 1u);
    const standin::RegisteredClass registered = standin::RegisteredClasses()[0];
    const WNDCLASSEXA& record = registered.record;
    EXPECT_EQ(record.cbSize, sizeof(WNDCLASSEXA)); // 48 on 32-bit Windows
    EXPECT_EQ(record.style, CS_HREDRAW | CS_VREDRAW);
    EXPECT_EQ(record.lpfnWndProc, &HostWindowProc);
    EXPECT_EQ(record.cbClsExtra, 0);
    EXPECT_EQ(record.cbWndExtra, 0);
    EXPECT_EQ(record.hInstance, standin::ModuleInstance());
    EXPECT_EQ(record.hIcon, standin::IconHandle(IDI_PRAVENIT));
    EXPECT_EQ(record.hCursor, standin::ArrowCursor());
    EXPECT_EQ(reinterpret_cast<INT_PTR>(record.hbrBackground), 6);
    EXPECT_EQ(record.lpszMenuName, nullptr);
    EXPECT_EQ(registered.name, "PRAVENIT");
    EXPECT_EQ(record.hIconSm, standin::IconHandle(IDI_PRAVENIT));
}

TEST_F(HostProgram, HiddenWindow) {
    Start();
    ASSERT_EQ(standin::Windows().size(), 1u);
    const standin::Window window = standin::Windows()[0];
    EXPECT_EQ(window.className, "PRAVENIT");
    EXPECT_EQ(window.title, "Pravenit");
    EXPECT_EQ(window.exStyle, 0u);
    EXPECT_EQ(window.style, DWORD(WS_OVERLAPPEDWINDOW));
    EXPECT_EQ(window.x, CW_USEDEFAULT);
    EXPECT_EQ(window.y, 0);
    EXPECT_EQ(window.width, CW_USEDEFAULT);
    EXPECT_EQ(window.height, 0);
    EXPECT_EQ(window.parent, nullptr);
    EXPECT_EQ(window.menu, nullptr);
    EXPECT_EQ(window.instance, standin::ModuleInstance());
    EXPECT_EQ(window.parameter, nullptr);
    EXPECT_FALSE(window.everVisible);
}

// Texts longer than their 50-byte buffers are cut to 49 characters, and the cut class
// name still finds its class.
TEST_F(HostProgram, LongResourceTextsAreCut) {
    standin::SetString(IDS_APP_TITLE, std::string(60, 't'));
    standin::SetString(IDC_PRAVENIT, std::string(60, 'c'));
    BuildScenario(Row("BothSectionsWritten"));

    EXPECT_EQ(Start(), 0);

    ASSERT_EQ(standin::Windows().size(), 1u);
    EXPECT_EQ(standin::Windows()[0].title, std::string(49, 't'));
    EXPECT_EQ(standin::Windows()[0].className, std::string(49, 'c'));
    CheckScenarioOutcome(Row("BothSectionsWritten"));
}

TEST_F(HostProgram, WindowThatCannotBeCreatedEndsWithoutThePass) {
    const Scenario complete = Row("BothSectionsWritten");
    BuildScenario(complete);
    standin::FailWindowCreation(true);

    EXPECT_EQ(Start(), 0);

    Scenario untouched = complete;
    untouched.expected.clear();
    untouched.commands.clear();
    CheckScenarioOutcome(untouched);
    EXPECT_EQ(standin::DeviceSetsOpened(), 0);
    EXPECT_EQ(standin::WindowCalls(),
              (Calls{"LoadString 103", "LoadString 109", "RegisterClassEx PRAVENIT",
                     "CreateWindowEx PRAVENIT"}));
}

// After the first quit has been taken out, the loop goes on dispatching until a
// WM_CLOSE to the window posts the next one; other messages go to the default handling.
TEST_F(HostProgram, CloseMessageEndsTheLoop) {
    BuildScenario(Row("BothSectionsWritten"));
    ASSERT_EQ(Start(), 0);
    const HWND window = standin::Windows()[0].handle;
    standin::PostWindowMessage(window, WM_USER, 1, 2);
    standin::PostWindowMessage(window, WM_CLOSE, 0, 0);
    const size_t before = standin::WindowCalls().size();

    EXPECT_EQ(RunMessageLoop(), 0);

    const Calls all = standin::WindowCalls();
    EXPECT_EQ(Calls(all.begin() + static_cast<long>(before), all.end()),
              (Calls{"GetMessage 0x0400", "TranslateMessage 0x0400", "DispatchMessage 0x0400",
                     "message 0x0400", "DefWindowProc 0x0400", "GetMessage 0x0010",
                     "TranslateMessage 0x0010", "DispatchMessage 0x0010", "message 0x0010",
                     "PostQuitMessage 0", "GetMessage 0x0012"}));
    EXPECT_EQ(standin::BlockedMessageWaits(), 0);
    EXPECT_EQ(standin::Processes().size(), 2u); // the pass ran only once
}

TEST_F(HostProgram, LoopReturnsTheQuitCode) {
    PostQuitMessage(7);
    EXPECT_EQ(RunMessageLoop(), 7);
}

// GetMessageA's -1 ends the loop with 0 instead of spinning on it for ever.
TEST_F(HostProgram, LoopEndsWhenNoMessageCanBeRead) {
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_EQ(standin::BlockedMessageWaits(), 1);
}

} // namespace
