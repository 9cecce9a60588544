// Files under mapped folders: GetFullPathNameA, GetFileAttributesA and a CreateFileA that
// opens existing files for reading only, with opens that can be made to fail.
#include "standin.h"
#include "standin_internal.h"

#include <cstring>
#include <map>
#include <set>
#include <sys/stat.h>

namespace {

std::string currentFolder;
std::map<std::string, DWORD> openFailures; // by upper-cased Windows path
std::set<HANDLE> openFiles;
uintptr_t nextFileHandle;

bool IsFullPath(const std::string& path) {
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

// Host file status of a Windows path under a mapped folder; false if unmapped or absent.
bool HostStatus(LPCSTR path, struct stat* status) {
    std::string hostPath;
    return path != nullptr && standin::HostPathOf(path, &hostPath) &&
           stat(hostPath.c_str(), status) == 0;
}

} // namespace

namespace standin {

void ResetFiles() {
    currentFolder = "C:\\Documents and Settings\\Administrator";
    openFailures.clear();
    openFiles.clear();
    nextFileHandle = 0x3000;
}

void SetCurrentFolder(const std::string& windowsFolder) {
    currentFolder = windowsFolder;
}

void FailFileOpen(const std::string& windowsPath, DWORD error) {
    openFailures[UpperCased(windowsPath)] = error;
}

int OpenFileHandles() {
    return static_cast<int>(openFiles.size());
}

bool CloseFileHandle(HANDLE handle) {
    return openFiles.erase(handle) != 0;
}

} // namespace standin

// Full paths are returned as given; others are taken relative to the current folder.
// Like the platform, a buffer too small gets nothing and the size it needs.
DWORD GetFullPathNameA(LPCSTR path, DWORD size, LPSTR buffer, LPSTR* filePart) {
    if (path == nullptr || *path == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string full = IsFullPath(path) ? path : currentFolder + "\\" + path;
    if (full.size() >= size) {
        return static_cast<DWORD>(full.size() + 1);
    }
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    if (filePart != nullptr) {
        char* lastSlash = std::strrchr(buffer, '\\');
        *filePart = lastSlash != nullptr && lastSlash[1] != '\0' ? lastSlash + 1 : nullptr;
    }
    return static_cast<DWORD>(full.size());
}

DWORD GetFileAttributesA(LPCSTR path) {
    struct stat status;
    if (!HostStatus(path, &status)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES attributes,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
    (void)share;
    (void)attributes;
    (void)flags;
    (void)templateFile;
    // Only what reading an existing file needs; anything that could write is refused.
    if (access != GENERIC_READ || disposition != OPEN_EXISTING) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    auto failure =
        path != nullptr ? openFailures.find(standin::UpperCased(path)) : openFailures.end();
    if (failure != openFailures.end()) {
        SetLastError(failure->second);
        return INVALID_HANDLE_VALUE;
    }
    struct stat status;
    if (!HostStatus(path, &status)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (S_ISDIR(status.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    nextFileHandle += 4;
    HANDLE handle = reinterpret_cast<HANDLE>(nextFileHandle);
    openFiles.insert(handle);
    return handle;
}
