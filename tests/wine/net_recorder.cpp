// Takes the place of the system's net command in the bench: appends how it was
// started to C:\net-recorder.log and starts or stops nothing. One line when it begins
// and one when it ends, tab-separated:
//   begin|end, own path, command line, STARTUPINFO dwFlags, wShowWindow, program window
// where the program window is "absent", "hidden" or "visible". A stop takes a while,
// like the real one, so that a start issued too early shows up before the stop's end.
#include "recorder_log.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char* const LogPath = "C:\\net-recorder.log";
const DWORD StopDuration = 300;

const char* ProgramWindow() {
    HWND window = FindWindowA("PRAVENIT", "Pravenit");
    if (window == NULL) {
        return "absent";
    }
    return IsWindowVisible(window) ? "visible" : "hidden";
}

void Record(const char* event) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, MAX_PATH);
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);

    char line[4096];
    int length = std::snprintf(line, sizeof line, "%s\t%s\t%s\t%lu\t%u\t%s\r\n", event, path,
                               GetCommandLineA(), static_cast<unsigned long>(startup.dwFlags),
                               static_cast<unsigned>(startup.wShowWindow), ProgramWindow());
    if (length <= 0) {
        return;
    }
    if (static_cast<size_t>(length) >= sizeof line) {
        length = sizeof line - 1;
    }
    AppendLogLine(LogPath, line, static_cast<DWORD>(length));
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Record("begin");
    if (std::strstr(GetCommandLineA(), " stop") != NULL) {
        Sleep(StopDuration);
    }
    Record("end");
    return 0;
}
