// The program on a fresh stand-in machine, for every host-level test and fuzz target.
#pragma once

// The folder of the program's own path after standin::Reset().
#define PROGRAM_FOLDER "C:\\Program Files\\Pravenit"

// Resets the stand-in and zero-fills the program's process-wide state, as a new process
// finds both; the caller then maps PROGRAM_FOLDER to a host folder.
void FreshProgram();
