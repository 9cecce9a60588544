// Whole runs of the provisioning pass on the stand-in machine: the rows every level
// shares, then the platform failures only the stand-in can produce.
#include "host_fixture.h"
#include "provisioning.h"
#include "scenarios.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

namespace {

std::string HardwareIdList(const std::string& ids) {
    std::vector<std::string> list;
    size_t start = 0;
    for (size_t bar; (bar = ids.find('|', start)) != std::string::npos; start = bar + 1) {
        list.push_back(ids.substr(start, bar - start));
    }
    list.push_back(ids.substr(start));
    return standin::MultiString(list);
}

std::vector<BYTE> ValueData(const ScenarioValue& value) {
    if (value.type == REG_DWORD) {
        const uint32_t n = value.number;
        return {BYTE(n), BYTE(n >> 8), BYTE(n >> 16), BYTE(n >> 24)};
    }
    std::vector<BYTE> data(value.text.begin(), value.text.end());
    data.push_back(0);
    return data;
}

// One line a value, case-folded where Windows folds, for readable differences.
std::string Describe(const std::string& key, const std::string& name, DWORD type,
                     const std::vector<BYTE>& data) {
    std::string line = standin::UpperCased(key) + " [" + standin::UpperCased(name) + "] type " +
                       std::to_string(type) + " =";
    for (BYTE byte : data) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", byte);
        line += hex;
    }
    return line;
}

void BuildMachine(const Scenario& scenario) {
    standin::SetVersion(scenario.major, scenario.minor);
    for (const ScenarioDevice& device : scenario.devices) {
        standin::Device added;
        added.present = device.present;
        added.hasHardwareIds = device.hasHardwareIds;
        added.hardwareIds = HardwareIdList(device.hardwareIds);
        added.driver = standin::DriverName(device.driver);
        standin::AddDevice(added);
    }
    for (const ScenarioValue& value : scenario.before) {
        standin::SetValue(value.key, value.name, value.type, ValueData(value));
    }
}

void CheckRegistry(const Scenario& scenario) {
    std::multiset<std::string> actual;
    for (const standin::RegistryValue& value : standin::DumpRegistry()) {
        actual.insert(Describe(value.key, value.name, value.type, value.data));
    }
    std::multiset<std::string> expected;
    for (const ScenarioValue& value : scenario.expected) {
        expected.insert(Describe(value.key, value.name, value.type, ValueData(value)));
    }
    EXPECT_EQ(actual, expected);

    // A key that had nothing to hold was neither created nor left behind.
    for (const std::string& key : WatchedKeys(scenario)) {
        bool holds = false;
        for (const auto* values : {&scenario.before, &scenario.expected}) {
            for (const ScenarioValue& value : *values) {
                holds = holds || standin::UpperCased(value.key) == standin::UpperCased(key);
            }
        }
        EXPECT_EQ(standin::KeyExists(key), holds) << key;
    }
}

void CheckCommands(const Scenario& scenario) {
    std::vector<std::string> started;
    for (const standin::StartedProcess& process : standin::Processes()) {
        started.push_back(process.commandLine);
        EXPECT_TRUE(process.hasApplication);
        EXPECT_EQ(process.application, "C:\\WINDOWS\\system32\\net.exe");
        EXPECT_EQ(process.startup.cb, sizeof(STARTUPINFOA));
        EXPECT_EQ(process.startup.dwFlags, DWORD(STARTF_USESHOWWINDOW));
        EXPECT_EQ(process.startup.wShowWindow, SW_HIDE);
        EXPECT_EQ(process.startup.lpReserved, nullptr);
        EXPECT_EQ(process.startup.lpDesktop, nullptr);
        EXPECT_EQ(process.startup.lpTitle, nullptr);
        EXPECT_EQ(process.startup.dwX | process.startup.dwY | process.startup.dwXSize |
                      process.startup.dwYSize | process.startup.dwXCountChars |
                      process.startup.dwYCountChars | process.startup.dwFillAttribute |
                      process.startup.cbReserved2,
                  0u);
        EXPECT_EQ(process.startup.lpReserved2, nullptr);
        EXPECT_EQ(process.startup.hStdInput, nullptr);
        EXPECT_EQ(process.startup.hStdOutput, nullptr);
        EXPECT_EQ(process.startup.hStdError, nullptr);
        EXPECT_FALSE(process.hasProcessAttributes || process.hasThreadAttributes ||
                     process.hasEnvironment || process.hasCurrentDirectory);
        EXPECT_EQ(process.inheritHandles, FALSE);
        EXPECT_EQ(process.creationFlags, 0u);
    }
    EXPECT_EQ(started, scenario.commands);
}

void CheckEverythingReleased() {
    const standin::RegistryCounts calls = standin::RegistryCalls();
    EXPECT_EQ(calls.opens + calls.creates, calls.closes);
    EXPECT_EQ(standin::OpenKeys(), 0);
    EXPECT_EQ(standin::OpenDeviceSets(), 0);
    EXPECT_EQ(standin::OpenProcessHandles(), 0);
    EXPECT_EQ(standin::LiveAllocations(), 0);
}

class ProvisioningRun : public HostMachine {
  protected:
    void Run(const Scenario& scenario, const std::function<void(const std::string&)>& inject) {
        BuildMachine(scenario);
        if (scenario.hasSettings) {
            WriteSettings(scenario.settings);
        }
        if (inject) {
            inject(hostFolder_);
        }
        RunProvisioning();
        CheckRegistry(scenario);
        CheckCommands(scenario);
        CheckEverythingReleased();
    }
};

} // namespace

// Rows print as their names.
void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

namespace {

class SharedScenario : public ProvisioningRun, public ::testing::WithParamInterface<Scenario> {};

TEST_P(SharedScenario, Outcome) {
    Run(GetParam(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rows, SharedScenario, ::testing::ValuesIn(ProvisioningScenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             return info.param.name;
                         });

// ---- Failures that only the stand-in can inject ------------------------------

struct FaultRow {
    Scenario scenario;
    std::function<void(const std::string& hostFolder)> inject;
};

Scenario Written(const std::string& name, const std::string& classKey = CAMERA_KEY) {
    return CameraRun(name, BothSections, BothSectionsWritten(classKey), RestartCommands);
}

Scenario Untouched(const std::string& name) {
    return CameraRun(name, BothSections, {}, {});
}

// The program in a folder whose full path has the given length, mapped to the test's
// host folder, under the given file name.
std::function<void(const std::string&)> ProgramAt(size_t folderLength,
                                                  const std::string& fileName = "Pravenit.exe") {
    return [folderLength, fileName](const std::string& hostFolder) {
        std::string folder = "C:\\";
        folder += std::string(folderLength - folder.size(), 'd');
        standin::MapFolder(folder, hostFolder);
        standin::SetModulePath(folder + "\\" + fileName);
    };
}

std::function<void(const std::string&)> Devices(std::vector<standin::Device> devices) {
    return [devices](const std::string&) {
        for (const standin::Device& device : devices) {
            standin::AddDevice(device);
        }
    };
}

standin::Device CameraDevice(const std::string& driver = CAMERA_DRIVER) {
    standin::Device device;
    device.hardwareIds = HardwareIdList(CameraHardwareIds);
    device.driver = standin::DriverName(driver);
    return device;
}

template <typename Change> standin::Device CameraDeviceWith(Change change) {
    standin::Device device = CameraDevice();
    change(device);
    return device;
}

Scenario WithoutScenarioDevices(Scenario scenario) {
    scenario.devices.clear();
    return scenario;
}

std::vector<FaultRow> FaultRows() {
    const std::string longDriver(211, 'k'); // the longest name whose key fits 260 bytes
    const std::string tooLongDriver(212, 'k');
    return {
        {Untouched("VersionQueryFails"),
         [](const std::string&) { standin::FailVersionQuery(true); }},
        // The settings path is the folder, a backslash, InfoSetting.ini and a terminator.
        {Written("FolderOf243CharactersFits"), ProgramAt(243)},
        {Untouched("FolderOf244CharactersLeavesNoRoom"), ProgramAt(244)},
        // 259 characters fit the 260-byte buffer; one more and the platform cuts the path.
        {Written("ModulePathOf259Characters"), ProgramAt(200, std::string(54, 'p') + ".exe")},
        {Untouched("ModulePathCut"), ProgramAt(200, std::string(55, 'p') + ".exe")},
        {Untouched("DeviceSetCannotBeOpened"),
         [](const std::string&) { standin::FailDeviceSetOpen(true); }},
        {WithoutScenarioDevices(Untouched("OtherHardwareIdErrorEndsSearch")),
         Devices(
             {CameraDeviceWith([](standin::Device& d) { d.hardwareIdError = ERROR_ACCESS_DENIED; }),
              CameraDevice(OTHER_DRIVER)})},
        {WithoutScenarioDevices(Untouched("FailedRereadEndsSearch")),
         Devices({CameraDeviceWith([](standin::Device& d) {
                      d.hardwareIdError = ERROR_ACCESS_DENIED;
                      d.hardwareIdErrorFromRead = 3;
                  }),
                  CameraDevice(OTHER_DRIVER)})},
        {WithoutScenarioDevices(Written("SizeGrowsBetweenProbes")),
         Devices({CameraDeviceWith([](standin::Device& d) { d.hardwareIdGrowth = 3; })})},
        // A size answer that never grows would keep probing forever: the search ends.
        {WithoutScenarioDevices(Untouched("SizeProbeThatNeverGrowsEndsSearch")),
         Devices({CameraDeviceWith([](standin::Device& d) { d.hardwareIdSizeStuck = true; }),
                  CameraDevice(OTHER_DRIVER)})},
        {WithoutScenarioDevices(Written("ListAllocationFailsSkipsDevice", OTHER_KEY)),
         [](const std::string& folder) {
             Devices({CameraDevice(), CameraDevice(OTHER_DRIVER)})(folder);
             standin::FailAllocation(1);
         }},
        {WithoutScenarioDevices(Written("CopyAllocationFailsSkipsDevice", OTHER_KEY)),
         [](const std::string& folder) {
             Devices({CameraDevice(), CameraDevice(OTHER_DRIVER)})(folder);
             standin::FailAllocation(2);
         }},
        {WithoutScenarioDevices(Written("EmptyListSkipsDevice", OTHER_KEY)),
         Devices({CameraDeviceWith([](standin::Device& d) { d.hardwareIds = ""; }),
                  CameraDevice(OTHER_DRIVER)})},
        {WithoutScenarioDevices(Written("EmptyFirstIdSkipsDevice", OTHER_KEY)),
         Devices({CameraDeviceWith([](standin::Device& d) {
                      d.hardwareIds = standin::MultiString({"", "USB\\VID_2B7E&PID_C0A1"});
                  }),
                  CameraDevice(OTHER_DRIVER)})},
        {WithoutScenarioDevices(Written("UnterminatedHardwareIds")),
         Devices({CameraDeviceWith(
             [](standin::Device& d) { d.hardwareIds = "USB\\VID_2B7E&PID_C0A1"; })})},
        {WithoutScenarioDevices(Untouched("DriverKeyNameUnreadable")),
         Devices(
             {CameraDeviceWith([](standin::Device& d) { d.driverError = ERROR_INVALID_DATA; })})},
        {WithoutScenarioDevices(Untouched("DriverKeyNameMissing")),
         Devices({CameraDeviceWith([](standin::Device& d) { d.hasDriver = false; })})},
        {WithoutScenarioDevices(Untouched("DriverKeyNameEmpty")),
         Devices(
             {CameraDeviceWith([](standin::Device& d) { d.driver = standin::DriverName(""); })})},
        {WithoutScenarioDevices(Written("DriverKeyNameUnterminated")),
         Devices({CameraDeviceWith([](standin::Device& d) { d.driver = CAMERA_DRIVER; })})},
        {WithoutScenarioDevices(
             Written("LongestDriverKeyNameFits",
                     "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\CLASS\\" + longDriver + "\\Settings")),
         Devices({CameraDeviceWith(
             [&](standin::Device& d) { d.driver = standin::DriverName(longDriver); })})},
        {WithoutScenarioDevices(Untouched("DriverKeyNameTooLong")),
         Devices({CameraDeviceWith(
             [&](standin::Device& d) { d.driver = standin::DriverName(tooLongDriver); })})},
        {CameraRun("ClassKeyDenied", BothSections, {Dword(DEFAULTS_KEY, "Exposure", 0xFFFFFFFFu)},
                   RestartCommands),
         [](const std::string&) {
             standin::DenyKey(CAMERA_KEY, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED);
         }},
        {CameraRun(
             "DefaultKeyDenied", BothSections,
             {Dword(CAMERA_KEY, "Brightness", 128), Dword(CAMERA_KEY, "Contrast", 0xFFFFFFFEu)},
             RestartCommands),
         [](const std::string&) {
             standin::DenyKey(DEFAULTS_KEY, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED);
         }},
        {Written("OpenDeniedCreateAllowed"),
         [](const std::string&) {
             standin::DenyKey(CAMERA_KEY, ERROR_ACCESS_DENIED, ERROR_SUCCESS);
         }},
        {CameraRun("SystemDirectoryUnavailable", BothSections, BothSectionsWritten(), {}),
         [](const std::string&) { standin::SetSystemDirectory(""); }},
        {CameraRun("StopCannotStart", BothSections, BothSectionsWritten(), {START_COMMAND}),
         [](const std::string&) { standin::FailProcessStart(STOP_COMMAND); }},
        {CameraRun("StartCannotStart", BothSections, BothSectionsWritten(), {STOP_COMMAND}),
         [](const std::string&) { standin::FailProcessStart(START_COMMAND); }},
        {Written("StopNeverFinishes"),
         [](const std::string&) { standin::NeverFinish(STOP_COMMAND); }},
    };
}

void PrintTo(const FaultRow& row, std::ostream* out) {
    *out << row.scenario.name;
}

class PlatformFault : public ProvisioningRun, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(PlatformFault, Outcome) {
    Run(GetParam().scenario, GetParam().inject);
}

INSTANTIATE_TEST_SUITE_P(Rows, PlatformFault, ::testing::ValuesIn(FaultRows()),
                         [](const ::testing::TestParamInfo<FaultRow>& info) {
                             return info.param.scenario.name;
                         });

} // namespace

namespace {

// What the locator leaves behind for the writer, found or not.
TEST_F(HostMachine, LocatorUpperCasesTheIdentityAndAlwaysSetsTheDefaultKey) {
    std::strcpy(DeviceIdentity.Vid, "vid_2b7e");
    std::strcpy(DeviceIdentity.Pid, "pid_c0a1");
    EXPECT_EQ(LocateCameraDevice(), 0);
    EXPECT_STREQ(DefaultSettingsKey, DEFAULTS_KEY);

    standin::AddDevice(CameraDevice());
    EXPECT_EQ(LocateCameraDevice(), 1);
    EXPECT_STREQ(DeviceIdentity.Vid, "VID_2B7E");
    EXPECT_STREQ(DeviceIdentity.Pid, "PID_C0A1");
    EXPECT_STREQ(ClassSettingsKey, CAMERA_KEY);
    EXPECT_EQ(standin::OpenDeviceSets(), 0);
}

} // namespace
