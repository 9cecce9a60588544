// The camera search one step at a time: LocateCameraDevice is built from these, and the
// check program walks the same devices with them to show what the search sees.
#pragma once

#include "winapi.h"

// What one device of the imaging set is to the search, in the platform's order.
#define DEVICE_SET_EXHAUSTED 0 // no device at this index: the search ends without a camera
#define DEVICE_SKIPPED 1       // no hardware IDs, or no memory to read them: the search goes on
#define DEVICE_ENDS_SEARCH 2   // its hardware IDs cannot be read: the search ends without one
#define DEVICE_NOT_MATCHED 3   // its first hardware ID lacks the VID or the PID text
#define DEVICE_MATCHED 4       // the first device that matches is the camera

// The driver key name ReadDriverKeyName read last.
extern char DriverKeyName[MAX_PATH];

// The set of present imaging devices, or INVALID_HANDLE_VALUE.
HDEVINFO OpenImagingDevices();

// Enumerates the device at index into *device and matches its first hardware ID against
// DeviceIdentity; returns a DEVICE_ outcome. With keptList, a list that was read is handed
// to the caller (free it with LocalFree); without, it is freed here.
int ExamineDevice(HDEVINFO set, DWORD index, SP_DEVINFO_DATA* device, BYTE** keptList,
                  DWORD* keptSize);

// 1 when the search stops at a device of this outcome: the camera, the end of the set, or
// a hardware-ID read that failed.
int SearchEndsAt(int outcome);

// 1 when the first string of the list contains both DeviceIdentity texts, in any case
// and order; the texts are upper-cased in place. Reads at most listSize bytes.
int MatchFirstHardwareId(const BYTE* list, DWORD listSize);

// Reads the device's driver key name into DriverKeyName; 1 when it is not empty.
int ReadDriverKeyName(HDEVINFO set, SP_DEVINFO_DATA* device);

// ClassSettingsKey from the device's driver key name; 0 when the name cannot be read, is
// empty, or the path would not fit.
int FormClassSettingsKey(HDEVINFO set, SP_DEVINFO_DATA* device);

// DefaultSettingsKey, the fixed machine-wide key.
void FormDefaultSettingsKey();

// Only the letters a to z change; every other byte stays as it is.
void UpperCaseText(char* text);
