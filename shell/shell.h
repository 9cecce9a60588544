// The process entry and its hidden host window. Creating the window runs the
// provisioning pass (during WM_CREATE), after which the message loop ends.
#pragma once

#include "winapi.h"

// Texts of string resources 103 and 109, at most 49 characters each.
#define MAX_LOADSTRING 50
extern char WindowTitle[MAX_LOADSTRING];
extern char WindowClassName[MAX_LOADSTRING];

void RegisterHostClass(HINSTANCE instance);
// 1 when the window exists (and the pass has run), else 0.
int CreateHostWindow(HINSTANCE instance);
LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Dispatches until the quit message arrives; returns its code.
int RunMessageLoop();
