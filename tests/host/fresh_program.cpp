#include "fresh_program.h"

#include "provisioning.h"
#include "settings_file.h"
#include "standin.h"

#include <cstring>

void FreshProgram() {
    standin::Reset();
    std::memset(&DeviceIdentity, 0, sizeof DeviceIdentity);
    std::memset(ClassSettingsKey, 0, sizeof ClassSettingsKey);
    std::memset(DefaultSettingsKey, 0, sizeof DefaultSettingsKey);
    std::memset(SettingsFilePath, 0, sizeof SettingsFilePath);
}
