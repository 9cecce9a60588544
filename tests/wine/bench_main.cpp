// The Wine bench's test program. It runs under Wine and is given the built program:
//   pravenit_wine_tests.exe --pravenit=<path of Pravenit.exe> [GoogleTest flags]
#include "wine_machine.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* const flag = "--pravenit=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) {
            bench::BuiltProgram = bench::WindowsPath(argv[i] + std::strlen(flag));
        }
    }
    if (bench::BuiltProgram.empty()) {
        std::fprintf(stderr, "usage: %s --pravenit=<path of Pravenit.exe>\n", argv[0]);
        return 2;
    }
    const int result = RUN_ALL_TESTS();
    // Each ctest entry selects suites by name: selecting none means a renamed suite.
    if (::testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
        std::fprintf(stderr, "no test matches the filter\n");
        return 1;
    }
    return result;
}
