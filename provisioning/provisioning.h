// The provisioning pass and the process-wide state its stages hand to each other.
// The state lives until the process exits; a process starts it zero-filled.
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

// Stages return 1 for success and 0 for failure; callers test for exactly 1.

// 1 when the platform reports version 5.1 (Windows XP); any other version, or a failed
// version query, gives 0. Only the major and minor numbers are looked at.
int PassVersionGate();

// Sets DefaultSettingsKey, then walks the present imaging devices in the platform's
// order. 1 when the first whose first hardware ID contains both DeviceIdentity texts
// (upper-cased in place) was found and ClassSettingsKey names its Settings key; 0 when
// no device matches, a hardware-ID read ends the search, or the key cannot be formed.
int LocateCameraDevice();

// Writes the section's entries Value1, Value2, ... (up to the first missing or empty one)
// as REG_DWORD values under HKEY_LOCAL_MACHINE\keyPath, opening or creating the key
// anew for each entry. 1 when every entry was split and set; an entry that fails is
// skipped and the rest are still written. The pass does not use the result.
int WriteSettingsSection(const char* section, const char* keyPath);

// Starts "net stop stisvc" and then "net start stisvc" from the system directory,
// hidden, waiting up to 60 s for the stop to end first. 1 when both were started; a
// start that fails does not keep the other from being tried.
int RestartImageService();

// The whole pass: version gate, identity, camera, both sections, service restart.
// Stages 1 to 3 end it on failure; the rest never do. Nothing is reported.
void RunProvisioning();
