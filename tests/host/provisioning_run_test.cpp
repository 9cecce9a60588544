// Whole runs of the provisioning pass on the stand-in machine: the rows every level
// shares, then every point where the platform can fail the program, which only the
// stand-in can produce, each with the outcome the program gives there.
#include "host_fixture.h"
#include "provisioning.h"
#include "scenario_machine.h"
#include "scenarios.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

namespace {

class SharedScenario : public HostMachine, public ::testing::WithParamInterface<Scenario> {};

TEST_P(SharedScenario, Outcome) {
    BuildScenario(GetParam());
    RunProvisioning();
    CheckScenarioOutcome(GetParam());
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

// The usual camera run, ended by the fault before anything is written or started.
Scenario EndsBeforeWriting(const std::string& name) {
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

// The devices, added in order (the first has index 0), then the faults injected into them.
std::function<void(const std::string&)> Devices(
    std::vector<standin::Device> devices, std::function<void()> faults = [] {}) {
    return [devices, faults](const std::string&) {
        for (const standin::Device& device : devices) {
            standin::AddDevice(device);
        }
        faults();
    };
}

standin::Device CameraDevice(const std::string& driver = CAMERA_DRIVER) {
    standin::Device device;
    device.hardwareIds = HardwareIdList(CameraHardwareIds);
    device.driver = standin::DriverName(driver);
    return device;
}

// The camera, whose hardware-ID reads fail as given, then a second camera.
std::function<void(const std::string&)>
FirstCameraIdsFail(DWORD error, standin::FailingReads reads = standin::FailingReads::Every) {
    return Devices({CameraDevice(), CameraDevice(OTHER_DRIVER)}, [error, reads] {
        standin::FailDeviceProperty(0, SPDRP_HARDWAREID, error, reads);
    });
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
    const std::string longerList =
        HardwareIdList(std::string(CameraHardwareIds) + "|USB\\Class_0e");
    const std::string interfaceId = "USB\\VID_2B7E&PID_C0A1&MI_00";
    return {
        {EndsBeforeWriting("VersionQueryFails"),
         [](const std::string&) { standin::FailVersionQuery(true); }},
        // The settings path is the folder, a backslash, InfoSetting.ini and a terminator.
        {Written("FolderOf243CharactersFits"), ProgramAt(243)},
        {EndsBeforeWriting("FolderOf244CharactersLeavesNoRoom"), ProgramAt(244)},
        // 259 characters fit the 260-byte buffer; one more and the platform cuts the path.
        {Written("ModulePathOf259Characters"), ProgramAt(200, std::string(54, 'p') + ".exe")},
        {EndsBeforeWriting("ModulePathCut"), ProgramAt(200, std::string(55, 'p') + ".exe")},
        {EndsBeforeWriting("ModulePathUnavailable"),
         [](const std::string&) { standin::SetModulePath(""); }},
        // A settings file that cannot be opened reads as an empty one, at any read.
        {EndsBeforeWriting("SettingsFileUnreadable"),
         [](const std::string&) { standin::FailProfileFile(true); }},
        // Locked after PID and VID: no entry can be read, and RESET falls back to 1.
        {CameraRun("SettingsFileUnreadableAfterIdentity", BothSections, {}, RestartCommands),
         [](const std::string&) { standin::FailProfileReadsFrom("CLASSSETTINGS", "Value1"); }},
        // RESET=0 that cannot be read falls back to 1: the service is restarted.
        {CameraRun("ResetUnreadable", std::string(BothSections) + "[INFO]\r\nRESET=0\r\n",
                   BothSectionsWritten(), RestartCommands),
         [](const std::string&) { standin::FailProfileRead("INFO", "RESET"); }},
        {EndsBeforeWriting("DeviceSetCannotBeOpened"),
         [](const std::string&) { standin::FailDeviceSetOpen(true); }},
        {WithoutScenarioDevices(EndsBeforeWriting("OtherHardwareIdErrorEndsSearch")),
         FirstCameraIdsFail(ERROR_ACCESS_DENIED)},
        {WithoutScenarioDevices(EndsBeforeWriting("FailedRereadEndsSearch")),
         FirstCameraIdsFail(ERROR_ACCESS_DENIED, standin::FailingReads::AfterGiven)},
        // Error 13 says the device has no hardware IDs, but only on the first probe.
        {WithoutScenarioDevices(Written("InvalidDataSkipsDevice", OTHER_KEY)),
         FirstCameraIdsFail(ERROR_INVALID_DATA)},
        {WithoutScenarioDevices(EndsBeforeWriting("InvalidDataOnRereadEndsSearch")),
         FirstCameraIdsFail(ERROR_INVALID_DATA, standin::FailingReads::AfterGiven)},
        {WithoutScenarioDevices(Written("SizeGrowsBetweenProbes")),
         Devices({CameraDeviceWith([](standin::Device& d) { d.hardwareIdGrowth = 3; })})},
        // A size answer that never grows would keep probing forever: the search ends.
        {WithoutScenarioDevices(EndsBeforeWriting("SizeProbeThatNeverGrowsEndsSearch")),
         Devices({CameraDeviceWith([](standin::Device& d) { d.hardwareIdSizeStuck = true; }),
                  CameraDevice(OTHER_DRIVER)})},
        // The first camera's list and first ID have sizes of their own, so that only its
        // block of that size is refused.
        {WithoutScenarioDevices(Written("ListAllocationFailsSkipsDevice", OTHER_KEY)),
         Devices({CameraDeviceWith([&](standin::Device& d) { d.hardwareIds = longerList; }),
                  CameraDevice(OTHER_DRIVER)},
                 [size = longerList.size()] { standin::FailAllocationsOf(size); })},
        {WithoutScenarioDevices(Written("CopyAllocationFailsSkipsDevice", OTHER_KEY)),
         Devices({CameraDeviceWith([&](standin::Device& d) {
                      d.hardwareIds = standin::MultiString({interfaceId, "USB\\VID_2B7E&PID_C0A1"});
                  }),
                  CameraDevice(OTHER_DRIVER)},
                 [size = interfaceId.size() + 1] { standin::FailAllocationsOf(size); })},
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
        {WithoutScenarioDevices(EndsBeforeWriting("DriverKeyNameUnreadable")),
         Devices({CameraDevice()},
                 [] { standin::FailDeviceProperty(0, SPDRP_DRIVER, ERROR_INVALID_DATA); })},
        {WithoutScenarioDevices(EndsBeforeWriting("DriverKeyNameMissing")),
         Devices({CameraDeviceWith([](standin::Device& d) { d.hasDriver = false; })})},
        {WithoutScenarioDevices(EndsBeforeWriting("DriverKeyNameEmpty")),
         Devices(
             {CameraDeviceWith([](standin::Device& d) { d.driver = standin::DriverName(""); })})},
        {WithoutScenarioDevices(Written("DriverKeyNameUnterminated")),
         Devices({CameraDeviceWith([](standin::Device& d) { d.driver = CAMERA_DRIVER; })})},
        {WithoutScenarioDevices(Written("LongestDriverKeyNameFits", ClassKeyOf(longDriver))),
         Devices({CameraDeviceWith(
             [&](standin::Device& d) { d.driver = standin::DriverName(longDriver); })})},
        {WithoutScenarioDevices(EndsBeforeWriting("DriverKeyNameTooLong")),
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
        // A value that cannot be set is passed over; its key is still closed.
        {CameraRun(
             "ValueSetFails", BothSections,
             {Dword(CAMERA_KEY, "Brightness", 128), Dword(DEFAULTS_KEY, "Exposure", 0xFFFFFFFFu)},
             RestartCommands),
         [](const std::string&) { standin::FailValueSet("Contrast", ERROR_ACCESS_DENIED); }},
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

class PlatformFault : public HostProgram, public ::testing::WithParamInterface<FaultRow> {};

// The whole process, started as Windows starts it, with the platform failing at one point.
TEST_P(PlatformFault, Outcome) {
    BuildScenario(GetParam().scenario);
    GetParam().inject(hostFolder_);
    EXPECT_EQ(Start(), 0);
    CheckScenarioOutcome(GetParam().scenario);
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
