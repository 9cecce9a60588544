#include "scenario_machine.h"

#include "standin.h"

#include <gtest/gtest.h>

#include <set>

std::string HardwareIdList(const std::string& ids) {
    return standin::MultiString(SplitHardwareIds(ids));
}

void BuildScenarioMachine(const Scenario& scenario) {
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
        standin::SetValue(value.key, value.name, value.type, ValueBytes(value));
    }
}

std::multiset<std::string> RegistryLines() {
    std::multiset<std::string> lines;
    for (const standin::RegistryValue& value : standin::DumpRegistry()) {
        lines.insert(DescribeValue(value.key, value.name, value.type, value.data));
    }
    return lines;
}

std::vector<std::string> StartedCommands() {
    std::vector<std::string> commands;
    for (const standin::StartedProcess& process : standin::Processes()) {
        commands.push_back(process.commandLine);
    }
    return commands;
}

static void CheckRegistry(const Scenario& scenario) {
    EXPECT_EQ(RegistryLines(), ExpectedValueLines(scenario));

    // A key that had nothing to hold was neither created nor left behind.
    for (const std::string& key : WatchedKeys(scenario)) {
        EXPECT_EQ(standin::KeyExists(key), KeyHoldsValues(scenario, key)) << key;
    }
}

static void CheckCommands(const Scenario& scenario) {
    for (const standin::StartedProcess& process : standin::Processes()) {
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
    EXPECT_EQ(StartedCommands(), scenario.commands);
}

static void CheckEverythingReleased() {
    const standin::RegistryCounts calls = standin::RegistryCalls();
    EXPECT_EQ(calls.opens + calls.creates, calls.closes);
    EXPECT_EQ(standin::OpenKeys(), 0);
    EXPECT_EQ(standin::OpenDeviceSets(), 0);
    EXPECT_EQ(standin::OpenProcessHandles(), 0);
    EXPECT_EQ(standin::LiveAllocations(), 0);
}

void CheckScenarioOutcome(const Scenario& scenario) {
    CheckRegistry(scenario);
    CheckCommands(scenario);
    CheckEverythingReleased();
}
