// Whole provisioning passes on stand-in machines the input describes: the settings file,
// the Windows version, the imaging devices with their properties and read faults, and the
// platform's failures, down to a settings file that turns unreadable part-way. After each
// pass: only the camera's settings key and the default key changed, and only by REG_DWORD
// values; everything opened or allocated was released; the service commands are the stop
// and the start, in that order, or none.
#include "fuzz_machine.h"
#include "provisioning.h"
#include "scenarios.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace {

template <typename T, size_t N> T Pick(FuzzedDataProvider& in, const T (&choices)[N]) {
    return choices[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

bool OneIn(FuzzedDataProvider& in, int n) {
    return in.ConsumeIntegralInRange<int>(1, n) == 1;
}

std::string IdentityText(FuzzedDataProvider& in) {
    static const char* const texts[] = {"VID_2B7E",          "vid_2b7e", "PID_C0A1",
                                        "pid_c0a1",          "2B7E",     "C0A1",
                                        "VID_2B7E&PID_C0A1", "",         "\"\""};
    return OneIn(in, 5) ? in.ConsumeRandomLengthString(16) : Pick(in, texts);
}

std::string EntryText(FuzzedDataProvider& in) {
    static const char* const names[] = {"Brightness", "Contrast", "Exposure", "", "A,B", "x"};
    static const char* const numbers[] = {"128", "-2", "4294967296", " 7", "0x10", "", "x", "+5"};
    std::string name = OneIn(in, 6) ? in.ConsumeRandomLengthString(300) : Pick(in, names);
    if (OneIn(in, 20)) {
        name = std::string(in.ConsumeIntegralInRange<size_t>(250, 270), 'n');
    }
    if (OneIn(in, 10)) {
        return name; // no comma
    }
    const std::string number = OneIn(in, 6) ? in.ConsumeRandomLengthString(16) : Pick(in, numbers);
    return name + "," + number;
}

// A settings file: raw bytes, or lines of plausible sections and entries with some noise.
std::string SettingsText(FuzzedDataProvider& in) {
    if (OneIn(in, 4)) {
        return in.ConsumeRandomLengthString(4096);
    }
    static const char* const headers[] = {
        "[Device]", "[CLASSSETTINGS]",   "[DEFAULTSETTINGS]", "[INFO]",
        "[device]", " [ClassSettings] ", "[Other]",           "[",
        "[Device"};
    static const char* const ends[] = {"\r\n", "\n", "\r", " \r\n"};
    static const char* const resets[] = {"0", "1", "00", "0x0", "-0", " 0", "abc", "", "2"};
    std::string text = OneIn(in, 10) ? "\xEF\xBB\xBF" : "";
    const std::string end = Pick(in, ends);
    const int lines = in.ConsumeIntegralInRange<int>(0, 24);
    for (int line = 0; line < lines; ++line) {
        switch (in.ConsumeIntegralInRange<int>(0, 9)) {
        case 0:
        case 1:
            text += Pick(in, headers);
            break;
        case 2:
            text += "VID=" + IdentityText(in);
            break;
        case 3:
            text += "PID=" + IdentityText(in);
            break;
        case 4:
        case 5:
        case 6:
            text += "Value" + std::to_string(in.ConsumeIntegralInRange<int>(0, 6)) + "=" +
                    EntryText(in);
            break;
        case 7:
            text += std::string("RESET=") + Pick(in, resets);
            break;
        case 8:
            text += ";" + in.ConsumeRandomLengthString(20);
            break;
        default:
            text += in.ConsumeRandomLengthString(40);
            break;
        }
        text += end;
    }
    return text;
}

std::string HardwareIds(FuzzedDataProvider& in) {
    if (OneIn(in, 5)) {
        return in.ConsumeRandomLengthString(300);
    }
    static const char* const ids[] = {"USB\\VID_2B7E&PID_C0A1&REV_0102",
                                      "USB\\VID_2B7E&PID_C0A1",
                                      "usb\\vid_2b7e&pid_c0a1",
                                      "USB\\PID_C0A1&VID_2B7E",
                                      "USB\\VID_2B7E&PID_0001",
                                      "USB\\VID_1111&PID_C0A1",
                                      ""};
    std::vector<std::string> list;
    const int count = in.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < count; ++i) {
        list.push_back(OneIn(in, 6) ? in.ConsumeRandomLengthString(40) : Pick(in, ids));
    }
    std::string bytes = standin::MultiString(list);
    // Lists whose terminators are missing.
    bytes.resize(bytes.size() - std::min<size_t>(bytes.size(), in.ConsumeIntegralInRange(0, 2)));
    return bytes;
}

std::string DriverBytes(FuzzedDataProvider& in) {
    std::string name;
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
        name = IMAGE_CLASS "\\0001";
        break;
    case 1:
        name = std::string(in.ConsumeIntegralInRange<size_t>(0, 300), 'k');
        break;
    case 2:
        name = in.ConsumeRandomLengthString(300);
        break;
    default:
        name = IMAGE_CLASS "\\0000";
        break;
    }
    switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0:
        return name; // no terminator
    case 1:
        return standin::DriverName(name) + in.ConsumeRandomLengthString(8);
    default:
        return standin::DriverName(name);
    }
}

DWORD ErrorCode(FuzzedDataProvider& in) {
    static const DWORD codes[] = {ERROR_ACCESS_DENIED, ERROR_INVALID_DATA,
                                  ERROR_INSUFFICIENT_BUFFER, ERROR_NO_MORE_ITEMS,
                                  ERROR_INVALID_HANDLE};
    return OneIn(in, 6) ? in.ConsumeIntegral<DWORD>() : Pick(in, codes);
}

// A device and the read failures injected into it.
struct FuzzDevice {
    standin::Device device;
    DWORD hardwareIdError = 0; // 0: its hardware-ID reads do not fail
    standin::FailingReads hardwareIdFailingReads = standin::FailingReads::Every;
    DWORD driverError = 0; // 0: its driver key name reads do not fail
};

FuzzDevice MakeDevice(FuzzedDataProvider& in) {
    FuzzDevice made;
    standin::Device& device = made.device;
    device.present = !OneIn(in, 5);
    device.hasHardwareIds = !OneIn(in, 6);
    device.hardwareIds = HardwareIds(in);
    device.hasDriver = !OneIn(in, 8);
    device.driver = DriverBytes(in);
    if (OneIn(in, 3)) {
        if (OneIn(in, 2)) {
            static const standin::FailingReads reads[] = {standin::FailingReads::Every,
                                                          standin::FailingReads::IntoBuffer,
                                                          standin::FailingReads::AfterGiven};
            made.hardwareIdError = ErrorCode(in);
            made.hardwareIdFailingReads = Pick(in, reads);
        }
        device.hardwareIdGrowth = in.ConsumeIntegralInRange<int>(0, 20);
        device.hardwareIdSizeStuck = OneIn(in, 4);
        if (OneIn(in, 3)) {
            made.driverError = ErrorCode(in);
        }
    }
    return made;
}

// Adds the device and injects its read failures.
void AddFuzzDevice(const FuzzDevice& device) {
    const size_t index = standin::AddDevice(device.device);
    if (device.hardwareIdError != 0) {
        standin::FailDeviceProperty(index, SPDRP_HARDWAREID, device.hardwareIdError,
                                    device.hardwareIdFailingReads);
    }
    if (device.driverError != 0) {
        standin::FailDeviceProperty(index, SPDRP_DRIVER, device.driverError);
    }
}

// The size of a block the locator allocates for one of the devices: its hardware-ID list,
// or its first ID with a terminator; or any small size.
SIZE_T AllocationSize(FuzzedDataProvider& in, const std::vector<FuzzDevice>& devices) {
    const int pick = in.ConsumeIntegralInRange<int>(1, 8);
    if (devices.empty() || OneIn(in, 4)) {
        return static_cast<SIZE_T>(pick);
    }
    const std::string& list =
        devices[static_cast<size_t>(pick) % devices.size()].device.hardwareIds;
    return pick % 2 == 0 ? list.size() : strnlen(list.c_str(), list.size()) + 1;
}

// A failure of the settings file's reads, named by the read it starts at.
struct ProfileFault {
    enum { None, File, Read, ReadsFrom } kind = None;
    const char* section = "";
    const char* key = "";
};

const ProfileFault ProfileFaults[] = {
    {ProfileFault::File},
    {ProfileFault::ReadsFrom, "Device", "PID"},
    {ProfileFault::ReadsFrom, "Device", "VID"},
    {ProfileFault::ReadsFrom, "CLASSSETTINGS", "Value1"},
    {ProfileFault::ReadsFrom, "CLASSSETTINGS", "Value2"},
    {ProfileFault::ReadsFrom, "DEFAULTSETTINGS", "Value1"},
    {ProfileFault::ReadsFrom, "INFO", "RESET"},
    {ProfileFault::Read, "Device", "VID"},
    {ProfileFault::Read, "CLASSSETTINGS", "Value1"},
    {ProfileFault::Read, "CLASSSETTINGS", "Value2"},
    {ProfileFault::Read, "DEFAULTSETTINGS", "Value1"},
    {ProfileFault::Read, "INFO", "RESET"},
};

void InjectProfileFault(const ProfileFault& fault) {
    switch (fault.kind) {
    case ProfileFault::File:
        standin::FailProfileFile(true);
        break;
    case ProfileFault::Read:
        standin::FailProfileRead(fault.section, fault.key);
        break;
    case ProfileFault::ReadsFrom:
        standin::FailProfileReadsFrom(fault.section, fault.key);
        break;
    case ProfileFault::None:
        break;
    }
}

// A key path as the registry tells keys apart: names folded, empty parts dropped.
std::string KeyIdentity(const std::string& path) {
    std::string identity;
    std::string part;
    for (char c : path + "\\") {
        if (c != '\\') {
            part += c;
        } else if (!part.empty()) {
            identity += (identity.empty() ? "" : "\\") + FoldedName(part);
            part.clear();
        }
    }
    return identity;
}

// The driver key name the program reads into its 260-byte buffer (259 bytes offered),
// and the settings key below it; "" when either cannot be formed.
std::string SettingsKeyOf(const FuzzDevice& fuzzed) {
    const standin::Device& device = fuzzed.device;
    if (fuzzed.driverError != 0 || !device.hasDriver || device.driver.size() > MAX_PATH - 1) {
        return "";
    }
    const std::string name = device.driver.substr(0, device.driver.find('\0'));
    const std::string key = ClassKeyOf(name);
    return name.empty() || key.size() >= MAX_PATH ? "" : key;
}

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

Choice ExpectedChoice(const std::vector<FuzzDevice>& devices, bool allocationFails) {
    Choice choice;
    choice.exact = !allocationFails;
    const std::string pid = ProfileText("Device", "PID");
    const std::string vid = ProfileText("Device", "VID");
    if (pid.empty() || vid.empty()) {
        return choice;
    }
    for (const FuzzDevice& device : devices) {
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
        if (!allocationFails) {
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

std::vector<std::string> AttemptedCommands() {
    std::vector<std::string> attempted;
    for (const std::string& call : standin::ProcessCalls()) {
        for (const char* verb : {"create ", "create-failed "}) {
            if (call.rfind(verb, 0) == 0) {
                attempted.push_back(call.substr(std::strlen(verb)));
            }
        }
    }
    return attempted;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += "\n    " + Printable(line);
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    FreshMachine();

    const std::string settings = SettingsText(in);
    WriteSettings(settings);

    DWORD major = 5;
    DWORD minor = 1;
    if (OneIn(in, 8)) {
        major = in.ConsumeIntegralInRange<DWORD>(0, 10);
        minor = in.ConsumeIntegralInRange<DWORD>(0, 10);
    }
    standin::SetVersion(major, minor);
    const bool versionQueryFails = OneIn(in, 16);
    standin::FailVersionQuery(versionQueryFails);

    std::vector<FuzzDevice> devices;
    const int deviceCount = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < deviceCount; ++i) {
        devices.push_back(MakeDevice(in));
        AddFuzzDevice(devices.back());
    }
    const bool setOpenFails = OneIn(in, 16);
    standin::FailDeviceSetOpen(setOpenFails);
    const bool allocationFails = OneIn(in, 4);
    if (allocationFails) {
        standin::FailAllocationsOf(AllocationSize(in, devices));
    }

    std::vector<std::string> keys = {DEFAULTS_KEY, CAMERA_KEY, "SOFTWARE\\Other",
                                     CLASS_KEY_PREFIX IMAGE_CLASS "\\0000"};
    for (const FuzzDevice& device : devices) {
        if (!SettingsKeyOf(device).empty()) {
            keys.push_back(SettingsKeyOf(device));
        }
    }
    static const LSTATUS refusals[] = {ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND};
    const int denials = OneIn(in, 3) ? in.ConsumeIntegralInRange<int>(1, 2) : 0;
    for (int i = 0; i < denials; ++i) {
        const std::string& key = keys[in.ConsumeIntegralInRange<size_t>(0, keys.size() - 1)];
        standin::DenyKey(key, Pick(in, refusals), Pick(in, refusals));
    }
    const int priorValues = in.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < priorValues; ++i) {
        static const char* const names[] = {"Brightness", "contrast", "Exposure", ""};
        static const DWORD types[] = {REG_DWORD, REG_SZ, REG_BINARY};
        const std::string& key = keys[in.ConsumeIntegralInRange<size_t>(0, keys.size() - 1)];
        const std::string bytes = in.ConsumeRandomLengthString(8);
        standin::SetValue(key, Pick(in, names), Pick(in, types),
                          std::vector<BYTE>(bytes.begin(), bytes.end()));
    }

    bool systemDirectoryChanged = false;
    if (OneIn(in, 8)) {
        static const char* const directories[] = {"", "C:\\WINNT\\system32"};
        systemDirectoryChanged = true;
        standin::SetSystemDirectory(
            OneIn(in, 2) ? Pick(in, directories)
                         : "C:\\" + std::string(in.ConsumeIntegralInRange<size_t>(240, 300), 's'));
    }
    for (const char* command : {STOP_COMMAND, START_COMMAND}) {
        if (OneIn(in, 8)) {
            standin::FailProcessStart(command);
        }
        if (OneIn(in, 8)) {
            standin::NeverFinish(command);
        }
    }

    // Reads of the settings file may fail, and a value may refuse to be set; both take
    // effect after the expectations below have read the file.
    const bool profileReadsFail = OneIn(in, 8);
    const ProfileFault profileFault = profileReadsFail ? Pick(in, ProfileFaults) : ProfileFault{};
    static const char* const refusedNames[] = {"Brightness", "contrast", "Exposure", ""};
    const char* refusedName = OneIn(in, 8) ? Pick(in, refusedNames) : nullptr;

    const Choice choice = ExpectedChoice(devices, allocationFails);
    const bool gatePasses = !versionQueryFails && major == 5 && minor == 1;
    const bool resetWanted = GetPrivateProfileIntA("INFO", "RESET", 1, SETTINGS_PATH) != 0;
    const Values before = RegistryValues();
    const std::set<std::string> keysBefore = KeyIdentities();
    InjectProfileFault(profileFault);
    if (refusedName != nullptr) {
        standin::FailValueSet(refusedName, ERROR_ACCESS_DENIED);
    }

    RunProvisioning();

    // Which settings key the pass chose, and whether that was one it may choose.
    const std::string chosen = ClassSettingsKey[0] != '\0' ? KeyIdentity(ClassSettingsKey) : "";
    const bool found = !chosen.empty();
    if (!gatePasses || setOpenFails) {
        FUZZ_CHECK(!found, "a camera was found past a failed gate: " + chosen);
    } else if (found) {
        FUZZ_CHECK(choice.keys.count(chosen) != 0, "chose " + Printable(chosen));
    } else {
        FUZZ_CHECK(choice.noneAllowed || profileReadsFail,
                   "no camera found, expected " +
                       Printable(choice.keys.empty() ? "" : *choice.keys.begin()));
    }

    // Nothing outside the two keys changed, nothing was removed, and what was written
    // there is a REG_DWORD of 4 bytes.
    const Values after = RegistryValues();
    for (const auto& value : before) {
        FUZZ_CHECK(after.count(value.first) != 0,
                   "removed " + value.first.first + " [" + value.first.second + "]");
    }
    for (const auto& value : after) {
        auto prior = before.find(value.first);
        if (prior != before.end() && prior->second == value.second) {
            continue;
        }
        const std::string& key = value.first.first;
        const std::string where = Printable(key) + " [" + Printable(value.first.second) + "]";
        FUZZ_CHECK(found, "written without a camera: " + where);
        FUZZ_CHECK(key == chosen || key == KeyIdentity(DEFAULTS_KEY), "written to " + where);
        FUZZ_CHECK(value.second.first == REG_DWORD && value.second.second.size() == 4,
                   "not a 4-byte REG_DWORD: " + where);
    }

    // Keys are only created on the way to one of the two keys.
    for (const std::string& key : KeyIdentities()) {
        if (keysBefore.count(key) == 0) {
            FUZZ_CHECK(found &&
                           (IsOnPathTo(key, chosen) || IsOnPathTo(key, KeyIdentity(DEFAULTS_KEY))),
                       "key created: " + Printable(key));
        }
    }

    const std::vector<std::string> attempted = AttemptedCommands();
    const std::vector<std::string> restart = {STOP_COMMAND, START_COMMAND};
    FUZZ_CHECK(attempted.empty() || attempted == restart, "commands:" + Joined(attempted));
    // An unreadable RESET reads as 1.
    if (!found || (!resetWanted && !profileReadsFail)) {
        FUZZ_CHECK(attempted.empty(), "commands without a camera or with RESET=0");
    } else if (resetWanted && !systemDirectoryChanged) {
        FUZZ_CHECK(attempted == restart, "commands:" + Joined(attempted));
    }

    FUZZ_CHECK(standin::OpenKeys() == 0, std::to_string(standin::OpenKeys()) + " keys open");
    FUZZ_CHECK(standin::OpenDeviceSets() == 0, "device set left open");
    FUZZ_CHECK(standin::LiveAllocations() == 0,
               std::to_string(standin::LiveAllocations()) + " local-heap blocks left");
    FUZZ_CHECK(standin::OpenProcessHandles() == 0,
               std::to_string(standin::OpenProcessHandles()) + " process handles open");
    return 0;
}
