// PravenitCheck.exe under Wine, run from a console as a deployer runs it: on every shared
// row its report predicts what Pravenit.exe then does to the real registry and which
// commands it starts, and changes nothing itself; its warnings and exit codes, one row each.
#include "check_cases.h"
#include "check_report.h"
#include "wine_machine.h"

#include <algorithm>
#include <iostream>
#include <set>

namespace {

// The registry a check could reach: the class keys, the default-settings key's maker key
// and the bench's devices.
std::vector<std::string> ReachableRegistry() {
    std::vector<std::string> tree;
    for (const char* key : {"SYSTEM\\CurrentControlSet\\Control\\Class", "SOFTWARE\\VORN",
                            "SYSTEM\\CurrentControlSet\\Enum\\PRAVENITBENCH"}) {
        for (const std::string& line : winetest::RegistryTree(key)) {
            tree.push_back(line);
        }
    }
    return tree;
}

// The lines only one of the two trees holds, each marked with the tree it is in.
std::vector<std::string> TreeDifferences(const std::vector<std::string>& before,
                                         const std::vector<std::string>& after) {
    const std::multiset<std::string> was(before.begin(), before.end());
    const std::multiset<std::string> is(after.begin(), after.end());
    std::vector<std::string> differences;
    for (const std::string& line : was) {
        if (is.count(line) < was.count(line)) {
            differences.push_back("gone: " + line);
        }
    }
    for (const std::string& line : is) {
        if (was.count(line) < is.count(line)) {
            differences.push_back("new: " + line);
        }
    }
    differences.erase(std::unique(differences.begin(), differences.end()), differences.end());
    return differences;
}

// A machine on which the check is run and must change nothing: no registry value or key
// it could reach, and no net command started.
class CheckMachine : public winetest::WineMachine {
  protected:
    winetest::CheckOutcome Check(const std::vector<std::string>& arguments) {
        const std::vector<std::string> before = ReachableRegistry();
        winetest::CheckOutcome outcome = RunCheck(arguments);
        EXPECT_TRUE(outcome.finished) << "the check did not end";
        EXPECT_EQ(TreeDifferences(before, ReachableRegistry()), std::vector<std::string>{})
            << "the check changed the registry";
        EXPECT_TRUE(outcome.records.empty()) << "the check started a net command";
        return outcome;
    }
};

class CheckPredicts : public CheckMachine, public ::testing::WithParamInterface<Scenario> {};

TEST_P(CheckPredicts, WhatPravenitThenDoes) {
    const Scenario& row = GetParam();
    const std::string unbuildable = winetest::WhyWineCannotBuild(row);
    if (!unbuildable.empty()) {
        GTEST_SKIP() << unbuildable;
    }
    PlaceCheck("PravenitCheck.exe");
    BuildMachine(row);
    const winetest::CheckOutcome before = Check({});
    CheckPrediction prediction;
    ASSERT_EQ(ParseCheckReport(before.report, &prediction), "") << before.report;
    EXPECT_EQ(static_cast<int>(before.exitCode), prediction.exitCode) << before.report;

    const winetest::Outcome outcome = Start();
    winetest::ExpectQuietRun(outcome);
    EXPECT_EQ(winetest::ValuesOfKeys(WatchedKeys(row)), PredictedValueLines(row, prediction))
        << before.report;
    winetest::ExpectNetCommands(outcome, PredictedCommands(prediction));

    if (!prediction.writes.empty()) {
        const winetest::CheckOutcome after = Check({});
        EXPECT_EQ(after.exitCode, 0u) << after.report;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CheckPredicts, ::testing::ValuesIn(ProvisioningScenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& row) {
                             return row.param.name;
                         });

class CheckFromConsole : public CheckMachine, public ::testing::WithParamInterface<CheckCase> {
  protected:
    // The case's arguments with the paths it names made; a locked file stays locked
    // until the case ends.
    std::vector<std::string> Arguments(const CheckCase& row) {
        std::vector<std::string> arguments;
        for (const std::string& argument : row.arguments) {
            const std::string& folder = ProgramFolder();
            if (argument == OTHER_SETTINGS_FILE) {
                const std::string file = folder + "Other Settings.ini";
                if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
                    PutFile(file, row.machine.settings);
                }
                arguments.push_back(file);
            } else if (argument == MISSING_FILE) {
                arguments.push_back(folder + "Missing.ini");
            } else if (argument == A_FOLDER) {
                CreateFolder(folder + "Sub");
                arguments.push_back(folder + "Sub");
            } else if (argument == LOCKED_FILE) {
                PutFile(folder + "Locked.ini", row.machine.settings);
                lock_ = CreateFileA((folder + "Locked.ini").c_str(), GENERIC_READ | GENERIC_WRITE,
                                    0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
                EXPECT_NE(lock_, INVALID_HANDLE_VALUE);
                arguments.push_back(folder + "Locked.ini");
            } else {
                arguments.push_back(argument);
            }
        }
        return arguments;
    }

    void TearDown() override {
        if (lock_ != INVALID_HANDLE_VALUE) {
            CloseHandle(lock_);
        }
        CheckMachine::TearDown();
    }

    HANDLE lock_ = INVALID_HANDLE_VALUE;
};

TEST_P(CheckFromConsole, ReportAndExitCode) {
    const CheckCase& row = GetParam();
    if (row.longFolder) {
        PlaceProgram(winetest::FolderOfLength(244), "Pravenit.exe");
        PlaceCheck(SHORT_CHECK_NAME);
    } else {
        PlaceCheck("PravenitCheck.exe");
    }
    BuildMachine(row.machine);
    const winetest::CheckOutcome outcome = Check(Arguments(row));
    for (const std::string& mismatch :
         CheckCaseMismatches(row, static_cast<int>(outcome.exitCode), outcome.report)) {
        ADD_FAILURE() << mismatch;
    }
    if (HasFailure()) {
        std::cout << outcome.report;
    }
}

std::vector<CheckCase> AllCheckCases() {
    std::vector<CheckCase> rows = CheckWarningCases();
    for (const CheckCase& row : CheckExitCodeCases()) {
        rows.push_back(row);
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Cases, CheckFromConsole, ::testing::ValuesIn(AllCheckCases()),
                         [](const ::testing::TestParamInfo<CheckCase>& row) {
                             return row.param.name;
                         });

} // namespace
