// The program on a fresh stand-in machine, for every host-level test and fuzz target.
#pragma once

// The folder of the program's own path after standin::Reset().
#define PROGRAM_FOLDER "C:\\Program Files\\Pravenit"

#include <string>

// Resets the stand-in and zero-fills the program's process-wide state, as a new process
// finds both; the caller then maps PROGRAM_FOLDER to a host folder.
void FreshProgram();

// A new, empty host folder under the system's temporary folder; "" if none can be made.
std::string MakeHostFolder(const char* namePrefix);

// Writes InfoSetting.ini, byte for byte, into the host folder; false if it cannot.
bool WriteSettingsFile(const std::string& hostFolder, const std::string& bytes);
