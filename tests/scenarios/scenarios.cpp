#include "scenarios.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

const char* const CameraHardwareIds = "USB\\VID_2B7E&PID_C0A1&REV_0102|USB\\VID_2B7E&PID_C0A1";
const char* const CameraIdentity = "[Device]\r\nVID=VID_2B7E\r\nPID=PID_C0A1\r\n";

void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

std::string ClassKeyOf(const std::string& driver) {
    return CLASS_KEY_PREFIX + driver + CLASS_KEY_SUFFIX;
}

ScenarioValue Dword(const std::string& key, const std::string& name, uint32_t number) {
    return ScenarioValue{key, name, 4, number, ""};
}

ScenarioValue Text(const std::string& key, const std::string& name, const std::string& text) {
    return ScenarioValue{key, name, 1, 0, text};
}

std::vector<uint8_t> ValueBytes(const ScenarioValue& value) {
    if (value.type == 4) { // REG_DWORD
        const uint32_t n = value.number;
        return {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    }
    std::vector<uint8_t> bytes(value.text.begin(), value.text.end());
    bytes.push_back(0);
    return bytes;
}

std::vector<std::string> SplitHardwareIds(const std::string& ids) {
    std::vector<std::string> list;
    size_t start = 0;
    for (size_t bar; (bar = ids.find('|', start)) != std::string::npos; start = bar + 1) {
        list.push_back(ids.substr(start, bar - start));
    }
    list.push_back(ids.substr(start));
    return list;
}

std::string FoldedName(std::string name) {
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return name;
}

std::string DescribeValue(const std::string& key, const std::string& name, uint32_t type,
                          const std::vector<uint8_t>& bytes) {
    std::string line =
        FoldedName(key) + " [" + FoldedName(name) + "] type " + std::to_string(type) + " =";
    for (uint8_t byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", byte);
        line += hex;
    }
    return line;
}

std::multiset<std::string> ExpectedValueLines(const Scenario& scenario) {
    std::multiset<std::string> lines;
    for (const ScenarioValue& value : scenario.expected) {
        lines.insert(DescribeValue(value.key, value.name, value.type, ValueBytes(value)));
    }
    return lines;
}

bool KeyHoldsValues(const Scenario& scenario, const std::string& key) {
    for (const auto* values : {&scenario.before, &scenario.expected}) {
        for (const ScenarioValue& value : *values) {
            if (FoldedName(value.key) == FoldedName(key)) {
                return true;
            }
        }
    }
    return false;
}

std::vector<std::string> WatchedKeys(const Scenario& scenario) {
    std::vector<std::string> keys{DEFAULTS_KEY};
    for (const ScenarioDevice& device : scenario.devices) {
        keys.push_back(ClassKeyOf(device.driver));
    }
    for (const auto* values : {&scenario.before, &scenario.expected}) {
        for (const ScenarioValue& value : *values) {
            keys.push_back(value.key);
        }
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

const char* const BothSections = "[CLASSSETTINGS]\r\n"
                                 "Value1=Brightness,128\r\n"
                                 "Value2=Contrast,-2\r\n"
                                 "[DEFAULTSETTINGS]\r\n"
                                 "Value1=Exposure,4294967295\r\n";
const std::vector<std::string> RestartCommands{STOP_COMMAND, START_COMMAND};

std::vector<ScenarioValue> BothSectionsWritten(const std::string& classKey) {
    return {Dword(classKey, "Brightness", 128), Dword(classKey, "Contrast", 0xFFFFFFFEu),
            Dword(DEFAULTS_KEY, "Exposure", 0xFFFFFFFFu)};
}

Scenario CameraRun(const std::string& name, const std::string& entries,
                   std::vector<ScenarioValue> expected, std::vector<std::string> commands) {
    Scenario scenario;
    scenario.name = name;
    scenario.settings = std::string(CameraIdentity) + entries;
    scenario.devices = {ScenarioDevice{CameraHardwareIds, CAMERA_DRIVER}};
    scenario.expected = std::move(expected);
    scenario.commands = std::move(commands);
    return scenario;
}

namespace {

ScenarioDevice Camera(const std::string& driver = CAMERA_DRIVER) {
    return ScenarioDevice{CameraHardwareIds, driver};
}

// A run that must neither write nor start anything.
Scenario NothingDone(const std::string& name, const std::string& settings,
                     std::vector<ScenarioDevice> devices) {
    Scenario scenario;
    scenario.name = name;
    scenario.settings = settings;
    scenario.devices = std::move(devices);
    return scenario;
}

void AddVersionGate(std::vector<Scenario>* rows) {
    const struct {
        uint32_t major, minor;
        const char* name;
    } versions[] = {
        {5, 0, "Version5_0"}, {5, 2, "Version5_2"}, {6, 0, "Version6_0"}, {6, 1, "Version6_1"}};
    for (const auto& version : versions) {
        Scenario scenario =
            NothingDone(version.name, std::string(CameraIdentity) + BothSections, {Camera()});
        scenario.major = version.major;
        scenario.minor = version.minor;
        rows->push_back(scenario);
    }
}

void AddSettingsFile(std::vector<Scenario>* rows) {
    Scenario missing = NothingDone("NoSettingsFile", "", {Camera()});
    missing.hasSettings = false;
    rows->push_back(missing);
    rows->push_back(NothingDone("NoDeviceSection", BothSections, {Camera()}));
    rows->push_back(NothingDone("NoPid", std::string("[Device]\r\nVID=VID_2B7E\r\n") + BothSections,
                                {Camera()}));
    rows->push_back(NothingDone("NoVid", std::string("[Device]\r\nPID=PID_C0A1\r\n") + BothSections,
                                {Camera()}));
    rows->push_back(NothingDone("EmptyVid",
                                std::string("[Device]\r\nVID=\r\nPID=PID_C0A1\r\n") + BothSections,
                                {Camera()}));
}

void AddLocator(std::vector<Scenario>* rows) {
    const std::string both = std::string(CameraIdentity) + BothSections;
    rows->push_back(NothingDone("NoImagingDevice", both, {}));
    rows->push_back(
        NothingDone("NoDeviceMatches", both, {{"USB\\VID_1111&PID_2222", CAMERA_DRIVER}}));
    rows->push_back(
        NothingDone("OnlyTheFirstHardwareIdCounts", both,
                    {{"USB\\VID_2B7E&PID_0000|USB\\VID_2B7E&PID_C0A1", CAMERA_DRIVER}}));
    rows->push_back(
        NothingDone("PidWithoutVid", both, {{"USB\\VID_1111&PID_C0A1", CAMERA_DRIVER}}));

    struct {
        const char* name;
        const char* identity;
        const char* hardwareIds;
    } matches[] = {
        {"LowerCaseIdentity", "[Device]\r\nVID=vid_2b7e\r\nPID=pid_c0a1\r\n", CameraHardwareIds},
        {"LowerCaseHardwareId", CameraIdentity, "usb\\vid_2b7e&pid_c0a1&rev_0102"},
        {"PidInsideVendorPart", "[Device]\r\nVID=VID_2B7E\r\nPID=2B7E\r\n",
         "USB\\VID_2B7E&PID_0000"},
        {"EitherOrder", "[Device]\r\nVID=PID_C0A1\r\nPID=VID_2B7E\r\n", CameraHardwareIds},
    };
    for (const auto& match : matches) {
        Scenario scenario;
        scenario.name = match.name;
        scenario.settings = std::string(match.identity) + BothSections;
        scenario.devices = {{match.hardwareIds, CAMERA_DRIVER}};
        scenario.expected = BothSectionsWritten();
        scenario.commands = RestartCommands;
        rows->push_back(scenario);
    }

    Scenario twoCameras =
        CameraRun("FirstOfTwoCameras", BothSections, BothSectionsWritten(), RestartCommands);
    twoCameras.devices = {Camera(), Camera(OTHER_DRIVER)};
    rows->push_back(twoCameras);

    Scenario noIds = CameraRun("DeviceWithoutHardwareIdSkipped", BothSections,
                               BothSectionsWritten(OTHER_KEY), RestartCommands);
    ScenarioDevice withoutIds = Camera();
    withoutIds.hasHardwareIds = false;
    noIds.devices = {withoutIds, Camera(OTHER_DRIVER)};
    rows->push_back(noIds);

    Scenario absent = NothingDone("CameraNotPresent", both, {Camera()});
    absent.devices[0].present = false;
    rows->push_back(absent);

    Scenario absentFirst = CameraRun("PresentCameraAfterAbsentOne", BothSections,
                                     BothSectionsWritten(OTHER_KEY), RestartCommands);
    absentFirst.devices = {Camera(), Camera(OTHER_DRIVER)};
    absentFirst.devices[0].present = false;
    rows->push_back(absentFirst);

    const std::string seventh = IMAGE_CLASS "\\0007";
    Scenario driverKey =
        CameraRun("DriverKeyNameFormsTheKey", BothSections,
                  BothSectionsWritten(CLASS_KEY(IMAGE_CLASS "\\0007")), RestartCommands);
    driverKey.devices = {Camera(seventh)};
    rows->push_back(driverKey);
}

void AddValues(std::vector<Scenario>* rows) {
    rows->push_back(
        CameraRun("BothSectionsWritten", BothSections, BothSectionsWritten(), RestartCommands));
    rows->push_back(
        CameraRun("EntryShapes",
                  "[CLASSSETTINGS]\r\n"
                  "Value1=Negative,-2\r\n"
                  "Value2=AllBits,4294967295\r\n"
                  "Value3=Wrapped,4294967296\r\n"
                  "Value4=FarPast,99999999999\r\n"
                  "Value5=Hex,0x10\r\n"
                  "Value6=Trailing,12abc\r\n"
                  "Value7=Level ,12\r\n"
                  "Value8=,5\r\n"
                  "Value9=A,B,7\r\n"
                  "Value10=NoDigits,\r\n"
                  "Value11=Spaced, 12\r\n"
                  "Value12=NoComma\r\n"
                  "Value13=Plus,+42\r\n",
                  {Dword(CAMERA_KEY, "Negative", 0xFFFFFFFEu),
                   Dword(CAMERA_KEY, "AllBits", 0xFFFFFFFFu), Dword(CAMERA_KEY, "Wrapped", 0),
                   Dword(CAMERA_KEY, "FarPast", 1215752191u), // 99999999999 mod 2^32
                   Dword(CAMERA_KEY, "Hex", 0), Dword(CAMERA_KEY, "Trailing", 12),
                   Dword(CAMERA_KEY, "Level ", 12), Dword(CAMERA_KEY, "", 5),
                   Dword(CAMERA_KEY, "A,B", 7), Dword(CAMERA_KEY, "NoDigits", 0),
                   Dword(CAMERA_KEY, "Spaced", 12), Dword(CAMERA_KEY, "Plus", 42)},
                  RestartCommands));
    rows->push_back(CameraRun("NumberingStopsAtGap",
                              "[CLASSSETTINGS]\r\nValue1=First,1\r\nValue3=Third,3\r\n"
                              "[DEFAULTSETTINGS]\r\nValue2=Second,2\r\n",
                              {Dword(CAMERA_KEY, "First", 1)}, RestartCommands));
    rows->push_back(CameraRun("EmptyFirstEntryEndsSection",
                              "[CLASSSETTINGS]\r\nValue1=\r\nValue2=Second,2\r\n", {},
                              RestartCommands));
    rows->push_back(CameraRun("LaterEntryOfSameNameWins",
                              "[CLASSSETTINGS]\r\nValue1=Gain,1\r\nValue2=Gain,2\r\n"
                              "[DEFAULTSETTINGS]\r\nValue1=Gain,3\r\nValue2=Gain,4\r\n",
                              {Dword(CAMERA_KEY, "Gain", 2), Dword(DEFAULTS_KEY, "Gain", 4)},
                              RestartCommands));
    rows->push_back(CameraRun("NoEntriesStillRestarts", "", {}, RestartCommands));

    Scenario existing =
        CameraRun("ExistingValues", BothSections,
                  {Dword(CAMERA_KEY, "Brightness", 128), Dword(CAMERA_KEY, "Contrast", 0xFFFFFFFEu),
                   Dword(CAMERA_KEY, "Untouched", 9), Dword(DEFAULTS_KEY, "Exposure", 0xFFFFFFFFu),
                   Text(DEFAULTS_KEY, "Note", "kept")},
                  RestartCommands);
    existing.before = {Text(CAMERA_KEY, "Brightness", "high"), Dword(CAMERA_KEY, "Contrast", 7),
                       Dword(CAMERA_KEY, "Untouched", 9), Text(DEFAULTS_KEY, "Note", "kept")};
    rows->push_back(existing);
}

void AddReset(std::vector<Scenario>* rows) {
    const struct {
        const char* name;
        const char* info;
        bool restarts;
    } flags[] = {
        {"ResetZero", "[INFO]\r\nRESET=0\r\n", false},
        {"ResetOne", "[INFO]\r\nRESET=1\r\n", true},
        {"ResetOther", "[INFO]\r\nRESET=7\r\n", true},
        {"ResetNegative", "[INFO]\r\nRESET=-1\r\n", true},
        {"ResetNotANumber", "[INFO]\r\nRESET=abc\r\n", false},
        {"ResetEmpty", "[INFO]\r\nRESET=\r\n", true},
        {"ResetMissing", "[INFO]\r\nOTHER=0\r\n", true},
    };
    for (const auto& flag : flags) {
        rows->push_back(CameraRun(flag.name, std::string(BothSections) + flag.info,
                                  BothSectionsWritten(),
                                  flag.restarts ? RestartCommands : std::vector<std::string>{}));
    }
}

} // namespace

std::vector<Scenario> ProvisioningScenarios() {
    std::vector<Scenario> rows;
    AddVersionGate(&rows);
    AddSettingsFile(&rows);
    AddLocator(&rows);
    AddValues(&rows);
    AddReset(&rows);
    return rows;
}
