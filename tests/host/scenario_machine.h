// A shared scenario row on the stand-in: building its machine, and checking what
// the program left behind against the row.
#pragma once

#include "scenarios.h"

#include <set>
#include <string>
#include <vector>

// The raw multi-string of '|'-separated hardware IDs.
std::string HardwareIdList(const std::string& ids);

// Every value of the stand-in's registry as a DescribeValue line.
std::multiset<std::string> RegistryLines();

// The command line of every process started, in order.
std::vector<std::string> StartedCommands();

// The row's version, devices and prior registry values (not its settings file).
void BuildScenarioMachine(const Scenario& scenario);

// Every value of the registry, the keys that must not exist, the commands started
// with how they were started, and that every key, device set, process handle and
// local-heap block was released.
void CheckScenarioOutcome(const Scenario& scenario);
