// Readers of InfoSetting.ini: its place beside the executable, the camera identity, the
// numbered entries and their split, and the RESET flag.
#include "settings_file.h"

#include "bounded_format.h"
#include "provisioning.h"

#include <cstdio>
#include <cstring>

char SettingsFilePath[MAX_PATH];
char GivenSettingsFile[MAX_PATH];
static char ModulePath[MAX_PATH];
static char ProgramFolder[MAX_PATH];

int PlaceSettingsFileBeside(const char* programPath) {
    SettingsFilePath[0] = '\0';
    if (FormatPath(ProgramFolder, "%s", programPath) != 1) {
        return 0;
    }
    char* lastSlash = strrchr(ProgramFolder, '\\');
    if (lastSlash == NULL) {
        return 0;
    }
    *lastSlash = '\0';
    return FormatPath(SettingsFilePath, "%s\\%s", ProgramFolder, SETTINGS_FILE_NAME);
}

int FormSettingsFilePath() {
    if (GivenSettingsFile[0] != '\0') {
        return FormatPath(SettingsFilePath, "%s", GivenSettingsFile);
    }
    SettingsFilePath[0] = '\0';
    DWORD length = GetModuleFileNameA(NULL, ModulePath, MAX_PATH);
    // A full buffer means the path was cut, and on Windows XP also left unterminated.
    if (length == 0 || length >= MAX_PATH) {
        return 0;
    }
    ModulePath[length] = '\0';
    return PlaceSettingsFileBeside(ModulePath);
}

DWORD ReadSettingText(const char* section, const char* key, char* buffer, DWORD size) {
    if (size == 0) {
        return 0;
    }
    buffer[0] = '\0';
    // Without a whole path the file counts as absent; a bare file name would make
    // the profile reader look in the Windows directory instead.
    if (FormSettingsFilePath() != 1) {
        return 0;
    }
    DWORD copied = GetPrivateProfileStringA(section, key, "", buffer, size, SettingsFilePath);
    buffer[size - 1] = '\0';
    return copied < size ? copied : size - 1;
}

int ReadDeviceIdentity() {
    if (ReadSettingText("Device", "PID", DeviceIdentity.Pid, sizeof DeviceIdentity.Pid) == 0) {
        return 0;
    }
    if (ReadSettingText("Device", "VID", DeviceIdentity.Vid, sizeof DeviceIdentity.Vid) == 0) {
        return 0;
    }
    return 1;
}

void FormNumberedKey(int number, char* key) {
    snprintf(key, 16, "Value%d", number);
}

DWORD ReadNumberedEntry(const char* section, int number, char* buffer, DWORD size) {
    char key[16];
    FormNumberedKey(number, key);
    return ReadSettingText(section, key, buffer, size);
}

// atol's rules without its overflow: the digits accumulate in 32 bits and wrap,
// and a minus sign negates the 32-bit result.
static LONG ConvertEntryNumber(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) {
        ++text;
    }
    int negative = 0;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    DWORD value = 0;
    while (*text >= '0' && *text <= '9') {
        value = value * 10u + (DWORD)(*text - '0');
        ++text;
    }
    if (negative) {
        value = 0u - value;
    }
    return (LONG)value;
}

int ParseSettingEntry(const char* text, SettingEntry* entry) {
    const char* lastComma = strrchr(text, ',');
    if (lastComma == NULL) {
        return 0;
    }
    size_t nameLength = (size_t)(lastComma - text);
    // A name cut to fit would name another value: such an entry is not split at all.
    if (nameLength >= sizeof entry->Name) {
        return 0;
    }
    memcpy(entry->Name, text, nameLength);
    entry->Name[nameLength] = '\0';
    entry->Number = ConvertEntryNumber(lastComma + 1);
    return 1;
}

int ReadResetFlag() {
    if (FormSettingsFilePath() != 1) {
        return 1;
    }
    return (int)GetPrivateProfileIntA("INFO", "RESET", 1, SettingsFilePath);
}
