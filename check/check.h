// PravenitCheck: what Pravenit.exe would do on this PC, shown without changing anything,
// decided by Pravenit's own readers, device matching and key forming.
#pragma once

#include <cstdio>

// Exit codes.
#define CHECK_ALL_IN_PLACE 0   // every value the settings file names is already in place
#define CHECK_WOULD_WRITE 1    // Pravenit would add or change values here
#define CHECK_WRITES_NOTHING 2 // Pravenit would write nothing on this PC
#define CHECK_USAGE_OR_FILE 3  // a usage error, or a given settings file that cannot be read
#define CHECK_HELP_SHOWN CHECK_ALL_IN_PLACE

// Where the report goes: standard output unless set.
extern FILE* CheckOutput;

// The whole check for a command line (argv[0] is the program); returns the exit code.
int RunCheck(int argc, char** argv);
