// Control side of the host stand-in: what the tests use to set up the machine the
// program runs on (version, files, registry, devices, processes), to inject the
// platform's failures, and to read back what the program did.
#pragma once

#include "standin_winapi.h"

#include <string>
#include <vector>

namespace standin {

// Puts every part of the stand-in back to a fresh machine: Windows 5.1, the
// program at C:\Program Files\Pravenit\Pravenit.exe with no folder mapped, an
// empty registry, no devices, no processes, no windows, no injected failures, and
// every kind of handle numbered from its start again.
void Reset();

// Windows' folding of key, value, section and path names: a to z become A to Z.
std::string UpperCased(const std::string& text);

// ---- Kernel -------------------------------------------------------------
void SetVersion(DWORD major, DWORD minor);
void FailVersionQuery(bool fail);

// The executable's own Windows path, as GetModuleFileNameA reports it.
void SetModulePath(const std::string& windowsPath);
// Makes the Windows folder (for example "C:\Program Files\Cam") a real host folder.
void MapFolder(const std::string& windowsFolder, const std::string& hostFolder);
// Host path of a Windows file path under a mapped folder (case-insensitive); false if unmapped.
bool HostPathOf(const std::string& windowsPath, std::string* hostPath);

// The system directory GetSystemDirectoryA reports; an empty text makes it fail.
void SetSystemDirectory(const std::string& windowsPath);

// ---- Files (mapped folders only) ----------------------------------------
// The folder GetFullPathNameA puts before a relative path.
void SetCurrentFolder(const std::string& windowsFolder);
// CreateFileA of this Windows path fails with the given error, as for a file that another
// process holds without sharing.
void FailFileOpen(const std::string& windowsPath, DWORD error);
int OpenFileHandles();

// Local heap: every LocalAlloc of exactly this many bytes fails, as when the heap has no
// free block that large. A failing block is named by its size, not by how many
// allocations come before it.
void FailAllocationsOf(SIZE_T bytes);
int LiveAllocations();

// ---- Settings files ---------------------------------------------------
// A private-profile read that fails finds the file unopenable, as when another process
// holds it locked, and gives the caller's default. Reads are named by section and key,
// which compare as the reader compares them (blanks around them dropped, any case).
// Every read of this key of this section fails; other reads go on.
void FailProfileRead(const std::string& section, const std::string& key);
// The first read of this key of this section fails, and so does every read after it,
// of any file: the file was locked part-way through the run.
void FailProfileReadsFrom(const std::string& section, const std::string& key);
// Every read from now on fails (false: files open again).
void FailProfileFile(bool fail);

// ---- Processes ----------------------------------------------------------
struct StartedProcess {
    bool hasApplication;
    std::string application;
    std::string commandLine;
    STARTUPINFOA startup;
    bool hasProcessAttributes;
    bool hasThreadAttributes;
    BOOL inheritHandles;
    DWORD creationFlags;
    bool hasEnvironment;
    bool hasCurrentDirectory;
};
std::vector<StartedProcess> Processes();
// Every process call in order: "create <command line>", "create-failed <command line>",
// "wait <command line> <timeout>", "close <command line> process|thread".
std::vector<std::string> ProcessCalls();
// CreateProcessA fails (ERROR_FILE_NOT_FOUND) for this command line.
void FailProcessStart(const std::string& commandLine);
// The process of this command line never ends: every wait on it times out.
void NeverFinish(const std::string& commandLine);
int OpenProcessHandles();

// ---- Registry (HKEY_LOCAL_MACHINE only) ---------------------------------
struct RegistryValue {
    std::string key;  // path below HKEY_LOCAL_MACHINE, as first created
    std::string name; // "" is the key's unnamed value
    DWORD type;
    std::vector<BYTE> data;
};
void SetValue(const std::string& key, const std::string& name, DWORD type,
              const std::vector<BYTE>& data);
void SetDword(const std::string& key, const std::string& name, DWORD value);
void SetText(const std::string& key, const std::string& name, const std::string& text);
void CreateKey(const std::string& key);
bool KeyExists(const std::string& key);
// Every value of the whole tree, ordered by key path and then value name.
std::vector<RegistryValue> DumpRegistry();
// Every key of the whole tree, values or not, each parent before its children.
std::vector<std::string> KeyPaths();
// Opening (and creating) exactly this key fails with the given codes (ERROR_SUCCESS: no failure).
void DenyKey(const std::string& key, LSTATUS openError, LSTATUS createError);
// Setting a value of this name, in any key, fails with the given code and changes nothing.
void FailValueSet(const std::string& name, LSTATUS error);
struct RegistryCounts {
    int opens;   // successful RegOpenKeyExA
    int creates; // successful RegCreateKeyExA
    int closes;  // successful RegCloseKey
    int sets;    // RegSetValueExA calls
};
RegistryCounts RegistryCalls();
int OpenKeys();
// The access asked for by every successful RegOpenKeyExA, in order.
std::vector<REGSAM> OpenAccesses();

// ---- Devices of the imaging class --------------------------------------
struct Device {
    bool present = true;
    bool hasHardwareIds = true;
    std::string hardwareIds; // raw bytes of the property (see MultiString)
    bool hasDriver = true;
    std::string driver; // raw bytes of the property, terminator included
    // The list "grows" this many times: a read with a buffer of the size reported
    // before is answered with ERROR_INSUFFICIENT_BUFFER and a larger size.
    int hardwareIdGrowth = 0;
    // Reads with a buffer are answered with ERROR_INSUFFICIENT_BUFFER and the size given.
    bool hardwareIdSizeStuck = false;
};
// Adds a device after those already added; returns its index, 0 for the first.
size_t AddDevice(const Device& device);
// Which reads of a device property an injected failure hits.
enum class FailingReads {
    Every,      // the size probe too
    IntoBuffer, // reads that pass a buffer: a probe without one still answers the size
    AfterGiven, // reads after one that copied the property out whole
};
// Reads of the property (SPDRP_HARDWAREID, SPDRP_DRIVER) of the device of this index fail
// with the error; the device may be added before or after.
void FailDeviceProperty(size_t device, DWORD property, DWORD error,
                        FailingReads reads = FailingReads::Every);
// The multi-string of these IDs, each terminated, plus the list's final terminator.
std::string MultiString(const std::vector<std::string>& ids);
// A driver key name as the platform returns it, with its terminator.
std::string DriverName(const std::string& name);
void FailDeviceSetOpen(bool fail);
int OpenDeviceSets();
int DeviceSetsOpened();

// ---- Windows and messages ----------------------------------------------
// The module the program runs as: its instance handle, string and icon resources.
HINSTANCE ModuleInstance();
void SetString(UINT id, const std::string& text);
void AddIcon(UINT id);
// What LoadIconA gives for the module's icon id, and LoadCursorA for the system arrow.
HICON IconHandle(UINT id);
HCURSOR ArrowCursor();

struct RegisteredClass {
    WNDCLASSEXA record; // as given; the name pointers are not kept valid
    std::string name;
};
std::vector<RegisteredClass> RegisteredClasses();

struct Window {
    HWND handle;
    std::string className;
    std::string title;
    DWORD exStyle;
    DWORD style;
    int x, y, width, height;
    HWND parent;
    HMENU menu;
    HINSTANCE instance;
    LPVOID parameter;
    bool visible;
    bool everVisible;
};
std::vector<Window> Windows();
// Every window and message call in order, for example "LoadString 103", "RegisterClassEx
// PRAVENIT", "CreateWindowEx PRAVENIT", "message 0x0001" (a message delivered to a window
// procedure), "PostQuitMessage 0", "ShowWindow 0", "UpdateWindow", "GetMessage 0x0012",
// "TranslateMessage 0x0010", "DispatchMessage 0x0010", "DefWindowProc 0x0400".
std::vector<std::string> WindowCalls();
// CreateWindowExA fails before any message is delivered.
void FailWindowCreation(bool fail);
// Queues a message as PostMessageA would.
void PostWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// GetMessageA calls that found nothing to return: on Windows they would wait for ever.
int BlockedMessageWaits();

} // namespace standin
