// Window services of one thread: the module's string and icon resources, class
// registration, window creation that delivers WM_CREATE before it returns, the
// thread's message queue with its quit flag, and dispatching to window procedures.
#include "standin.h"
#include "standin_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>

namespace {

struct WindowEntry {
    standin::Window window;
    WNDPROC procedure;
};

std::map<UINT, std::string> strings;
std::map<UINT, bool> icons;
std::vector<standin::RegisteredClass> classes;
std::vector<WindowEntry> windows;
std::vector<std::string> calls;
std::deque<MSG> queue;
bool quitPending;
int quitCode;
bool creationFails;
int blockedWaits;
uintptr_t nextWindowHandle;

HINSTANCE const moduleInstance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
HCURSOR const arrowCursor = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x10011));

std::string Hex(UINT message) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", message);
    return text;
}

void Record(const std::string& call) {
    calls.push_back(call);
}

WindowEntry* FindWindowEntry(HWND handle) {
    for (WindowEntry& entry : windows) {
        if (entry.window.handle == handle) {
            return &entry;
        }
    }
    return nullptr;
}

const standin::RegisteredClass* FindClass(const std::string& name) {
    for (const standin::RegisteredClass& registered : classes) {
        if (standin::UpperCased(registered.name) == standin::UpperCased(name)) {
            return &registered;
        }
    }
    return nullptr;
}

// A resource name is either an integer id (MAKEINTRESOURCEA) or a text.
bool IsIntegerResource(LPCSTR name, UINT* id) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(name);
    if (value > 0xFFFF) {
        return false;
    }
    *id = static_cast<UINT>(value);
    return true;
}

LRESULT Deliver(WindowEntry* entry, UINT message, WPARAM wParam, LPARAM lParam) {
    Record("message " + Hex(message));
    return entry->procedure(entry->window.handle, message, wParam, lParam);
}

} // namespace

namespace standin {

void ResetWindows() {
    strings.clear();
    icons.clear();
    classes.clear();
    windows.clear();
    calls.clear();
    queue.clear();
    quitPending = false;
    quitCode = 0;
    creationFails = false;
    blockedWaits = 0;
    nextWindowHandle = 0x10000;
}

HINSTANCE ModuleInstance() {
    return moduleInstance;
}

void SetString(UINT id, const std::string& text) {
    strings[id] = text;
}

void AddIcon(UINT id) {
    icons[id] = true;
}

HICON IconHandle(UINT id) {
    return reinterpret_cast<HICON>(static_cast<uintptr_t>(0x20000 + id));
}

HCURSOR ArrowCursor() {
    return arrowCursor;
}

std::vector<RegisteredClass> RegisteredClasses() {
    return classes;
}

std::vector<Window> Windows() {
    std::vector<Window> all;
    for (const WindowEntry& entry : windows) {
        all.push_back(entry.window);
    }
    return all;
}

std::vector<std::string> WindowCalls() {
    return calls;
}

void FailWindowCreation(bool fail) {
    creationFails = fail;
}

void PostWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    queue.push_back(MSG{window, message, wParam, lParam, 0, POINT{0, 0}});
}

int BlockedMessageWaits() {
    return blockedWaits;
}

} // namespace standin

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
    Record("LoadString " + std::to_string(id));
    if (buffer == nullptr || size <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = '\0';
    const auto found = strings.find(id);
    if (instance != moduleInstance || found == strings.end()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    // Cut to the buffer, always terminated.
    const size_t length = std::min(found->second.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, found->second.data(), length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    UINT id = 0;
    if (instance != moduleInstance || !IsIntegerResource(name, &id) || icons.count(id) == 0) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return standin::IconHandle(id);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance == nullptr && name == IDC_ARROW) {
        return arrowCursor;
    }
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
        windowClass->lpszClassName == nullptr || FindClass(windowClass->lpszClassName) != nullptr) {
        Record("RegisterClassEx failed");
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Record(std::string("RegisterClassEx ") + windowClass->lpszClassName);
    classes.push_back(standin::RegisteredClass{*windowClass, windowClass->lpszClassName});
    return static_cast<ATOM>(0xC000 + classes.size());
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter) {
    const std::string name = className != nullptr ? className : "";
    Record("CreateWindowEx " + name);
    const standin::RegisteredClass* registered = FindClass(name);
    if (creationFails || registered == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    nextWindowHandle += 4;
    const bool visible = (style & WS_VISIBLE) != 0;
    windows.push_back(
        WindowEntry{standin::Window{reinterpret_cast<HWND>(nextWindowHandle), name,
                                    title != nullptr ? title : "", exStyle, style, x, y, width,
                                    height, parent, menu, instance, parameter, visible, visible},
                    registered->record.lpfnWndProc});
    const HWND handle = windows.back().window.handle;
    // Creation gives up when WM_CREATE answers -1. The CREATESTRUCTA of the real
    // call is not modelled: lParam is 0.
    if (Deliver(&windows.back(), WM_CREATE, 0, 0) == -1) {
        windows.pop_back();
        return nullptr;
    }
    return handle;
}

BOOL ShowWindow(HWND window, int command) {
    Record("ShowWindow " + std::to_string(command));
    WindowEntry* entry = FindWindowEntry(window);
    if (entry == nullptr) {
        return FALSE;
    }
    const bool wasVisible = entry->window.visible;
    entry->window.visible = command != SW_HIDE;
    entry->window.everVisible = entry->window.everVisible || entry->window.visible;
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
    Record("UpdateWindow");
    return FindWindowEntry(window) != nullptr ? TRUE : FALSE;
}

// Posted messages come first; the quit flag turns into WM_QUIT once the queue is empty.
BOOL GetMessageA(LPMSG message, HWND window, UINT first, UINT last) {
    if (message == nullptr || window != nullptr || first != 0 || last != 0) {
        Record("GetMessage unsupported filter");
        return -1;
    }
    if (!queue.empty()) {
        *message = queue.front();
        queue.pop_front();
    } else if (quitPending) {
        quitPending = false;
        *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0, 0, POINT{0, 0}};
    } else {
        // Windows would wait here for ever; report it instead of hanging the test.
        ++blockedWaits;
        Record("GetMessage blocked");
        return -1;
    }
    Record("GetMessage " + Hex(message->message));
    return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG* message) {
    Record("TranslateMessage " + Hex(message->message));
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* message) {
    Record("DispatchMessage " + Hex(message->message));
    WindowEntry* entry = FindWindowEntry(message->hwnd);
    if (entry == nullptr) {
        return 0;
    }
    return Deliver(entry, message->message, message->wParam, message->lParam);
}

LRESULT DefWindowProcA(HWND, UINT message, WPARAM, LPARAM) {
    Record("DefWindowProc " + Hex(message));
    return 0;
}

void PostQuitMessage(int code) {
    Record("PostQuitMessage " + std::to_string(code));
    quitPending = true;
    quitCode = code;
}
