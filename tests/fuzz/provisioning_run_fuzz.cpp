// Whole provisioning passes on stand-in machines the input describes (BuildFuzzMachine):
// the settings file, the Windows version, the imaging devices with their properties and
// read faults, and the platform's failures, down to a settings file that turns unreadable
// part-way. After each pass: only the camera's settings key and the default key changed,
// and only by REG_DWORD values; everything opened or allocated was released; the service
// commands are the stop and the start, in that order, or none.
#include "fuzz_machine.h"
#include "provisioning.h"
#include "scenarios.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace {

std::string ProfileText(const char* section, const char* key) {
    char text[10];
    GetPrivateProfileStringA(section, key, "", text, sizeof text, SETTINGS_PATH);
    return text;
}

// A device matches when its first hardware ID contains both identity texts, in any case.
bool Matches(const standin::Device& device, const std::string& vid, const std::string& pid) {
    if (!device.hasHardwareIds) {
        return false;
    }
    const std::string first =
        FoldedName(device.hardwareIds.substr(0, device.hardwareIds.find('\0')));
    return first.find(FoldedName(vid)) != std::string::npos &&
           first.find(FoldedName(pid)) != std::string::npos;
}

// Which settings keys the pass may choose. Without faults in the way the choice is exact:
// the first present device that matches, if its key can be formed. A device whose reads
// fault may end the search, be skipped or be read in the end; a failed allocation may
// skip any device.
struct Choice {
    bool exact = true;
    bool noneAllowed = true;
    std::set<std::string> keys;
};

Choice ExpectedChoice(const FuzzMachine& machine) {
    Choice choice;
    choice.exact = !machine.allocationFails;
    const std::string pid = ProfileText("Device", "PID");
    const std::string vid = ProfileText("Device", "VID");
    if (pid.empty() || vid.empty()) {
        return choice;
    }
    for (const FuzzDevice& device : machine.devices) {
        if (!device.device.present) {
            continue;
        }
        const bool faulty = device.hardwareIdError != 0 || device.device.hardwareIdSizeStuck;
        if (!Matches(device.device, vid, pid)) {
            choice.exact = choice.exact && !faulty;
            continue;
        }
        const std::string key = SettingsKeyOf(device);
        if (!key.empty()) {
            choice.keys.insert(KeyIdentity(key));
        }
        if (faulty) {
            choice.exact = false;
            continue;
        }
        if (choice.exact) {
            choice.noneAllowed = key.empty();
            return choice;
        }
        if (!machine.allocationFails) {
            return choice; // the search ends here when it gets here
        }
    }
    return choice;
}

using Values = std::map<std::pair<std::string, std::string>, std::pair<DWORD, std::vector<BYTE>>>;

Values RegistryValues() {
    Values values;
    for (const standin::RegistryValue& value : standin::DumpRegistry()) {
        values[{KeyIdentity(value.key), FoldedName(value.name)}] = {value.type, value.data};
    }
    return values;
}

std::set<std::string> KeyIdentities() {
    std::set<std::string> keys;
    for (const std::string& key : standin::KeyPaths()) {
        keys.insert(KeyIdentity(key));
    }
    return keys;
}

// Whether the key is the target or one of the keys above it.
bool IsOnPathTo(const std::string& key, const std::string& target) {
    return target == key || (target.size() > key.size() &&
                             target.compare(0, key.size(), key) == 0 && target[key.size()] == '\\');
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += "\n    " + Printable(line);
    }
    return text;
}

// What the pass may do on the machine, worked out before it runs.
struct Expectation {
    Choice choice;
    bool gatePasses;
    bool resetWanted;
    Values before;
    std::set<std::string> keysBefore;
};

// Reads the settings file and the registry as they are before the pass.
Expectation Expect(const FuzzMachine& machine) {
    Expectation expected;
    expected.choice = ExpectedChoice(machine);
    expected.gatePasses = !machine.versionQueryFails && machine.major == 5 && machine.minor == 1;
    expected.resetWanted = GetPrivateProfileIntA("INFO", "RESET", 1, SETTINGS_PATH) != 0;
    expected.before = RegistryValues();
    expected.keysBefore = KeyIdentities();
    return expected;
}

// Which settings key the pass chose, and whether that was one it may choose; "" for none.
std::string CheckChoice(const FuzzMachine& machine, const Expectation& expected) {
    const std::string chosen = ClassSettingsKey[0] != '\0' ? KeyIdentity(ClassSettingsKey) : "";
    const Choice& choice = expected.choice;
    if (!expected.gatePasses || machine.setOpenFails) {
        FUZZ_CHECK(chosen.empty(), "a camera was found past a failed gate: " + chosen);
    } else if (!chosen.empty()) {
        FUZZ_CHECK(choice.keys.count(chosen) != 0, "chose " + Printable(chosen));
    } else {
        FUZZ_CHECK(choice.noneAllowed || machine.profileFault.kind != ProfileFault::None,
                   "no camera found, expected " +
                       Printable(choice.keys.empty() ? "" : *choice.keys.begin()));
    }
    return chosen;
}

// Nothing outside the two keys changed, nothing was removed, what was written there is a
// REG_DWORD of 4 bytes, and keys were only created on the way to one of the two.
void CheckRegistry(const Expectation& expected, const std::string& chosen) {
    const std::string defaults = KeyIdentity(DEFAULTS_KEY);
    const Values after = RegistryValues();
    for (const auto& value : expected.before) {
        FUZZ_CHECK(after.count(value.first) != 0,
                   "removed " + value.first.first + " [" + value.first.second + "]");
    }
    for (const auto& value : after) {
        auto prior = expected.before.find(value.first);
        if (prior != expected.before.end() && prior->second == value.second) {
            continue;
        }
        const std::string& key = value.first.first;
        const std::string where = Printable(key) + " [" + Printable(value.first.second) + "]";
        FUZZ_CHECK(!chosen.empty(), "written without a camera: " + where);
        FUZZ_CHECK(key == chosen || key == defaults, "written to " + where);
        FUZZ_CHECK(value.second.first == REG_DWORD && value.second.second.size() == 4,
                   "not a 4-byte REG_DWORD: " + where);
    }
    for (const std::string& key : KeyIdentities()) {
        if (expected.keysBefore.count(key) == 0) {
            FUZZ_CHECK(!chosen.empty() && (IsOnPathTo(key, chosen) || IsOnPathTo(key, defaults)),
                       "key created: " + Printable(key));
        }
    }
}

// The stop and the start in that order, or nothing; nothing without a camera or with
// RESET=0, and an unreadable RESET reads as 1.
void CheckCommands(const FuzzMachine& machine, const Expectation& expected, bool found) {
    const std::vector<std::string> attempted = AttemptedCommands();
    const std::vector<std::string> restart = {STOP_COMMAND, START_COMMAND};
    FUZZ_CHECK(attempted.empty() || attempted == restart, "commands:" + Joined(attempted));
    const bool profileFault = machine.profileFault.kind != ProfileFault::None;
    if (!found || (!expected.resetWanted && !profileFault)) {
        FUZZ_CHECK(attempted.empty(), "commands without a camera or with RESET=0");
    } else if (expected.resetWanted && !machine.systemDirectoryChanged) {
        FUZZ_CHECK(attempted == restart, "commands:" + Joined(attempted));
    }
}

void CheckEverythingReleased() {
    FUZZ_CHECK(standin::OpenKeys() == 0, std::to_string(standin::OpenKeys()) + " keys open");
    FUZZ_CHECK(standin::OpenDeviceSets() == 0, "device set left open");
    FUZZ_CHECK(standin::LiveAllocations() == 0,
               std::to_string(standin::LiveAllocations()) + " local-heap blocks left");
    FUZZ_CHECK(standin::OpenProcessHandles() == 0,
               std::to_string(standin::OpenProcessHandles()) + " process handles open");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const FuzzMachine machine = BuildFuzzMachine(in);
    const Expectation expected = Expect(machine);
    ArmProfileFault(machine);

    RunProvisioning();

    const std::string chosen = CheckChoice(machine, expected);
    CheckRegistry(expected, chosen);
    CheckCommands(machine, expected, !chosen.empty());
    CheckEverythingReleased();
    return 0;
}
