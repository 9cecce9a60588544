// The platform's rules of platform_rules.h, which the host stand-in claims, run against
// the real API: profile reads from a file in a folder of its own, registry keys below a
// scratch key, an imaging device made as the registry key Wine lists devices from, this
// program's own path, and the recording net command started from the system folder.
// A row marked as a known difference between Wine and Windows is run and printed, not
// asserted. Every case removes what it made.
#include "platform_rules.h"
#include "wine_machine.h"

#include <setupapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const RulesFolder = "C:\\Pravenit Rules";
const char* const AbsentFolderFile = "C:\\Pravenit Rules Absent\\" RULE_PROFILE_FILE_NAME;
const char* const DevicesKey = "SYSTEM\\CurrentControlSet\\Enum\\PRAVENITRULES";
const char* const DeviceInstance = "PRAVENITRULES\\DEVICE0\\0000";

// Asserts that a row holds, or prints what Wine did where it is known to differ.
void ExpectRule(const std::string& place, const char* wineDiffers, const std::string& problems) {
    if (wineDiffers == nullptr) {
        EXPECT_EQ(problems, "") << place;
        return;
    }
    std::printf("known difference, not asserted: %s\n  Windows: as the row says; Wine: %s\n  why: "
                "%s\n",
                place.c_str(), problems.empty() ? "the same this time" : problems.c_str(),
                wineDiffers);
}

class PlatformRules : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryA(RulesFolder, NULL))
            << RulesFolder << " (left by an earlier case?)";
    }

    void TearDown() override {
        DeleteFileA(SettingsFile().c_str());
        EXPECT_TRUE(RemoveDirectoryA(RulesFolder)) << RulesFolder;
        winetest::DeleteTree(HKEY_LOCAL_MACHINE, RULE_REGISTRY_ROOT);
        winetest::DeleteTree(HKEY_LOCAL_MACHINE, DevicesKey);
    }

    static std::string SettingsFile() {
        return std::string(RulesFolder) + "\\" RULE_PROFILE_FILE_NAME;
    }

    static void WriteSettings(const std::string& content) {
        HANDLE file = CreateFileA(SettingsFile().c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
        DWORD written = 0;
        const BOOL wrote =
            WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, NULL);
        CloseHandle(file);
        ASSERT_TRUE(wrote && written == content.size());
    }
};

// A text read into a poisoned buffer of the given size, with 8 bytes to spare. The names
// go in writable copies: Wine's tests found Windows NT crashing on a read-only empty one.
std::string ReadText(const char* section, const char* key, const char* fallback, uint32_t size,
                     const std::string& file, uint32_t* returned) {
    std::string sectionCopy = section, keyCopy = key;
    std::string buffer(size + 8, RulePoison);
    *returned = GetPrivateProfileStringA(&sectionCopy[0], &keyCopy[0], fallback, &buffer[0], size,
                                         file.c_str());
    return buffer;
}

TEST_F(PlatformRules, ProfileText) {
    for (const ProfileTextRule& row : ProfileTextRules()) {
        WriteSettings(row.content);
        uint32_t returned = 0;
        const std::string buffer = ReadText(row.section, row.key, row.fallback,
                                            ProfileTextBufferSize, SettingsFile(), &returned);
        ExpectRule(RulePlace(row.line, row.name), row.wineDiffers,
                   CheckProfileText(row.expected, ProfileTextBufferSize, returned, buffer));
    }
}

TEST_F(PlatformRules, ProfileCut) {
    for (const ProfileCutRule& row : ProfileCutRules()) {
        WriteSettings(std::string("[Cam]\nModel=") + row.value + "\n");
        uint32_t returned = 0;
        const std::string buffer =
            ReadText("Cam", "Model", "none", row.size, SettingsFile(), &returned);
        ExpectRule(RulePlace(row.line, std::string(row.value) + " in " + std::to_string(row.size)),
                   row.wineDiffers, CheckProfileText(row.expected, row.size, returned, buffer));
    }
}

TEST_F(PlatformRules, ProfileKeys) {
    for (const ProfileKeysRule& row : ProfileKeysRules()) {
        WriteSettings(row.content);
        std::string section = row.section;
        std::string buffer(row.size + 8, RulePoison);
        const uint32_t returned = GetPrivateProfileStringA(&section[0], NULL, "", &buffer[0],
                                                           row.size, SettingsFile().c_str());
        ExpectRule(RulePlace(row.line, row.name), row.wineDiffers,
                   CheckProfileKeys(row, returned, buffer));
    }
}

TEST_F(PlatformRules, ProfileAbsent) {
    for (const ProfileAbsentRule& row : ProfileAbsentRules()) {
        const std::string file = row.folderExists ? SettingsFile() : AbsentFolderFile;
        uint32_t returned = 0;
        const std::string buffer =
            ReadText("Cam", "Model", row.fallback, ProfileTextBufferSize, file, &returned);
        const UINT number = GetPrivateProfileIntA("Cam", "Model", row.intFallback, file.c_str());
        std::string problems =
            CheckProfileText(row.expectedText, ProfileTextBufferSize, returned, buffer);
        if (number != row.expectedInt) {
            problems += "integer " + std::to_string(number) + ", expected " +
                        std::to_string(row.expectedInt);
        }
        ExpectRule(RulePlace(row.line, row.name), row.wineDiffers, problems);
    }
}

TEST_F(PlatformRules, ProfileInteger) {
    for (const ProfileIntRule& row : ProfileIntRules()) {
        WriteSettings(ProfileIntContent(row));
        const UINT number =
            GetPrivateProfileIntA("Cam", "Value", row.fallback, SettingsFile().c_str());
        ExpectRule(RulePlace(row.line, row.value != nullptr ? row.value : "(no key)"),
                   row.wineDiffers,
                   number == row.expected ? ""
                                          : "read " + std::to_string(number) + ", expected " +
                                                std::to_string(row.expected));
    }
}

// Every key and value below the key, as RegistryRule::after lists them.
void ListBelow(HKEY parent, const std::string& path, std::vector<std::string>* lines) {
    DWORD keys = 0, values = 0, longestKey = 0, longestName = 0, longestData = 0;
    ASSERT_EQ(RegQueryInfoKeyA(parent, NULL, NULL, NULL, &keys, &longestKey, NULL, &values,
                               &longestName, &longestData, NULL, NULL),
              ERROR_SUCCESS);
    for (DWORD index = 0; index < values; ++index) {
        std::vector<char> name(longestName + 1);
        std::vector<uint8_t> data(longestData);
        DWORD nameLength = longestName + 1, dataLength = longestData, type = 0;
        ASSERT_EQ(RegEnumValueA(parent, index, name.data(), &nameLength, NULL, &type, data.data(),
                                &dataLength),
                  ERROR_SUCCESS);
        data.resize(dataLength);
        lines->push_back(RegistryValueLine(path, std::string(name.data(), nameLength), type, data));
    }
    for (DWORD index = 0; index < keys; ++index) {
        std::vector<char> name(longestKey + 1);
        DWORD nameLength = longestKey + 1;
        ASSERT_EQ(RegEnumKeyExA(parent, index, name.data(), &nameLength, NULL, NULL, NULL, NULL),
                  ERROR_SUCCESS);
        const std::string child(name.data(), nameLength);
        const std::string childPath = path.empty() ? child : path + "\\" + child;
        lines->push_back(RegistryKeyLine(childPath));
        HKEY handle;
        ASSERT_EQ(RegOpenKeyExA(parent, child.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS);
        ListBelow(handle, childPath, lines);
        RegCloseKey(handle);
    }
}

std::string RunRegistryStep(const RegistryStep& step) {
    const std::string path = RULE_REGISTRY_ROOT "\\" + step.key;
    HKEY key = NULL;
    DWORD disposition = 0;
    LONG status = ERROR_SUCCESS;
    switch (step.action) {
    case RegistryAction::Create:
        status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, NULL, &key, &disposition);
        break;
    case RegistryAction::Open:
        status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key);
        break;
    case RegistryAction::Set:
    case RegistryAction::SetNullName: {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key) !=
            ERROR_SUCCESS) {
            return "cannot open " + path;
        }
        const std::vector<uint8_t> data = ValueBytes(step.value);
        const char* name = step.action == RegistryAction::Set ? step.value.name.c_str() : NULL;
        status = RegSetValueExA(key, name, 0, step.value.type, data.data(),
                                static_cast<DWORD>(data.size()));
        break;
    }
    }
    if (status == ERROR_SUCCESS && key != NULL) {
        RegCloseKey(key);
    }
    return CheckRegistryStep(step, static_cast<uint32_t>(status), disposition);
}

TEST_F(PlatformRules, Registry) {
    for (const RegistryRule& row : RegistryRules()) {
        winetest::DeleteTree(HKEY_LOCAL_MACHINE, RULE_REGISTRY_ROOT);
        std::string problems;
        for (const RegistryStep& step : row.steps) {
            const std::string stepProblems = RunRegistryStep(step);
            problems += stepProblems.empty() ? "" : stepProblems + "\n";
        }
        std::vector<std::string> found;
        HKEY root;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RULE_REGISTRY_ROOT, 0, KEY_READ, &root) ==
            ERROR_SUCCESS) {
            ListBelow(root, "", &found);
            RegCloseKey(root);
        }
        problems += CheckRegistryAfter(row, found);
        ExpectRule(RulePlace(row.line, row.name), row.wineDiffers, problems);
    }
}

// Makes the row's device as the registry key the platform lists devices from.
void AddDevice(const DevicePropertyRule& row) {
    HKEY key = NULL;
    const std::string path = std::string(DevicesKey) + "\\DEVICE0\\0000";
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                              &key, NULL),
              ERROR_SUCCESS);
    auto set = [key](const char* name, DWORD type, const std::string& bytes) {
        EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    };
    set("ClassGUID", REG_SZ, std::string(IMAGE_CLASS) + '\0');
    set("Driver", REG_SZ, row.driver);
    if (row.hasHardwareIds) {
        set("HardwareId", REG_MULTI_SZ, row.hardwareIds);
    }
    RegCloseKey(key);
}

// The row's device among those the platform lists in the imaging class.
bool FindDevice(HDEVINFO set, SP_DEVINFO_DATA* record) {
    for (DWORD index = 0;; ++index) {
        record->cbSize = sizeof *record;
        if (!SetupDiEnumDeviceInfo(set, index, record)) {
            return false;
        }
        char instance[256];
        if (SetupDiGetDeviceInstanceIdA(set, record, instance, sizeof instance, NULL) &&
            lstrcmpiA(instance, DeviceInstance) == 0) {
            return true;
        }
    }
}

TEST_F(PlatformRules, DeviceProperties) {
    const GUID imageClass = {
        0x6bdd1fc6, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};
    for (const DevicePropertyRule& row : DevicePropertyRules()) {
        const std::string place = RulePlace(row.line, row.name);
        winetest::DeleteTree(HKEY_LOCAL_MACHINE, DevicesKey);
        AddDevice(row);
        HDEVINFO set = SetupDiGetClassDevsA(&imageClass, NULL, NULL, DIGCF_PRESENT);
        ASSERT_NE(set, INVALID_HANDLE_VALUE) << place;
        SP_DEVINFO_DATA record;
        if (!FindDevice(set, &record)) {
            ADD_FAILURE() << place << ": the device is not listed";
            SetupDiDestroyDeviceInfoList(set);
            continue;
        }
        DevicePropertyRead read;
        read.buffer.assign(row.size >= 0 ? static_cast<size_t>(row.size) + 8 : 0, RulePoison);
        DWORD required = RulePoisonNumber, type = RulePoisonNumber;
        SetLastError(RulePoisonNumber);
        read.succeeded = SetupDiGetDeviceRegistryPropertyA(
                             set, &record, row.property, &type,
                             row.size >= 0 ? reinterpret_cast<BYTE*>(&read.buffer[0]) : NULL,
                             row.size >= 0 ? static_cast<DWORD>(row.size) : 0, &required) != FALSE;
        read.error = read.succeeded ? 0 : GetLastError();
        read.required = required;
        read.type = type;
        ExpectRule(place, row.wineDiffers, CheckDeviceProperty(row, read));
        SetupDiDestroyDeviceInfoList(set);
    }
}

TEST_F(PlatformRules, ModulePath) {
    char whole[4096];
    const DWORD length = GetModuleFileNameA(NULL, whole, sizeof whole);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, sizeof whole);
    const std::string path(whole, length);
    for (const ModulePathRule& row : ModulePathRules()) {
        const uint32_t size = ModulePathSize(row, path);
        std::string buffer(size + 8, RulePoison);
        SetLastError(RulePoisonNumber);
        const DWORD returned = GetModuleFileNameA(NULL, &buffer[0], size);
        const DWORD lastError = GetLastError();
        ExpectRule(RulePlace(row.line, row.name) + " with a path of " + std::to_string(length),
                   row.wineDiffers, CheckModulePath(row, path, returned, buffer, lastError));
    }
}

TEST_F(PlatformRules, ProcessStart) {
    const std::string application = winetest::SystemNetCommand();
    for (const ProcessStartRule& row : ProcessStartRules()) {
        DeleteFileA(winetest::NetLog);
        std::string line = row.commandLine;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ProcessStart start = {};
        {
            winetest::NativeNetCommand native(true);
            start.created = CreateProcessA(application.c_str(), &line[0], NULL, NULL, FALSE, 0,
                                           NULL, NULL, &startup, &process) != FALSE;
            start.callerBuffer = std::string(line.c_str(), line.size() + 1);
            if (start.created) {
                start.waited = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
                start.handlesClosed = CloseHandle(process.hThread) && CloseHandle(process.hProcess);
            }
        }
        const std::vector<winetest::NetRecord> records = winetest::ReadNetLog();
        if (!records.empty()) {
            start.application = records.front().path;
            start.commandLine = records.front().commandLine;
        }
        DeleteFileA(winetest::NetLog);
        ExpectRule(RulePlace(row.line, row.name), row.wineDiffers,
                   CheckProcessStart(row, application, start));
    }
}

} // namespace
