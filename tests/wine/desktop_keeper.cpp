// Keeps the bench's desktop open for the whole test run. Wine starts the desktop
// process when a program first needs a window and ends it once no window is left, so
// without this every test program would start it anew, with the test's output pipes.
//   desktop_keeper.exe READY_FILE    creates READY_FILE once the desktop is up
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    // A hidden window: creating it waits for the desktop.
    if (CreateWindowExA(0, "STATIC", "desktop keeper", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL,
                        NULL) == NULL) {
        return 1;
    }
    HANDLE ready = CreateFileA(commandLine, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (ready == INVALID_HANDLE_VALUE) {
        return 1;
    }
    CloseHandle(ready);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}
