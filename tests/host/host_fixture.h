// A fresh stand-in machine for each test: Windows 5.1, the program at
// C:\Program Files\Pravenit\Pravenit.exe with that folder mapped to a new host folder,
// and the state the program's stages share zero-filled as at process start (FreshProgram
// says what it cannot reach).
#pragma once

#include "fresh_program.h"
#include "scenarios.h"
#include "standin.h"

#include <gtest/gtest.h>

#include <string>

class HostMachine : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Writes InfoSetting.ini beside the program.
    void WriteSettings(const std::string& text);
    // The scenario's machine: version, devices, prior values and its settings file.
    void BuildScenario(const Scenario& scenario);

    std::string hostFolder_;
};

// The whole program on that machine, with its own string and icon resources and its
// window texts zero-filled, started as Windows starts it.
class HostProgram : public HostMachine {
  protected:
    void SetUp() override;

    static int Start(const char* commandLine = "", int showCommand = SW_SHOWNORMAL);
};
