// The registry settings writer: one section's entries as REG_DWORD values under one key.
#include "provisioning.h"
#include "settings_file.h"

static char EntryText[MAX_PATH];
static SettingEntry Entry;

// Opens the key for writing, or creates it together with any missing parents.
static int OpenSettingsKey(const char* keyPath, HKEY* key) {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_WRITE, key) == ERROR_SUCCESS) {
        return 1;
    }
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        NULL, key, &disposition) == ERROR_SUCCESS) {
        return 1;
    }
    return 0;
}

// One entry, one REG_DWORD value; the key is held only for this write. 1 when the value
// was set, 0 when the key could not be opened or created or the set failed.
static int WriteSettingValue(const char* keyPath, const SettingEntry* entry) {
    HKEY key = NULL;
    if (OpenSettingsKey(keyPath, &key) != 1) {
        return 0;
    }
    DWORD bits = (DWORD)entry->Number;
    LSTATUS set = RegSetValueExA(key, entry->Name, 0, REG_DWORD, (const BYTE*)&bits, sizeof bits);
    RegCloseKey(key);
    return set == ERROR_SUCCESS ? 1 : 0;
}

int WriteSettingsSection(const char* section, const char* keyPath) {
    int complete = 1;
    for (int number = 1; ReadNumberedEntry(section, number, EntryText, sizeof EntryText) > 0;
         ++number) {
        // An entry without a comma names no value and is skipped.
        if (ParseSettingEntry(EntryText, &Entry) != 1 || WriteSettingValue(keyPath, &Entry) != 1) {
            complete = 0;
        }
    }
    return complete;
}
