// The provisioning pass: the stages in their order, with the gates between them.
#include "provisioning.h"
#include "settings_file.h"

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
