// The whole-run rows every level shares, run against the real program under Wine.
#include "wine_machine.h"

namespace {

class SharedScenario : public winetest::WineMachine,
                       public ::testing::WithParamInterface<Scenario> {};

TEST_P(SharedScenario, Outcome) {
    const Scenario& row = GetParam();
    const std::string unbuildable = winetest::WhyWineCannotBuild(row);
    if (!unbuildable.empty()) {
        GTEST_SKIP() << unbuildable;
    }
    BuildMachine(row);
    const winetest::Outcome outcome = Start();
    winetest::ExpectQuietRun(outcome);
    winetest::ExpectRegistry(row);
    winetest::ExpectNetCommands(outcome, row.commands);
}

INSTANTIATE_TEST_SUITE_P(Rows, SharedScenario, ::testing::ValuesIn(ProvisioningScenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& row) {
                             return row.param.name;
                         });

} // namespace
