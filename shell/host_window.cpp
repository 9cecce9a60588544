// The hidden host window: its class, its creation (which runs the provisioning pass) and
// the message loop.
#include "provisioning.h"
#include "resource.h"
#include "shell.h"

char WindowTitle[MAX_LOADSTRING];
char WindowClassName[MAX_LOADSTRING];

void RegisterHostClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass;
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PRAVENIT));
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = WindowClassName;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PRAVENIT));
    // A failed registration shows as a failed window creation.
    RegisterClassExA(&windowClass);
}

int CreateHostWindow(HINSTANCE instance) {
    // Not WS_VISIBLE: the window is never shown. WM_CREATE runs the whole pass
    // before this call returns.
    HWND window = CreateWindowExA(0, WindowClassName, WindowTitle, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, NULL, NULL, instance, NULL);
    if (window == NULL) {
        return 0;
    }
    // Kept although the window was never shown: a process's first ShowWindow is the call
    // Windows may apply the starter's show command to, and spending it on SW_HIDE keeps
    // the window hidden however the program was started (the tests start it maximized).
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    return 1;
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        RunProvisioning();
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int RunMessageLoop() {
    MSG message = {};
    BOOL got;
    while ((got = GetMessageA(&message, NULL, 0, 0)) != 0) {
        // -1 only comes with a bad argument; looping on it would never end.
        if (got == -1) {
            return 0;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
