// The fuzz targets' shared machine: the host folder behind the program's, the check that
// records a finding, and whole stand-in machines made from the input.
#include "fuzz_machine.h"
#include "scenarios.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

std::string hostFolder;

void RemoveHostFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(hostFolder, ignored);
}

} // namespace

void FuzzCheckFailed(const char* file, int line, const char* condition, const std::string& detail) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n  %s\n", file, line, condition, detail.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

void FreshMachine() {
    if (hostFolder.empty()) {
        hostFolder = MakeHostFolder("pravenit-fuzz-");
        if (hostFolder.empty()) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit(RemoveHostFolder);
    }
    FreshProgram();
    standin::MapFolder(PROGRAM_FOLDER, hostFolder);
}

void WriteSettings(const std::string& bytes) {
    if (!WriteSettingsFile(hostFolder, bytes)) {
        std::perror("InfoSetting.ini");
        std::abort();
    }
}

std::string Printable(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out + "\"";
}

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

// The reads a settings-file fault may start at.
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

void BuildVersion(FuzzedDataProvider& in, FuzzMachine* machine) {
    if (OneIn(in, 8)) {
        machine->major = in.ConsumeIntegralInRange<DWORD>(0, 10);
        machine->minor = in.ConsumeIntegralInRange<DWORD>(0, 10);
    }
    standin::SetVersion(machine->major, machine->minor);
    machine->versionQueryFails = OneIn(in, 16);
    standin::FailVersionQuery(machine->versionQueryFails);
}

void BuildDevices(FuzzedDataProvider& in, FuzzMachine* machine) {
    const int deviceCount = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < deviceCount; ++i) {
        machine->devices.push_back(MakeDevice(in));
        AddFuzzDevice(machine->devices.back());
    }
    machine->setOpenFails = OneIn(in, 16);
    standin::FailDeviceSetOpen(machine->setOpenFails);
    machine->allocationFails = OneIn(in, 4);
    if (machine->allocationFails) {
        standin::FailAllocationsOf(AllocationSize(in, machine->devices));
    }
}

// Refused keys and values present before the run, in the two settings keys, the keys of
// the devices and two others.
void BuildRegistry(FuzzedDataProvider& in, FuzzMachine* machine) {
    std::vector<std::string> keys = {DEFAULTS_KEY, CAMERA_KEY, "SOFTWARE\\Other",
                                     CLASS_KEY_PREFIX IMAGE_CLASS "\\0000"};
    for (const FuzzDevice& device : machine->devices) {
        if (!SettingsKeyOf(device).empty()) {
            keys.push_back(SettingsKeyOf(device));
        }
    }
    static const LSTATUS refusals[] = {ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND};
    const int denials = OneIn(in, 3) ? in.ConsumeIntegralInRange<int>(1, 2) : 0;
    machine->writesMayFail = denials > 0;
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
}

void BuildNetCommands(FuzzedDataProvider& in, FuzzMachine* machine) {
    if (OneIn(in, 8)) {
        static const char* const directories[] = {"", "C:\\WINNT\\system32"};
        machine->systemDirectoryChanged = true;
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
}

} // namespace

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

FuzzMachine BuildFuzzMachine(FuzzedDataProvider& in) {
    FuzzMachine machine;
    FreshMachine();
    machine.settings = SettingsText(in);
    WriteSettings(machine.settings);
    BuildVersion(in, &machine);
    BuildDevices(in, &machine);
    BuildRegistry(in, &machine);
    BuildNetCommands(in, &machine);
    if (OneIn(in, 8)) {
        machine.profileFault = Pick(in, ProfileFaults);
    }
    if (OneIn(in, 8)) {
        static const char* const refusedNames[] = {"Brightness", "contrast", "Exposure", ""};
        standin::FailValueSet(Pick(in, refusedNames), ERROR_ACCESS_DENIED);
        machine.writesMayFail = true;
    }
    return machine;
}

void ArmProfileFault(const FuzzMachine& machine) {
    const ProfileFault& fault = machine.profileFault;
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

std::string SettingsKeyOf(const FuzzDevice& fuzzed) {
    const standin::Device& device = fuzzed.device;
    if (fuzzed.driverError != 0 || !device.hasDriver || device.driver.size() > MAX_PATH - 1) {
        return "";
    }
    const std::string name = device.driver.substr(0, device.driver.find('\0'));
    const std::string key = ClassKeyOf(name);
    return name.empty() || key.size() >= MAX_PATH ? "" : key;
}
