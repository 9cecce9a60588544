// The console entry of PravenitCheck.exe.
#include "check.h"

int main(int argc, char** argv) {
    return RunCheck(argc, argv);
}
