// The program on a fresh stand-in machine, for every host-level test and fuzz target.
#pragma once

// The folder of the program's own path after standin::Reset().
#define PROGRAM_FOLDER "C:\\Program Files\\Pravenit"

#include <string>

// Zero-fills the state the program's stages hand to each other (DeviceIdentity, the two
// settings keys, SettingsFilePath and GivenSettingsFile), as a new process finds it: the
// check and Pravenit run one after the other on one machine as two processes.
void ForgetProgramState();

// Resets the stand-in and forgets the program's state (ForgetProgramState), as a new
// process finds both; the caller then maps PROGRAM_FOLDER to a host folder. The static buffers
// private to the program's files (the driver key name, the module path, the entry text, the net
// command's path, command line and records) are out of reach and keep what the last run
// left: the program fills each of them before it reads it.
void FreshProgram();

// A new, empty host folder under the system's temporary folder; "" if none can be made.
std::string MakeHostFolder(const char* namePrefix);

// Writes InfoSetting.ini, byte for byte, into the host folder; false if it cannot.
bool WriteSettingsFile(const std::string& hostFolder, const std::string& bytes);
