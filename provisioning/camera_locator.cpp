// The camera device locator: finds the camera among the present imaging devices and
// forms the two key paths the settings are written to.
#include "camera_locator.h"

#include "bounded_format.h"
#include "provisioning.h"

#include <cstdio>
#include <cstring>

// The imaging device class, {6BDD1FC6-810F-11D0-BEC7-08002BE2092F}.
static const GUID ImageDeviceClass = {
    0x6bdd1fc6, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};

char DriverKeyName[MAX_PATH];

// Outcomes of reading one device's hardware IDs.
#define HARDWARE_IDS_READ 1
// The device cannot match: it has no hardware IDs, or no memory could be had to read
// them. The search goes on with the next device.
#define HARDWARE_IDS_SKIP_DEVICE 0
#define HARDWARE_IDS_END_SEARCH (-1) // any other failure ends the whole search

// Reads the device's hardware-ID list into a zero-filled local-heap block sized by
// probing; the caller frees *list after a HARDWARE_IDS_READ.
static int ReadHardwareIds(HDEVINFO set, SP_DEVINFO_DATA* device, BYTE** list, DWORD* listSize) {
    BYTE* buffer = NULL;
    DWORD size = 0;
    DWORD required = 0;
    while (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, NULL, buffer, size,
                                              &required)) {
        DWORD error = GetLastError();
        LocalFree(buffer);
        if (error == ERROR_INVALID_DATA) {
            return HARDWARE_IDS_SKIP_DEVICE;
        }
        // An answer that asks for no more than was given would never end this loop.
        if (error != ERROR_INSUFFICIENT_BUFFER || required <= size) {
            return HARDWARE_IDS_END_SEARCH;
        }
        buffer = (BYTE*)LocalAlloc(LPTR, required);
        if (buffer == NULL) {
            return HARDWARE_IDS_SKIP_DEVICE;
        }
        size = required;
    }
    // Deliberately read once more into the same buffer after the probe has succeeded,
    // and end the search if that fails: the camera is matched on a list that could be
    // read twice, never on one the device stopped answering for.
    if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, NULL, buffer, size,
                                           &required)) {
        LocalFree(buffer);
        return HARDWARE_IDS_END_SEARCH;
    }
    *list = buffer;
    *listSize = size;
    return HARDWARE_IDS_READ;
}

// Only the letters a to z change; every other byte stays as it is.
void UpperCaseText(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'a' && *text <= 'z') {
            *text = (char)(*text - 'a' + 'A');
        }
    }
}

// 1 when the first hardware ID of the list contains the VID and the PID text, in any
// case and in any order. The copy is bounded by the list's size, so a list without
// terminators is still read safely.
int MatchFirstHardwareId(const BYTE* list, DWORD listSize) {
    size_t length = 0;
    while (length < listSize && list[length] != '\0') {
        ++length;
    }
    char* firstId = (char*)LocalAlloc(LPTR, length + 1);
    if (firstId == NULL) {
        return 0;
    }
    if (length > 0) {
        memcpy(firstId, list, length);
    }
    UpperCaseText(firstId);
    int match = 0;
    UpperCaseText(DeviceIdentity.Vid);
    if (strstr(firstId, DeviceIdentity.Vid) != NULL) {
        UpperCaseText(DeviceIdentity.Pid);
        match = strstr(firstId, DeviceIdentity.Pid) != NULL ? 1 : 0;
    }
    LocalFree(firstId);
    return match;
}

int ReadDriverKeyName(HDEVINFO set, SP_DEVINFO_DATA* device) {
    memset(DriverKeyName, 0, sizeof DriverKeyName);
    // The last byte is never handed out, so the name stays terminated.
    if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_DRIVER, NULL, (BYTE*)DriverKeyName,
                                           sizeof DriverKeyName - 1, NULL)) {
        return 0;
    }
    return DriverKeyName[0] != '\0' ? 1 : 0;
}

int FormClassSettingsKey(HDEVINFO set, SP_DEVINFO_DATA* device) {
    ClassSettingsKey[0] = '\0';
    if (ReadDriverKeyName(set, device) != 1) {
        return 0;
    }
    return FormatPath(ClassSettingsKey, CLASS_SETTINGS_KEY_FORMAT, DriverKeyName);
}

void FormDefaultSettingsKey() {
    snprintf(DefaultSettingsKey, MAX_PATH, "%s", DEFAULT_SETTINGS_KEY);
}

HDEVINFO OpenImagingDevices() {
    return SetupDiGetClassDevsA(&ImageDeviceClass, NULL, NULL, DIGCF_PRESENT);
}

int ExamineDevice(HDEVINFO set, DWORD index, SP_DEVINFO_DATA* device, BYTE** keptList,
                  DWORD* keptSize) {
    memset(device, 0, sizeof *device);
    device->cbSize = sizeof *device;
    if (!SetupDiEnumDeviceInfo(set, index, device)) {
        return DEVICE_SET_EXHAUSTED;
    }
    BYTE* list = NULL;
    DWORD listSize = 0;
    int read = ReadHardwareIds(set, device, &list, &listSize);
    if (read == HARDWARE_IDS_END_SEARCH) {
        return DEVICE_ENDS_SEARCH;
    }
    if (read == HARDWARE_IDS_SKIP_DEVICE) {
        return DEVICE_SKIPPED;
    }
    int match = MatchFirstHardwareId(list, listSize);
    if (keptList != NULL) {
        *keptList = list;
        *keptSize = listSize;
    } else {
        LocalFree(list);
    }
    return match == 1 ? DEVICE_MATCHED : DEVICE_NOT_MATCHED;
}

int SearchEndsAt(int outcome) {
    return outcome == DEVICE_MATCHED || outcome == DEVICE_SET_EXHAUSTED ||
                   outcome == DEVICE_ENDS_SEARCH
               ? 1
               : 0;
}

// Walks the set in the platform's order; the first device that matches is the camera.
static int FindCamera(HDEVINFO set) {
    SP_DEVINFO_DATA device;
    for (DWORD index = 0;; ++index) {
        int outcome = ExamineDevice(set, index, &device, NULL, NULL);
        if (SearchEndsAt(outcome) == 1) {
            return outcome == DEVICE_MATCHED ? FormClassSettingsKey(set, &device) : 0;
        }
    }
}

int LocateCameraDevice() {
    FormDefaultSettingsKey();
    HDEVINFO set = OpenImagingDevices();
    if (set == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int found = FindCamera(set);
    SetupDiDestroyDeviceInfoList(set);
    return found;
}
