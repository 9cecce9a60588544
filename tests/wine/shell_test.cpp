// How the program is started makes no difference: a command line or a show command
// from the starting program neither shows the window nor changes the run.
#include "wine_machine.h"

namespace {

struct LaunchRow {
    const char* name;
    bench::Launch launch;
};

void PrintTo(const LaunchRow& row, std::ostream* out) {
    *out << row.name;
}

class ProgramStart : public bench::WineMachine, public ::testing::WithParamInterface<LaunchRow> {};

TEST_P(ProgramStart, SameQuietRun) {
    const Scenario row =
        CameraRun(GetParam().name, BothSections, BothSectionsWritten(), RestartCommands);
    BuildMachine(row);
    const bench::Outcome outcome = Start(GetParam().launch);
    bench::ExpectQuietRun(outcome);
    bench::ExpectRegistry(row);
    bench::ExpectNetCommands(outcome, row.commands);
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
