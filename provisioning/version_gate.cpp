// The version gate: Pravenit runs on Windows XP (5.1) only.
#include "provisioning.h"

#include <cstring>

int PassVersionGate() {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
#if defined(_MSC_VER)
#pragma warning(suppress : 4996) // the only version query Windows XP has
#endif
    if (!GetVersionExA(&version)) {
        return 0;
    }
    return version.dwMajorVersion == 5 && version.dwMinorVersion == 1 ? 1 : 0;
}
