// Readers of InfoSetting.ini, the settings file beside the executable.
#pragma once

#include "winapi.h"

#define SETTINGS_FILE_NAME "InfoSetting.ini"

// One numbered entry, "<value name>,<number>", split at its last comma.
struct SettingEntry {
    char Name[MAX_PATH];
    LONG Number;
};

// Full path of the settings file, formed anew by FormSettingsFilePath.
extern char SettingsFilePath[MAX_PATH];

// A settings file named by the check program's user instead of the one beside the
// executable; empty in Pravenit, which always reads the one beside itself.
extern char GivenSettingsFile[MAX_PATH];

// Places the settings file beside the executable (or takes GivenSettingsFile). 0 when the
// executable's path was cut or leaves no room for the file name: the file then counts as
// absent.
int FormSettingsFilePath();

// SettingsFilePath for a program whose full path is given: the settings file name in
// the program's folder. 0, with SettingsFilePath empty, when the path has no backslash or
// the folder leaves no room for the file name.
int PlaceSettingsFileBeside(const char* programPath);

// Reads a text value; returns the number of characters copied (0: empty or missing).
DWORD ReadSettingText(const char* section, const char* key, char* buffer, DWORD size);

// Fills DeviceIdentity from section Device: PID first, then VID. 1 when both are non-empty.
int ReadDeviceIdentity();

// The name of numbered key <number>, "Value<number>", into a buffer of 16 bytes.
void FormNumberedKey(int number, char* key);

// Reads key "Value<number>" of the section into the buffer; returns the characters copied.
DWORD ReadNumberedEntry(const char* section, int number, char* buffer, DWORD size);

// Splits an entry at its last comma; the number follows the C library's atol rules in
// 32-bit arithmetic. 0 when the text has no comma.
int ParseSettingEntry(const char* text, SettingEntry* entry);

// RESET of section INFO; 1 when the file does not say.
int ReadResetFlag();
