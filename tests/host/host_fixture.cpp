#include "host_fixture.h"

#include "resource.h"
#include "scenario_machine.h"
#include "shell.h"

#include <cstring>
#include <filesystem>

void HostMachine::SetUp() {
    FreshProgram();
    hostFolder_ = MakeHostFolder("pravenit-");
    ASSERT_FALSE(hostFolder_.empty());
    standin::MapFolder(PROGRAM_FOLDER, hostFolder_);
}

void HostMachine::TearDown() {
    std::filesystem::remove_all(hostFolder_);
    standin::Reset();
}

void HostMachine::WriteSettings(const std::string& text) {
    ASSERT_TRUE(WriteSettingsFile(hostFolder_, text));
}

void HostMachine::BuildScenario(const Scenario& scenario) {
    BuildScenarioMachine(scenario);
    if (scenario.hasSettings) {
        WriteSettings(scenario.settings);
    }
}

void HostProgram::SetUp() {
    HostMachine::SetUp();
    std::memset(WindowTitle, 0, sizeof WindowTitle);
    std::memset(WindowClassName, 0, sizeof WindowClassName);
    standin::SetString(IDS_APP_TITLE, "Pravenit");
    standin::SetString(IDC_PRAVENIT, "PRAVENIT");
    standin::AddIcon(IDI_PRAVENIT);
}

int HostProgram::Start(const char* commandLine, int showCommand) {
    std::string line = commandLine;
    return WinMain(standin::ModuleInstance(), nullptr, line.data(), showCommand);
}
