#include "host_fixture.h"

#include "resource.h"
#include "scenario_machine.h"
#include "shell.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

void HostMachine::SetUp() {
    FreshProgram();
    std::string pattern = (std::filesystem::temp_directory_path() / "pravenit-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    hostFolder_ = pattern;
    standin::MapFolder(PROGRAM_FOLDER, hostFolder_);
}

void HostMachine::TearDown() {
    std::filesystem::remove_all(hostFolder_);
    standin::Reset();
}

void HostMachine::WriteSettings(const std::string& text) {
    std::ofstream(hostFolder_ + "/InfoSetting.ini", std::ios::binary) << text;
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
