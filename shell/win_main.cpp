// The process entry: loads the window texts, creates the hidden host window and runs the
// message loop; the exit code is the quit message's, always 0.
#include "resource.h"
#include "shell.h"

// The command line and the show command are not used: the window is always hidden.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    LoadStringA(instance, IDS_APP_TITLE, WindowTitle, MAX_LOADSTRING);
    LoadStringA(instance, IDC_PRAVENIT, WindowClassName, MAX_LOADSTRING);
    RegisterHostClass(instance);
    if (CreateHostWindow(instance) != 1) {
        return 0;
    }
    return RunMessageLoop();
}
