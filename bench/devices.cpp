// Imaging devices for the benchmark, made and listed the way Wine keeps them: keys
// HKLM\SYSTEM\CurrentControlSet\Enum\USB\<device>\<instance> that name the imaging class.
//   devices.exe camera        adds the camera (VID_2B7E&PID_C0A1, driver key ...\0500)
//   devices.exe others COUNT  makes sure non-matching devices 0 to COUNT-1 exist; their
//                             keys sort before the camera's, so they are listed first
//   devices.exe list          prints the present imaging devices in the order the
//                             device installer lists them: first hardware ID, a tab,
//                             the driver key name, one device a line
// Exit code 0 on success, 1 on any failure (with a message on stderr).
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const GUID ImageClass = {
    0x6bdd1fc6, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};
const char ImageClassText[] = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
const char EnumKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\";

bool SetText(HKEY key, const char* name, DWORD type, const std::string& data) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// hardwareIds: the IDs, each followed by '\0'.
bool AddDevice(const std::string& instance, const std::string& hardwareIds,
               const std::string& driver) {
    HKEY key = NULL;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (EnumKey + instance).c_str(), 0, NULL, 0,
                        KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS) {
        std::fprintf(stderr, "devices: cannot create %s\n", instance.c_str());
        return false;
    }
    bool set = SetText(key, "ClassGUID", REG_SZ, std::string(ImageClassText) + '\0') &&
               SetText(key, "HardwareId", REG_MULTI_SZ, hardwareIds + '\0') &&
               SetText(key, "Driver", REG_SZ, std::string(ImageClassText) + "\\" + driver + '\0');
    RegCloseKey(key);
    if (!set) {
        std::fprintf(stderr, "devices: cannot set the values of %s\n", instance.c_str());
    }
    return set;
}

// Another maker's imaging devices: the same text shapes as the camera's, never its IDs.
bool AddOthers(int count) {
    char instance[96], ids[128], driver[8];
    for (int index = 0; index < count; ++index) {
        std::snprintf(instance, sizeof instance, "VID_1111&PID_%04X\\5&2c4d1e&0&%d", 0x1000 + index,
                      index);
        int length = std::snprintf(ids, sizeof ids,
                                   "USB\\VID_1111&PID_%04X&REV_0100%cUSB\\VID_1111&PID_%04X",
                                   0x1000 + index, '\0', 0x1000 + index);
        std::snprintf(driver, sizeof driver, "%04d", index);
        if (!AddDevice(instance, std::string(ids, static_cast<size_t>(length) + 1), driver)) {
            return false;
        }
    }
    return true;
}

bool AddCamera() {
    const char ids[] = "USB\\VID_2B7E&PID_C0A1&REV_0102\0USB\\VID_2B7E&PID_C0A1\0";
    return AddDevice("VID_2B7E&PID_C0A1\\6&1f2e3d4c&0&2", std::string(ids, sizeof ids - 1), "0500");
}

bool List() {
    HDEVINFO set = SetupDiGetClassDevsA(&ImageClass, NULL, NULL, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "devices: no device list (error %lu)\n", GetLastError());
        return false;
    }
    SP_DEVINFO_DATA device;
    for (DWORD index = 0;; ++index) {
        std::memset(&device, 0, sizeof device);
        device.cbSize = sizeof device;
        if (!SetupDiEnumDeviceInfo(set, index, &device)) {
            break;
        }
        char ids[1024] = "", driver[MAX_PATH] = "";
        SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, NULL,
                                          reinterpret_cast<BYTE*>(ids), sizeof ids - 2, NULL);
        SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_DRIVER, NULL,
                                          reinterpret_cast<BYTE*>(driver), sizeof driver - 1, NULL);
        std::printf("%s\t%s\n", ids, driver);
    }
    SetupDiDestroyDeviceInfoList(set);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    bool done = false;
    if (command == "camera" && argc == 2) {
        done = AddCamera();
    } else if (command == "others" && argc == 3) {
        done = AddOthers(std::atoi(argv[2]));
    } else if (command == "list" && argc == 2) {
        done = List();
    } else {
        std::fprintf(stderr, "usage: devices.exe camera | others COUNT | list\n");
    }
    return done ? 0 : 1;
}
