// The provisioning pass: the version gate and the stages in their order.
#include "provisioning.h"
#include "settings_file.h"

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

void RunProvisioning() {
    if (PassVersionGate() != 1) {
        return;
    }
    if (ReadDeviceIdentity() != 1) {
        return;
    }
    if (LocateCameraDevice() != 1) {
        return;
    }
    WriteSettingsSection("CLASSSETTINGS", ClassSettingsKey);
    WriteSettingsSection("DEFAULTSETTINGS", DefaultSettingsKey);
    if (ReadResetFlag() == 0) {
        return;
    }
    RestartImageService();
}
