// PravenitCheck on the stand-in: on every shared row its report predicts, value for value,
// what Pravenit then leaves in the registry and which commands it starts; it changes
// nothing on the machine; and its warnings and exit codes, one row each.
#include "check.h"
#include "check_cases.h"
#include "check_report.h"
#include "host_fixture.h"
#include "provisioning.h"
#include "scenario_machine.h"
#include "settings_file.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace {

struct CheckRun {
    int exitCode = -1;
    std::string report;
};

// Runs the check as its process entry would, with the report caught in a file.
CheckRun RunCheckProgram(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "PravenitCheck.exe");
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    CheckRun run;
    std::FILE* out = std::tmpfile();
    if (out == nullptr) {
        ADD_FAILURE() << "no temporary file for the report";
        return run;
    }
    CheckOutput = out;
    run.exitCode = RunCheck(static_cast<int>(arguments.size()), argv.data());
    CheckOutput = nullptr;
    std::rewind(out);
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, out)) > 0;) {
        run.report.append(chunk, got);
    }
    std::fclose(out);
    return run;
}

// A check changes nothing: no key created, no value set, every key opened for reading
// only, no process started, and everything it took released.
class ReadOnlyWatch {
  public:
    ReadOnlyWatch()
        : values_(RegistryLines()), keys_(standin::KeyPaths()), calls_(standin::RegistryCalls()),
          accesses_(standin::OpenAccesses().size()) {}

    void ExpectNothingChanged() const {
        const standin::RegistryCounts calls = standin::RegistryCalls();
        EXPECT_EQ(calls.creates, calls_.creates) << "the check created a key";
        EXPECT_EQ(calls.sets, calls_.sets) << "the check set a value";
        const std::vector<REGSAM> accesses = standin::OpenAccesses();
        for (size_t i = accesses_; i < accesses.size(); ++i) {
            EXPECT_EQ(accesses[i], REGSAM(KEY_READ)) << "open " << i;
        }
        EXPECT_EQ(RegistryLines(), values_);
        EXPECT_EQ(standin::KeyPaths(), keys_);
        EXPECT_TRUE(standin::Processes().empty()) << "the check started a process";
        EXPECT_EQ(standin::OpenKeys(), 0);
        EXPECT_EQ(standin::OpenDeviceSets(), 0);
        EXPECT_EQ(standin::OpenFileHandles(), 0);
        EXPECT_EQ(standin::LiveAllocations(), 0);
    }

  private:
    std::multiset<std::string> values_;
    std::vector<std::string> keys_;
    standin::RegistryCounts calls_;
    size_t accesses_;
};

class CheckPredicts : public HostMachine, public ::testing::WithParamInterface<Scenario> {};

TEST_P(CheckPredicts, WhatPravenitThenDoes) {
    const Scenario& row = GetParam();
    BuildScenario(row);
    const ReadOnlyWatch watch;
    const CheckRun before = RunCheckProgram({});
    watch.ExpectNothingChanged();
    CheckPrediction prediction;
    ASSERT_EQ(ParseCheckReport(before.report, &prediction), "") << before.report;
    EXPECT_EQ(prediction.exitCode, before.exitCode) << before.report;

    ForgetProgramState();
    const int setsBefore = standin::RegistryCalls().sets;
    RunProvisioning();
    EXPECT_EQ(RegistryLines(), PredictedValueLines(row, prediction)) << before.report;
    EXPECT_EQ(StartedCommands(), PredictedCommands(prediction)) << before.report;
    EXPECT_EQ(before.exitCode, prediction.writesNothing                    ? CHECK_WRITES_NOTHING
                               : prediction.added + prediction.changed > 0 ? CHECK_WOULD_WRITE
                                                                           : CHECK_ALL_IN_PLACE);

    if (standin::RegistryCalls().sets > setsBefore) {
        ForgetProgramState();
        const CheckRun after = RunCheckProgram({});
        EXPECT_EQ(after.exitCode, CHECK_ALL_IN_PLACE) << after.report;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CheckPredicts, ::testing::ValuesIn(ProvisioningScenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             return info.param.name;
                         });

// ---- Warnings and exit codes ------------------------------------------------------------

class CheckCaseRun : public HostMachine, public ::testing::WithParamInterface<CheckCase> {
  protected:
    // The case's machine; the programs' folder is the test's host folder.
    void Build(const CheckCase& row) {
        if (row.longFolder) {
            const std::string folder = "C:\\" + std::string(241, 'f');
            standin::MapFolder(folder, hostFolder_);
            standin::SetModulePath(folder + "\\" SHORT_CHECK_NAME);
        }
        BuildScenario(row.machine);
    }

    // The case's arguments with the paths it names made.
    std::vector<std::string> Arguments(const CheckCase& row) {
        std::vector<std::string> arguments;
        for (const std::string& argument : row.arguments) {
            const std::string folder = PROGRAM_FOLDER "\\";
            if (argument == OTHER_SETTINGS_FILE) {
                WriteFile("Other Settings.ini", row.machine.settings);
                arguments.push_back(folder + "Other Settings.ini");
            } else if (argument == MISSING_FILE) {
                arguments.push_back(folder + "Missing.ini");
            } else if (argument == A_FOLDER) {
                std::filesystem::create_directory(hostFolder_ + "/Sub");
                arguments.push_back(folder + "Sub");
            } else if (argument == LOCKED_FILE) {
                WriteFile("Locked.ini", row.machine.settings);
                standin::FailFileOpen(folder + "Locked.ini", ERROR_SHARING_VIOLATION);
                arguments.push_back(folder + "Locked.ini");
            } else {
                arguments.push_back(argument);
            }
        }
        return arguments;
    }

    void WriteFile(const std::string& name, const std::string& content) {
        std::FILE* out = std::fopen((hostFolder_ + "/" + name).c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(content.data(), 1, content.size(), out);
        std::fclose(out);
    }
};

TEST_P(CheckCaseRun, ReportAndExitCode) {
    const CheckCase& row = GetParam();
    Build(row);
    const std::vector<std::string> arguments = Arguments(row);
    const ReadOnlyWatch watch;
    const CheckRun run = RunCheckProgram(arguments);
    watch.ExpectNothingChanged();
    for (const std::string& mismatch : CheckCaseMismatches(row, run.exitCode, run.report)) {
        ADD_FAILURE() << mismatch;
    }
    if (HasFailure()) {
        std::cout << run.report;
    }
}

std::vector<CheckCase> AllCheckCases() {
    std::vector<CheckCase> rows = CheckWarningCases();
    for (const CheckCase& row : CheckExitCodeCases()) {
        rows.push_back(row);
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Cases, CheckCaseRun, ::testing::ValuesIn(AllCheckCases()),
                         [](const ::testing::TestParamInfo<CheckCase>& info) {
                             return info.param.name;
                         });

} // namespace
