// The console entry of PravenitCheck.exe.
#include "check.h"

// The report is written out in large pieces: a console or a file takes it as fast either
// way, and a slow device (Wine's NUL is one) is written to a few times, not once a line.
static char OutputBuffer[65536];

int main(int argc, char** argv) {
    setvbuf(stdout, OutputBuffer, _IOFBF, sizeof OutputBuffer);
    return RunCheck(argc, argv);
}
