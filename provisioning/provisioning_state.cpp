// The process-wide state the provisioning stages hand to each other.
#include "provisioning.h"

DEVICE_IDENTITY DeviceIdentity;
char ClassSettingsKey[MAX_PATH];
char DefaultSettingsKey[MAX_PATH];
