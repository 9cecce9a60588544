// How the recorders that run inside the bench append to their logs. Several of them
// may write at once: the file is shared and each line goes out in one write.
#pragma once

#include <windows.h>

inline void AppendLogLine(const char* path, const char* line, DWORD length) {
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(log, line, length, &written, NULL);
    CloseHandle(log);
}
