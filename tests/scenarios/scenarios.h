// Whole runs of the provisioning pass as data: the machine before (version, settings
// file, imaging devices, registry) and what must hold after (the values of the
// camera's settings keys and the commands started). Plain data with no test
// framework in it, so every level that can build such a machine runs the same rows.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#define IMAGE_CLASS "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}"
// A device's settings key: the Settings key below its driver key in the class tree.
#define CLASS_KEY_PREFIX "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\CLASS\\"
#define CLASS_KEY_SUFFIX "\\Settings"
#define CLASS_KEY(driver) CLASS_KEY_PREFIX driver CLASS_KEY_SUFFIX
#define CAMERA_DRIVER IMAGE_CLASS "\\0000"
#define OTHER_DRIVER IMAGE_CLASS "\\0001"
#define CAMERA_KEY CLASS_KEY(CAMERA_DRIVER)
#define OTHER_KEY CLASS_KEY(OTHER_DRIVER)
#define DEFAULTS_KEY "SOFTWARE\\VORN\\USBCAMERA\\QX7714\\DefaultSettings\\HLN4482D"

#define STOP_COMMAND "net stop stisvc"
#define START_COMMAND "net start stisvc"

struct ScenarioDevice {
    std::string hardwareIds; // the IDs in order, separated by '|'; see hasHardwareIds
    std::string driver;      // the driver key name
    bool present = true;
    bool hasHardwareIds = true;
};

struct ScenarioValue {
    std::string key;
    std::string name;
    uint32_t type;    // 4 (REG_DWORD) or 1 (REG_SZ)
    uint32_t number;  // the REG_DWORD's bits
    std::string text; // the REG_SZ's text
};

struct Scenario {
    std::string name;
    uint32_t major = 5;
    uint32_t minor = 1;
    bool hasSettings = true;
    std::string settings; // InfoSetting.ini beside the program
    std::vector<ScenarioDevice> devices;
    std::vector<ScenarioValue> before;   // registry values present before the run
    std::vector<ScenarioValue> expected; // every value of every key below, after the run
    std::vector<std::string> commands;   // command lines started, in order
};

// Rows print as their names.
void PrintTo(const Scenario& scenario, std::ostream* out);

// CLASS_KEY of a driver key name known only at run time.
std::string ClassKeyOf(const std::string& driver);

ScenarioValue Dword(const std::string& key, const std::string& name, uint32_t number);
ScenarioValue Text(const std::string& key, const std::string& name, const std::string& text);

// The device's hardware IDs in order.
std::vector<std::string> SplitHardwareIds(const std::string& ids);
// A key, value or path name folded as Windows folds names: a to z become A to Z.
std::string FoldedName(std::string name);

// The bytes a registry value holds: 4 little-endian bytes, or the text and its terminator.
std::vector<uint8_t> ValueBytes(const ScenarioValue& value);
// One line a value, with key and value names folded as Windows folds them (a to z
// become A to Z), so that values compare as the registry compares them and differ readably.
std::string DescribeValue(const std::string& key, const std::string& name, uint32_t type,
                          const std::vector<uint8_t>& bytes);
// The lines of every value the scenario expects after the run.
std::multiset<std::string> ExpectedValueLines(const Scenario& scenario);
// Whether the key must exist after the run: it holds a value before or after.
bool KeyHoldsValues(const Scenario& scenario, const std::string& key);

// The keys whose whole content a scenario fixes: those of its expected and prior
// values, the settings keys of all its devices, and the default-settings key.
std::vector<std::string> WatchedKeys(const Scenario& scenario);

// The usual camera and its identity lines in the settings file.
extern const char* const CameraHardwareIds;
extern const char* const CameraIdentity;
// Two entries for the camera's key and one for the default key; what they write.
extern const char* const BothSections;
std::vector<ScenarioValue> BothSectionsWritten(const std::string& classKey = CAMERA_KEY);
extern const std::vector<std::string> RestartCommands;

// A run of the usual camera with the given entries after its identity lines.
Scenario CameraRun(const std::string& name, const std::string& entries,
                   std::vector<ScenarioValue> expected, std::vector<std::string> commands);

// The rows that every level runs.
std::vector<Scenario> ProvisioningScenarios();
