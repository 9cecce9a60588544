// The platform's rules of platform_rules.h run against the stand-in. The Wine bench runs
// the same rows against the real API (tests/wine/platform_rules_test.cpp); here every
// row must hold, the ones Wine gets wrong included.
#include "host_fixture.h"
#include "platform_rules.h"
#include "standin.h"
#include "standin_winapi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char SettingsFile[] = PROGRAM_FOLDER "\\" RULE_PROFILE_FILE_NAME;
const char AbsentFolderFile[] = "C:\\Program Files\\Absent\\" RULE_PROFILE_FILE_NAME;

using PlatformRules = HostMachine;

// A text read into a poisoned buffer of the given size, with 8 bytes to spare.
std::string ReadText(const char* section, const char* key, const char* fallback, uint32_t size,
                     const char* file, uint32_t* returned) {
    std::string buffer(size + 8, RulePoison);
    *returned = GetPrivateProfileStringA(section, key, fallback, &buffer[0], size, file);
    return buffer;
}

TEST_F(PlatformRules, ProfileText) {
    for (const ProfileTextRule& row : ProfileTextRules()) {
        SCOPED_TRACE(RulePlace(row.line, row.name));
        WriteSettings(row.content);
        uint32_t returned = 0;
        const std::string buffer = ReadText(row.section, row.key, row.fallback,
                                            ProfileTextBufferSize, SettingsFile, &returned);
        EXPECT_EQ(CheckProfileText(row.expected, ProfileTextBufferSize, returned, buffer), "");
    }
}

TEST_F(PlatformRules, ProfileCut) {
    for (const ProfileCutRule& row : ProfileCutRules()) {
        SCOPED_TRACE(
            RulePlace(row.line, std::string(row.value) + " in " + std::to_string(row.size)));
        WriteSettings(std::string("[Cam]\nModel=") + row.value + "\n");
        uint32_t returned = 0;
        const std::string buffer =
            ReadText("Cam", "Model", "none", row.size, SettingsFile, &returned);
        EXPECT_EQ(CheckProfileText(row.expected, row.size, returned, buffer), "");
    }
}

TEST_F(PlatformRules, ProfileKeys) {
    for (const ProfileKeysRule& row : ProfileKeysRules()) {
        SCOPED_TRACE(RulePlace(row.line, row.name));
        WriteSettings(row.content);
        uint32_t returned = 0;
        const std::string buffer =
            ReadText(row.section, nullptr, "", row.size, SettingsFile, &returned);
        EXPECT_EQ(CheckProfileKeys(row, returned, buffer), "");
    }
}

TEST_F(PlatformRules, ProfileAbsent) {
    for (const ProfileAbsentRule& row : ProfileAbsentRules()) {
        SCOPED_TRACE(RulePlace(row.line, row.name));
        const char* file = row.folderExists ? SettingsFile : AbsentFolderFile;
        uint32_t returned = 0;
        const std::string buffer =
            ReadText("Cam", "Model", row.fallback, ProfileTextBufferSize, file, &returned);
        EXPECT_EQ(CheckProfileText(row.expectedText, ProfileTextBufferSize, returned, buffer), "");
        EXPECT_EQ(GetPrivateProfileIntA("Cam", "Model", row.intFallback, file), row.expectedInt);
    }
}

TEST_F(PlatformRules, ProfileInteger) {
    for (const ProfileIntRule& row : ProfileIntRules()) {
        SCOPED_TRACE(RulePlace(row.line, row.value != nullptr ? row.value : "(no key)"));
        WriteSettings(ProfileIntContent(row));
        EXPECT_EQ(GetPrivateProfileIntA("Cam", "Value", row.fallback, SettingsFile), row.expected);
    }
}

// Every key and value below the rows' root, as RegistryRule::after lists them.
std::vector<std::string> RegistryBelowRoot() {
    const std::string root = FoldedName(RULE_REGISTRY_ROOT "\\");
    auto below = [&root](const std::string& path, std::string* rest) {
        if (FoldedName(path.substr(0, root.size())) != root) {
            return false;
        }
        *rest = path.substr(root.size());
        return true;
    };
    std::vector<std::string> lines;
    std::string rest;
    for (const std::string& path : standin::KeyPaths()) {
        if (below(path, &rest)) {
            lines.push_back(RegistryKeyLine(rest));
        }
    }
    for (const standin::RegistryValue& value : standin::DumpRegistry()) {
        if (below(value.key, &rest)) {
            lines.push_back(RegistryValueLine(rest, value.name, value.type, value.data));
        }
    }
    return lines;
}

std::string RunRegistryStep(const RegistryStep& step) {
    const std::string path = RULE_REGISTRY_ROOT "\\" + step.key;
    HKEY key = nullptr;
    DWORD disposition = 0;
    LSTATUS status = ERROR_SUCCESS;
    switch (step.action) {
    case RegistryAction::Create:
        status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, &disposition);
        break;
    case RegistryAction::Open:
        status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_WRITE, &key);
        break;
    case RegistryAction::Set:
    case RegistryAction::SetNullName: {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
            return "cannot open " + path;
        }
        const std::vector<uint8_t> data = ValueBytes(step.value);
        const char* name = step.action == RegistryAction::Set ? step.value.name.c_str() : nullptr;
        status = RegSetValueExA(key, name, 0, step.value.type, data.data(),
                                static_cast<DWORD>(data.size()));
        break;
    }
    }
    if (key != nullptr) {
        RegCloseKey(key);
    }
    return CheckRegistryStep(step, static_cast<uint32_t>(status), disposition);
}

TEST_F(PlatformRules, Registry) {
    for (const RegistryRule& row : RegistryRules()) {
        SCOPED_TRACE(RulePlace(row.line, row.name));
        standin::Reset();
        for (const RegistryStep& step : row.steps) {
            EXPECT_EQ(RunRegistryStep(step), "");
        }
        EXPECT_EQ(CheckRegistryAfter(row, RegistryBelowRoot()), "");
    }
}

const GUID ImageClass = {
    0x6bdd1fc6, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};

TEST_F(PlatformRules, DeviceProperties) {
    for (const DevicePropertyRule& row : DevicePropertyRules()) {
        SCOPED_TRACE(RulePlace(row.line, row.name));
        standin::Reset();
        standin::Device device;
        device.hasHardwareIds = row.hasHardwareIds;
        device.hardwareIds = row.hardwareIds;
        device.driver = row.driver;
        standin::AddDevice(device);

        HDEVINFO set = SetupDiGetClassDevsA(&ImageClass, nullptr, nullptr, DIGCF_PRESENT);
        ASSERT_NE(set, INVALID_HANDLE_VALUE);
        SP_DEVINFO_DATA record = {};
        record.cbSize = sizeof record;
        ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &record));

        DevicePropertyRead read;
        read.buffer.assign(row.size >= 0 ? static_cast<size_t>(row.size) + 8 : 0, RulePoison);
        read.required = RulePoisonNumber;
        read.type = RulePoisonNumber;
        DWORD required = RulePoisonNumber, type = RulePoisonNumber;
        read.succeeded = SetupDiGetDeviceRegistryPropertyA(
                             set, &record, row.property, &type,
                             row.size >= 0 ? reinterpret_cast<BYTE*>(&read.buffer[0]) : nullptr,
                             row.size >= 0 ? static_cast<DWORD>(row.size) : 0, &required) != FALSE;
        read.error = read.succeeded ? 0 : GetLastError();
        read.required = required;
        read.type = type;
        EXPECT_EQ(CheckDeviceProperty(row, read), "");
        SetupDiDestroyDeviceInfoList(set);
    }
}

TEST_F(PlatformRules, ModulePath) {
    // As long a path as the program's folder allows, and a short one.
    const std::string longPath = "C:\\" + std::string(MAX_PATH - 1 - 11, 'P') + "\\Cam.exe";
    for (const std::string& path : {std::string("C:\\Cam\\Cam.exe"), longPath}) {
        standin::SetModulePath(path);
        for (const ModulePathRule& row : ModulePathRules()) {
            SCOPED_TRACE(RulePlace(row.line, row.name) + " with a path of " +
                         std::to_string(path.size()));
            const uint32_t size = ModulePathSize(row, path);
            std::string buffer(size + 8, RulePoison);
            SetLastError(RulePoisonNumber);
            const DWORD returned = GetModuleFileNameA(nullptr, &buffer[0], size);
            const DWORD lastError = GetLastError();
            EXPECT_EQ(CheckModulePath(row, path, returned, buffer, lastError), "");
        }
    }
}

TEST_F(PlatformRules, ProcessStart) {
    const std::string application = "C:\\WINDOWS\\system32\\net.exe";
    for (const ProcessStartRule& row : ProcessStartRules()) {
        SCOPED_TRACE(RulePlace(row.line, row.name));
        standin::Reset();
        std::string line = row.commandLine;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ProcessStart start;
        start.created = CreateProcessA(application.c_str(), &line[0], nullptr, nullptr, FALSE, 0,
                                       nullptr, nullptr, &startup, &process) != FALSE;
        start.callerBuffer = std::string(line.c_str(), line.size() + 1);
        if (start.created) {
            const std::vector<standin::StartedProcess> started = standin::Processes();
            ASSERT_EQ(started.size(), 1u);
            start.application = started[0].application;
            start.commandLine = started[0].commandLine;
            start.waited = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
            start.handlesClosed = CloseHandle(process.hThread) && CloseHandle(process.hProcess);
        }
        EXPECT_EQ(CheckProcessStart(row, application, start), "");
    }
}

} // namespace
