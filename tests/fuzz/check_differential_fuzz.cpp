// The check against the pass it predicts. On a stand-in machine the input describes
// (BuildFuzzMachine), PravenitCheck's report is read back; then a fresh copy of the same
// machine runs RunProvisioning. The values the report says Pravenit leaves must be the
// values it leaves, and the restart it predicts must be the commands tried. The check
// itself creates, sets and starts nothing, opens keys for reading only, and releases
// everything. Where the machine refuses writes or has no system directory the check cannot
// know it without writing or starting, so those parts of the comparison are left out.
#include "check.h"
#include "check_report.h"
#include "fuzz_machine.h"
#include "provisioning.h"
#include "scenarios.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

// A name as the report shows it: control characters become '?'.
std::string Shown(std::string name) {
    for (char& c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < ' ' || byte == 0x7f) {
            c = '?';
        }
    }
    return name;
}

using Values = std::map<std::pair<std::string, std::string>, std::string>;

// Every value of the registry by key and name as the report can name them, with its type
// and bytes.
Values RegistryValues() {
    Values values;
    for (const standin::RegistryValue& value : standin::DumpRegistry()) {
        values[{KeyIdentity(Shown(value.key)), FoldedName(Shown(value.name))}] =
            DescribeValue("", "", value.type, value.data);
    }
    return values;
}

// The registry before the run with the report's predicted writes applied.
Values Predicted(Values values, const CheckPrediction& prediction) {
    for (const ScenarioValue& write : prediction.writes) {
        values[{KeyIdentity(write.key), FoldedName(write.name)}] =
            DescribeValue("", "", write.type, ValueBytes(write));
    }
    return values;
}

std::string Listed(const Values& values) {
    std::string text;
    for (const auto& value : values) {
        text += "\n    " + Printable(value.first.first) + " [" + Printable(value.first.second) +
                "]" + value.second;
    }
    return text;
}

// Runs the check with no arguments, as beside the program, and returns its report.
std::string RunCheckReport(int* exitCode) {
    char* text = nullptr;
    size_t length = 0;
    FILE* out = open_memstream(&text, &length);
    FUZZ_CHECK(out != nullptr, "no memory stream");
    char program[] = "PravenitCheck.exe";
    char* argv[] = {program, nullptr};
    CheckOutput = out;
    *exitCode = RunCheck(1, argv);
    CheckOutput = nullptr;
    std::fclose(out);
    std::string report(text, length);
    std::free(text);
    return report;
}

// The check changed nothing and released everything it took.
void CheckReadOnly(const Values& before, const standin::RegistryCounts& calls, size_t accesses) {
    const standin::RegistryCounts after = standin::RegistryCalls();
    FUZZ_CHECK(after.creates == calls.creates, "the check created a key");
    FUZZ_CHECK(after.sets == calls.sets, "the check set a value");
    const std::vector<REGSAM> opened = standin::OpenAccesses();
    for (size_t i = accesses; i < opened.size(); ++i) {
        FUZZ_CHECK(opened[i] == KEY_READ, "a key opened for more than reading");
    }
    FUZZ_CHECK(RegistryValues() == before, "the check changed the registry");
    FUZZ_CHECK(standin::ProcessCalls().empty(), "the check started a process");
    FUZZ_CHECK(standin::OpenKeys() == 0, "the check left a key open");
    FUZZ_CHECK(standin::OpenDeviceSets() == 0, "the check left a device set open");
    FUZZ_CHECK(standin::OpenFileHandles() == 0, "the check left a file open");
    FUZZ_CHECK(standin::LiveAllocations() == 0, "the check left local-heap blocks");
}

// The check on a machine built from the input; its report read back.
CheckPrediction Predict(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const FuzzMachine machine = BuildFuzzMachine(in);
    ArmProfileFault(machine);
    const Values before = RegistryValues();
    const standin::RegistryCounts calls = standin::RegistryCalls();
    const size_t accesses = standin::OpenAccesses().size();
    int exitCode = -1;
    const std::string report = RunCheckReport(&exitCode);
    CheckReadOnly(before, calls, accesses);
    CheckPrediction prediction;
    const std::string unread = ParseCheckReport(report, &prediction);
    FUZZ_CHECK(unread.empty(), unread + " in\n" + report);
    FUZZ_CHECK(prediction.exitCode == exitCode, "the last line's exit code is not the exit code");
    return prediction;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CheckPrediction prediction = Predict(data, size);

    FuzzedDataProvider in(data, size);
    const FuzzMachine machine = BuildFuzzMachine(in);
    ArmProfileFault(machine);
    const Values before = RegistryValues();
    RunProvisioning();

    if (!machine.writesMayFail) {
        const Values expected = Predicted(before, prediction);
        const Values after = RegistryValues();
        FUZZ_CHECK(after == expected,
                   "predicted:" + Listed(expected) + "\n  left:" + Listed(after));
    }
    if (!machine.systemDirectoryChanged) {
        FUZZ_CHECK(AttemptedCommands() == PredictedCommands(prediction),
                   prediction.restart ? "the predicted restart was not tried"
                                      : "a restart was tried, not predicted");
    }
    return 0;
}
