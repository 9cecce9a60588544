// What every fuzz target shares: a fresh stand-in machine per input with the program's
// folder mapped to a host folder of this process, and checks that stop the run with a
// message so that libFuzzer records the input as a finding.
#pragma once

#include "fresh_program.h"
#include "standin.h"

#include <cstddef>
#include <cstdint>
#include <string>

#define SETTINGS_PATH PROGRAM_FOLDER "\\InfoSetting.ini"

[[noreturn]] void FuzzCheckFailed(const char* file, int line, const char* condition,
                                  const std::string& detail);

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            FuzzCheckFailed(__FILE__, __LINE__, #condition, (detail));                             \
        }                                                                                          \
    } while (0)

// Resets the stand-in and the program's process-wide state as at process start, and maps
// the program's folder; the host folder is made once per process.
void FreshMachine();

// Writes InfoSetting.ini beside the program.
void WriteSettings(const std::string& bytes);

// The text as C code would spell it, for messages.
std::string Printable(const std::string& text);
