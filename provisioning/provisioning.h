// The provisioning pass and the process-wide state its stages hand to each other.
// All of it is zero-filled at process start and lives until the process exits.
#pragma once

#include "winapi.h"

// The camera's identity as the settings file names it: at most 9 characters each.
struct DEVICE_IDENTITY {
    char Vid[10];
    char Pid[10];
};

extern DEVICE_IDENTITY DeviceIdentity;
// Key paths below HKEY_LOCAL_MACHINE that the settings are written to.
extern char ClassSettingsKey[MAX_PATH];
extern char DefaultSettingsKey[MAX_PATH];

// The fixed machine-wide key of the camera's default settings.
#define DEFAULT_SETTINGS_KEY "SOFTWARE\\VORN\\USBCAMERA\\QX7714\\DefaultSettings\\HLN4482D"
// The camera's own settings, below its driver key.
#define CLASS_SETTINGS_KEY_FORMAT "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\CLASS\\%s\\Settings"

// Stages return 1 for success and 0 for failure.
int PassVersionGate();
int LocateCameraDevice();
int WriteSettingsSection(const char* section, const char* keyPath);
int RestartImageService();

// The whole pass: version gate, identity, camera, both sections, service restart.
void RunProvisioning();
