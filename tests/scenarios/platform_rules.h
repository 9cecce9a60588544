// Rules of the Windows platform that the host stand-in claims and the host tests rely on,
// as rows of plain data: the profile reader, the registry, device properties, the module
// path and process creation. The host suite runs every row against the stand-in and the
// Wine bench runs the same rows against the real API, so a rule the stand-in gets wrong
// fails on one level. Each row carries its source line for the failure message. No test
// framework in here: each level performs the calls and asks the Check functions below.
//
// A row whose wineDiffers is set shows where Wine and Windows are known to behave
// differently; the stand-in follows Windows (XP, where the two differ) and the Wine run
// skips that row's assertion, printing the reason instead.
#pragma once

#include "scenarios.h"

#include <cstdint>
#include <string>
#include <vector>

// The byte every output buffer is filled with before a call: whatever a call leaves
// unwritten still reads as this.
const char RulePoison = '\xCC';
const uint32_t RulePoisonNumber = 0xDEADBEEFu;
// A number a row leaves unchecked: the platform sets it to something of no use.
const uint32_t RuleUnchecked = 0xFFFFFFFFu;

// Names the rows use for the platform's numbers.
const uint32_t RuleSuccess = 0;
const uint32_t RuleFileNotFound = 2;         // ERROR_FILE_NOT_FOUND
const uint32_t RuleInvalidData = 13;         // ERROR_INVALID_DATA
const uint32_t RuleInsufficientBuffer = 122; // ERROR_INSUFFICIENT_BUFFER
const uint32_t RuleCreatedNewKey = 1;        // REG_CREATED_NEW_KEY
const uint32_t RuleOpenedExistingKey = 2;    // REG_OPENED_EXISTING_KEY
const uint32_t RuleTypeText = 1;             // REG_SZ
const uint32_t RuleTypeDword = 4;            // REG_DWORD
const uint32_t RuleTypeMultiText = 7;        // REG_MULTI_SZ
const uint32_t RulePropertyHardwareIds = 1;  // SPDRP_HARDWAREID
const uint32_t RulePropertyDriver = 9;       // SPDRP_DRIVER

// "platform_rules.cpp:123 name": where a row is written.
std::string RulePlace(int line, const std::string& name);

// ---- Profile reader: GetPrivateProfileStringA and GetPrivateProfileIntA -------------

// Where the reads go: the settings file of a program folder, written before each row.
#define RULE_PROFILE_FILE_NAME "InfoSetting.ini"

// A read of section and key from a file of the given bytes into a 64-character buffer.
struct ProfileTextRule {
    int line;
    const char* name;
    std::string content; // the file, byte for byte
    const char* section;
    const char* key;
    const char* fallback; // the default; null: none given
    const char* expected; // the text read; its length is the expected result
    const char* wineDiffers;
};
const uint32_t ProfileTextBufferSize = 64;
std::vector<ProfileTextRule> ProfileTextRules();

// "[Cam]\nModel=<value>\n" read as Cam/Model (default "none") into a buffer of the
// given size: what fits, always terminated, and nothing written past the size.
struct ProfileCutRule {
    int line;
    const char* value;
    uint32_t size;
    const char* expected;
    const char* wineDiffers;
};
std::vector<ProfileCutRule> ProfileCutRules();

// The key names of a section (a read with no key) into a buffer of the given size: each
// name terminated, then one more terminator; a list that does not fit is cut, still ends
// in two terminators, and gives size - 2.
struct ProfileKeysRule {
    int line;
    const char* name;
    std::string content;
    const char* section;
    uint32_t size;
    std::string expected; // the buffer's bytes from the start, terminators included
    uint32_t returned;
    const char* wineDiffers;
};
std::vector<ProfileKeysRule> ProfileKeysRules();
std::string CheckProfileKeys(const ProfileKeysRule& row, uint32_t returned,
                             const std::string& buffer);

// A read of Cam/Model where the file or its whole folder does not exist.
struct ProfileAbsentRule {
    int line;
    const char* name;
    bool folderExists;
    const char* fallback;
    const char* expectedText;
    int32_t intFallback;
    uint32_t expectedInt;
    const char* wineDiffers;
};
std::vector<ProfileAbsentRule> ProfileAbsentRules();

// GetPrivateProfileIntA of Cam/Value in "[Cam]\r\nValue=<value>\r\n" (no Value line
// when value is null).
struct ProfileIntRule {
    int line;
    const char* value;
    int32_t fallback;
    uint32_t expected;
    const char* wineDiffers;
};
std::vector<ProfileIntRule> ProfileIntRules();
std::string ProfileIntContent(const ProfileIntRule& row);

// What a read gave, for the checks: the result and the whole output buffer, poison
// bytes past the size included. Each returns "" when the row holds, else what differs.
std::string CheckProfileText(const char* expected, uint32_t size, uint32_t returned,
                             const std::string& buffer);

// ---- Registry (below one key of HKEY_LOCAL_MACHINE) -----------------------------------

#define RULE_REGISTRY_ROOT "SOFTWARE\\Pravenit Rules"

enum class RegistryAction { Create, Open, Set, SetNullName };
struct RegistryStep {
    RegistryAction action;
    std::string key;      // below RULE_REGISTRY_ROOT
    ScenarioValue value;  // Set: the value (its key is ignored)
    uint32_t status;      // what the call returns
    uint32_t disposition; // Create: what it reports
};
RegistryStep CreateStep(const std::string& key, uint32_t disposition);
RegistryStep OpenStep(const std::string& key, uint32_t status);
// Opens the key and sets the value in it; SetNullName passes a null value name.
RegistryStep SetStep(const std::string& key, const ScenarioValue& value);
RegistryStep SetNullNameStep(const std::string& key, const ScenarioValue& value);

struct RegistryRule {
    int line;
    const char* name;
    std::vector<RegistryStep> steps;
    // Every key and value below the root afterwards, names as stored: "key <path>" and
    // "value <path> [<name>] type <n> = <bytes>" (see RegistryLine), in any order.
    std::vector<std::string> after;
    const char* wineDiffers;
};
std::vector<RegistryRule> RegistryRules();
std::string RegistryKeyLine(const std::string& path);
std::string RegistryValueLine(const std::string& path, const std::string& name, uint32_t type,
                              const std::vector<uint8_t>& bytes);
// What one step returned (and, for Create, reported as its disposition) against the step.
std::string CheckRegistryStep(const RegistryStep& step, uint32_t status, uint32_t disposition);
// Compares what a level found below the root with the row, ignoring the order.
std::string CheckRegistryAfter(const RegistryRule& row, std::vector<std::string> found);

// ---- Device properties (SetupDiGetDeviceRegistryPropertyA) -------------------------

// One imaging device, alone in its class, and one read of one of its properties. The
// Wine bench makes it as the registry key the platform lists devices from.
struct DevicePropertyRule {
    int line;
    const char* name;
    bool hasHardwareIds;
    std::string hardwareIds; // the HardwareId value's raw bytes
    std::string driver;      // the Driver value's raw bytes, terminator included
    uint32_t property;
    int32_t size; // the buffer's size; -1: no buffer and size 0 (the size probe)
    bool succeeds;
    uint32_t error;    // when it fails
    uint32_t required; // what *RequiredSize is set to, or RuleUnchecked
    uint32_t type;     // when it succeeds: *PropertyRegDataType
    std::string data;  // when it succeeds: the buffer's first bytes
    const char* wineDiffers;
};
std::vector<DevicePropertyRule> DevicePropertyRules();

struct DevicePropertyRead {
    bool succeeded;
    uint32_t error;     // GetLastError after a failure
    uint32_t required;  // RulePoisonNumber before the call
    uint32_t type;      // RulePoisonNumber before the call
    std::string buffer; // the whole buffer, poison past the size included
};
std::string CheckDeviceProperty(const DevicePropertyRule& row, const DevicePropertyRead& read);

// ---- The module's own path (GetModuleFileNameA(NULL, ...)) -----------------------------

// A buffer of size characters, counted from the path's length when fromLength is set.
struct ModulePathRule {
    int line;
    const char* name;
    int32_t size;
    bool fromLength;
    bool checkLastError; // the last error, set to RulePoisonNumber before, is left as it was
    const char* wineDiffers;
};
std::vector<ModulePathRule> ModulePathRules();
uint32_t ModulePathSize(const ModulePathRule& row, const std::string& path);
// path: the module's whole path; buffer: the whole buffer, poison past the size included.
std::string CheckModulePath(const ModulePathRule& row, const std::string& path, uint32_t returned,
                            const std::string& buffer, uint32_t lastError);

// ---- Process creation (CreateProcessA with an application name) -----------------------

// The system folder's net command started with this writable command line.
struct ProcessStartRule {
    int line;
    const char* name;
    std::string commandLine;
    const char* wineDiffers;
};
std::vector<ProcessStartRule> ProcessStartRules();

struct ProcessStart {
    bool created;
    std::string application;  // what was started
    std::string commandLine;  // the command line it was given
    std::string callerBuffer; // the caller's command-line buffer after the call
    bool waited;              // the wait on the process ended with it
    bool handlesClosed;       // both handles closed
};
std::string CheckProcessStart(const ProcessStartRule& row, const std::string& application,
                              const ProcessStart& start);
