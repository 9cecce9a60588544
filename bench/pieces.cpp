// Times, inside one process, the platform calls Pravenit.exe makes, the same way it
// makes them, to show where a run's time goes apart from starting a process:
//   pieces.exe entries SETTINGS_FILE COUNT CLASS_KEY DEFAULT_KEY
//       profile   reading Value1..COUNT of [CLASSSETTINGS] and [DEFAULTSETTINGS], one
//                 profile read an entry
//       registry-class, registry-default
//                 one key open, one value set and one close an entry, under both keys
//                 (below HKLM), the same names and numbers as the settings file
//   pieces.exe devices
//       device-set   making and freeing the list of present imaging devices
//       device-walk  the same, and between the two, going through the list and reading
//                    each device's hardware IDs (size probe, then read), as the camera
//                    search does when no device matches
// Prints "NAME MICROSECONDS" lines: the median of 7 rounds after one warm-up round.
// Exit code 1 if a call fails.
#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const GUID ImageClass = {
    0x6bdd1fc6, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};

bool Failed = false;

void Report(const char* name, const std::function<void()>& round) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    round(); // warm-up
    for (int index = 0; index < 7; ++index) {
        QueryPerformanceCounter(&start);
        round();
        QueryPerformanceCounter(&end);
        times.push_back(1e6 * static_cast<double>(end.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
    }
    std::sort(times.begin(), times.end());
    std::printf("%s %.0f\n", name, times[times.size() / 2]);
}

void ReadSection(const char* file, const char* section, int count) {
    char key[16], text[MAX_PATH];
    for (int number = 1; number <= count; ++number) {
        std::snprintf(key, sizeof key, "Value%d", number);
        if (GetPrivateProfileStringA(section, key, "", text, sizeof text, file) == 0) {
            Failed = true;
        }
    }
}

void WriteSection(const char* name, const char* file, const char* section, const char* keyPath,
                  int count) {
    // The entries are read beforehand: only the registry calls are in the round.
    std::vector<std::pair<std::string, DWORD>> entries;
    char key[16], text[MAX_PATH];
    for (int number = 1; number <= count; ++number) {
        std::snprintf(key, sizeof key, "Value%d", number);
        GetPrivateProfileStringA(section, key, "", text, sizeof text, file);
        const char* comma = std::strrchr(text, ',');
        if (comma == nullptr) {
            Failed = true;
            return;
        }
        entries.emplace_back(std::string(text, static_cast<size_t>(comma - text)),
                             static_cast<DWORD>(std::atol(comma + 1)));
    }
    Report(name, [&] {
        for (const auto& entry : entries) {
            HKEY handle = NULL;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_WRITE, &handle) !=
                    ERROR_SUCCESS ||
                RegSetValueExA(handle, entry.first.c_str(), 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&entry.second),
                               sizeof entry.second) != ERROR_SUCCESS) {
                Failed = true;
            }
            RegCloseKey(handle);
        }
    });
}

void ListDevices(bool walk) {
    HDEVINFO set = SetupDiGetClassDevsA(&ImageClass, NULL, NULL, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        Failed = true;
        return;
    }
    SP_DEVINFO_DATA device;
    for (DWORD index = 0; walk; ++index) {
        std::memset(&device, 0, sizeof device);
        device.cbSize = sizeof device;
        if (!SetupDiEnumDeviceInfo(set, index, &device)) {
            break;
        }
        DWORD required = 0;
        SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, NULL, NULL, 0, &required);
        std::vector<BYTE> ids(required + 2);
        if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, NULL, ids.data(),
                                               required, NULL)) {
            Failed = true;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "entries" && argc == 6) {
        const char* file = argv[2];
        const int count = std::atoi(argv[3]);
        Report("profile", [&] {
            ReadSection(file, "CLASSSETTINGS", count);
            ReadSection(file, "DEFAULTSETTINGS", count);
        });
        WriteSection("registry-class", file, "CLASSSETTINGS", argv[4], count);
        WriteSection("registry-default", file, "DEFAULTSETTINGS", argv[5], count);
    } else if (command == "devices" && argc == 2) {
        Report("device-set", [] { ListDevices(false); });
        Report("device-walk", [] { ListDevices(true); });
    } else {
        std::fprintf(stderr, "usage: pieces.exe entries SETTINGS_FILE COUNT CLASS_KEY DEFAULT_KEY"
                             " | devices\n");
        return 1;
    }
    return Failed ? 1 : 0;
}
