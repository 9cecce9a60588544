// Kernel services of the stand-in: last error, version, the executable's path and
// the folders behind it, the system directory and the local heap.
#include "standin.h"
#include "standin_internal.h"

#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace {

DWORD lastError;
DWORD majorVersion;
DWORD minorVersion;
bool versionQueryFails;
std::string modulePath;
std::string systemDirectory;
std::vector<std::pair<std::string, std::string>> folders; // Windows folder, host folder
std::set<SIZE_T> failingSizes;
std::set<void*> liveBlocks;

} // namespace

namespace standin {

std::string UpperCased(const std::string& text) {
    std::string upper = text;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

void ResetKernel() {
    lastError = 0;
    majorVersion = 5;
    minorVersion = 1;
    versionQueryFails = false;
    modulePath = "C:\\Program Files\\Pravenit\\Pravenit.exe";
    systemDirectory = "C:\\WINDOWS\\system32";
    folders.clear();
    failingSizes.clear();
    for (void* block : liveBlocks) {
        std::free(block);
    }
    liveBlocks.clear();
}

void Reset() {
    ResetKernel();
    ResetProcesses();
    ResetProfile();
    ResetRegistry();
    ResetDevices();
    ResetWindows();
    ResetFiles();
}

void SetVersion(DWORD major, DWORD minor) {
    majorVersion = major;
    minorVersion = minor;
}

void FailVersionQuery(bool fail) {
    versionQueryFails = fail;
}

void SetModulePath(const std::string& windowsPath) {
    modulePath = windowsPath;
}

void MapFolder(const std::string& windowsFolder, const std::string& hostFolder) {
    folders.emplace_back(windowsFolder, hostFolder);
}

bool HostPathOf(const std::string& windowsPath, std::string* hostPath) {
    const std::string upperPath = UpperCased(windowsPath);
    for (const auto& folder : folders) {
        const std::string upperFolder = UpperCased(folder.first) + "\\";
        if (upperPath.compare(0, upperFolder.size(), upperFolder) != 0) {
            continue;
        }
        std::string rest = windowsPath.substr(upperFolder.size());
        // Nothing below a mapped folder may lead out of it.
        if (rest.empty() || rest.find('/') != std::string::npos ||
            rest.find("..") != std::string::npos) {
            return false;
        }
        for (char& c : rest) {
            if (c == '\\') {
                c = '/';
            }
        }
        *hostPath = folder.second + "/" + rest;
        return true;
    }
    return false;
}

void SetSystemDirectory(const std::string& windowsPath) {
    systemDirectory = windowsPath;
}

void FailAllocationsOf(SIZE_T bytes) {
    failingSizes.insert(bytes);
}

int LiveAllocations() {
    return static_cast<int>(liveBlocks.size());
}

} // namespace standin

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD error) {
    lastError = error;
}

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
    if (versionQueryFails) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = majorVersion;
    info->dwMinorVersion = minorVersion;
    info->dwBuildNumber = 2600;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    std::strcpy(info->szCSDVersion, "Service Pack 3");
    return TRUE;
}

// Windows XP's behaviour: a path that does not fit is cut to the buffer's size and
// left without a terminator, the buffer's size is returned and the last error is left
// as it was (later versions terminate the cut path and set ERROR_INSUFFICIENT_BUFFER).
DWORD GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size) {
    if (module != nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const DWORD length = static_cast<DWORD>(modulePath.size());
    if (length >= size) {
        std::memcpy(path, modulePath.data(), size);
        return size;
    }
    std::memcpy(path, modulePath.c_str(), length + 1);
    return length;
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    if (systemDirectory.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    const UINT length = static_cast<UINT>(systemDirectory.size());
    if (length >= size) {
        return length + 1;
    }
    std::memcpy(buffer, systemDirectory.c_str(), length + 1);
    return length;
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    if (failingSizes.count(bytes) != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (flags != LPTR) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
    liveBlocks.insert(block);
    return block;
}

HLOCAL LocalFree(HLOCAL memory) {
    if (memory == nullptr) {
        return nullptr;
    }
    if (liveBlocks.erase(memory) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    std::free(memory);
    return nullptr;
}
