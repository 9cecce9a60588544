// Process creation of the stand-in: records what would have been started and in
// which order the program created, waited on and closed the processes.
#include "standin.h"
#include "standin_internal.h"

#include <map>
#include <set>

namespace {

struct Handle {
    std::string commandLine;
    bool isProcess;
};

std::vector<standin::StartedProcess> started;
std::vector<std::string> calls;
std::set<std::string> failingStarts;
std::set<std::string> neverFinishing;
std::map<HANDLE, Handle> handles;
uintptr_t nextHandle;

HANDLE NewHandle(const std::string& commandLine, bool isProcess) {
    nextHandle += 4;
    HANDLE handle = reinterpret_cast<HANDLE>(nextHandle);
    handles[handle] = Handle{commandLine, isProcess};
    return handle;
}

} // namespace

namespace standin {

void ResetProcesses() {
    started.clear();
    calls.clear();
    failingStarts.clear();
    neverFinishing.clear();
    handles.clear();
    nextHandle = 0x1000;
}

std::vector<StartedProcess> Processes() {
    return started;
}

std::vector<std::string> ProcessCalls() {
    return calls;
}

void FailProcessStart(const std::string& commandLine) {
    failingStarts.insert(commandLine);
}

void NeverFinish(const std::string& commandLine) {
    neverFinishing.insert(commandLine);
}

int OpenProcessHandles() {
    return static_cast<int>(handles.size());
}

} // namespace standin

BOOL CreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                    DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                    LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation) {
    const std::string line = commandLine != nullptr ? commandLine : "";
    if (failingStarts.count(line) != 0) {
        calls.push_back("create-failed " + line);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    standin::StartedProcess process{};
    process.hasApplication = application != nullptr;
    process.application = application != nullptr ? application : "";
    process.commandLine = line;
    process.startup = *startupInfo;
    process.hasProcessAttributes = processAttributes != nullptr;
    process.hasThreadAttributes = threadAttributes != nullptr;
    process.inheritHandles = inheritHandles;
    process.creationFlags = creationFlags;
    process.hasEnvironment = environment != nullptr;
    process.hasCurrentDirectory = currentDirectory != nullptr;
    started.push_back(process);
    calls.push_back("create " + line);
    processInformation->hProcess = NewHandle(line, true);
    processInformation->hThread = NewHandle(line, false);
    processInformation->dwProcessId = static_cast<DWORD>(started.size() * 4 + 100);
    processInformation->dwThreadId = processInformation->dwProcessId + 2;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto it = handles.find(handle);
    if (it == handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    calls.push_back("wait " + it->second.commandLine + " " + std::to_string(milliseconds));
    return neverFinishing.count(it->second.commandLine) != 0 ? WAIT_TIMEOUT : WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE handle) {
    if (standin::CloseFileHandle(handle)) {
        return TRUE;
    }
    auto it = handles.find(handle);
    if (it == handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    calls.push_back("close " + it->second.commandLine +
                    (it->second.isProcess ? " process" : " thread"));
    handles.erase(it);
    return TRUE;
}
