// Runs of PravenitCheck as data: the machine, the command line, and what the report
// must say (exit code, warnings, a line). Plain data with no test framework in it, so
// the host suite and the Wine bench run the same rows.
#pragma once

#include "scenarios.h"

#include <ostream>
#include <string>
#include <vector>

// Stand-ins in a case's arguments for paths each level makes for the case.
#define OTHER_SETTINGS_FILE "<other settings file>" // a readable file holding the settings
#define MISSING_FILE "<missing file>"               // a path where nothing is
#define A_FOLDER "<folder>"                         // an existing folder
#define LOCKED_FILE "<locked file>" // a settings file another process holds without sharing

// The check's file name in a case's long folder: its usual name would not fit the path.
#define SHORT_CHECK_NAME "C.exe"

struct CheckCase {
    std::string name;
    Scenario machine;                   // version, settings file beside the check, devices,
                                        // values before; its expectations are not used
    bool longFolder = false;            // the programs lie in a folder of 244 characters,
                                        // the check as SHORT_CHECK_NAME
    std::vector<std::string> arguments; // after the program's path
    int exitCode = 0;
    std::vector<std::string> warnings; // each warning line contains one of these, in order
    std::string line;                  // the start of a line the report holds, if not empty
};

// Rows print as their names.
void PrintTo(const CheckCase& row, std::ostream* out);

// The report's warnings, one row each.
std::vector<CheckCase> CheckWarningCases();
// The exit codes, usage errors included.
std::vector<CheckCase> CheckExitCodeCases();

// How a run of the case's check differs from the row: one line a difference, none when it
// agrees (exit code, the line, and for a report its warnings, exactly).
std::vector<std::string> CheckCaseMismatches(const CheckCase& row, int exitCode,
                                             const std::string& report);
