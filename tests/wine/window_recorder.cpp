// Loaded into the program by a global WH_CALLWNDPROC hook while a case runs it: appends
// to C:\window-recorder.log what happens to windows of the class PRAVENIT, one line each:
//   create <TAB> title <TAB> hidden|visible    when WM_CREATE arrives
//   show                                       whenever the window is about to be shown
#include "recorder_log.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

void Record(const char* line) {
    AppendLogLine("C:\\window-recorder.log", line, static_cast<DWORD>(std::strlen(line)));
}

bool IsProgramWindow(HWND window) {
    char name[16] = "";
    return GetClassNameA(window, name, sizeof name) > 0 && std::strcmp(name, "PRAVENIT") == 0;
}

bool BecomesVisible(const CWPSTRUCT& message) {
    switch (message.message) {
    case WM_SHOWWINDOW:
        return message.wParam != 0;
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
        return (reinterpret_cast<const WINDOWPOS*>(message.lParam)->flags & SWP_SHOWWINDOW) != 0;
    default:
        return false;
    }
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    RecordWindowMessage(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && IsProgramWindow(message->hwnd)) {
        if (message->message == WM_CREATE) {
            char title[64] = "";
            GetWindowTextA(message->hwnd, title, sizeof title);
            char line[128];
            std::snprintf(line, sizeof line, "create\t%s\t%s\r\n", title,
                          IsWindowVisible(message->hwnd) ? "visible" : "hidden");
            Record(line);
        } else if (BecomesVisible(*message)) {
            Record("show\r\n");
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}
