// The Wine bench's test program. It runs under Wine and is given the built program:
//   pravenit_wine_tests.exe --pravenit=<path of Pravenit.exe>
//                           [--check=<path of PravenitCheck.exe>] [--expect-machine=i386]
//                           [GoogleTest flags]
// The program is expected to be of this test program's own machine unless
// --expect-machine says otherwise: a 64-bit test program reads the shipped i686 file.
#include "wine_machine.h"

#include <cstdio>
#include <cstring>

namespace {

// The value of --name=value, or null.
const char* FlagValue(const char* argument, const char* flag) {
    const size_t length = std::strlen(flag);
    return std::strncmp(argument, flag, length) == 0 ? argument + length : nullptr;
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (const char* program = FlagValue(argv[i], "--pravenit=")) {
            winetest::BuiltProgram = winetest::WindowsPath(program);
        } else if (const char* check = FlagValue(argv[i], "--check=")) {
            winetest::BuiltCheck = winetest::WindowsPath(check);
        } else if (const char* machine = FlagValue(argv[i], "--expect-machine=")) {
            if (std::strcmp(machine, "i386") != 0) {
                std::fprintf(stderr, "unknown machine %s\n", machine);
                return 2;
            }
            winetest::ProgramMachine = IMAGE_FILE_MACHINE_I386;
        }
    }
    if (winetest::BuiltProgram.empty()) {
        std::fprintf(stderr, "usage: %s --pravenit=<path of Pravenit.exe>\n", argv[0]);
        return 2;
    }
    if (GetFileAttributesA(winetest::BuiltProgram.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "no %s: build it first\n", winetest::BuiltProgram.c_str());
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    // Each ctest entry selects suites by name: selecting none means a renamed suite.
    if (::testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
        std::fprintf(stderr, "no test matches the filter\n");
        return 1;
    }
    return result;
}
