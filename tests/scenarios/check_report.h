// PravenitCheck's report read back as data: the writes and the service restart it
// predicts, its warnings and its counts. Plain code with no test framework in it, so the
// host suite, the Wine bench and the fuzz targets read the report the same way.
#pragma once

#include "scenarios.h"

#include <set>
#include <string>
#include <vector>

struct CheckPrediction {
    std::vector<ScenarioValue> writes; // every REG_DWORD Pravenit leaves set, by key
    std::vector<std::string> keys;     // the key of each section that has one, in order
    bool restart = false;              // net stop stisvc, then net start stisvc
    bool writesNothing = false;        // Pravenit stops before writing
    std::vector<std::string> warnings; // the warning lines, without their indent
    int added = -1, changed = -1, kept = -1, skipped = -1, warningCount = -1;
    int exitCode = -1; // as the last line states it
};

// Reads a whole report (lines ending in "\n" or "\r\n"). Empty when it was understood;
// otherwise what could not be read.
std::string ParseCheckReport(const std::string& report, CheckPrediction* prediction);

// The registry Pravenit leaves behind as the report predicts it: the scenario's values
// before the run with the predicted writes applied, as DescribeValue lines.
std::multiset<std::string> PredictedValueLines(const Scenario& scenario,
                                               const CheckPrediction& prediction);

// The commands the prediction says Pravenit starts, in order.
std::vector<std::string> PredictedCommands(const CheckPrediction& prediction);
