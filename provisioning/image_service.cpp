// The image service restart: the hidden net commands that stop and start stisvc.
#include "bounded_format.h"
#include "provisioning.h"

#include <cstdio>
#include <cstring>

// How long the stop command may take before the start command is issued anyway.
static const DWORD StopCommandTimeout = 60000;

static char SystemDirectory[MAX_PATH];
static char NetCommandPath[MAX_PATH];
static char CommandLine[MAX_PATH];
static STARTUPINFOA StartupRecord;
static PROCESS_INFORMATION NetProcess;

// The net command is named by its full path: with no application name, process
// creation would look in the program's own and the current directory first.
static int FormNetCommandPath() {
    UINT length = GetSystemDirectoryA(SystemDirectory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 0;
    }
    return FormatPath(NetCommandPath, "%s\\net.exe", SystemDirectory);
}

static void FillStartupRecord() {
    memset(&StartupRecord, 0, sizeof StartupRecord);
    StartupRecord.cb = sizeof StartupRecord;
    StartupRecord.dwFlags = STARTF_USESHOWWINDOW;
    StartupRecord.wShowWindow = SW_HIDE;
}

static int StartNetCommand(const char* commandLine) {
    memset(&NetProcess, 0, sizeof NetProcess);
    // A writable copy, not the literal: CreateProcessA may write into the command line.
    snprintf(CommandLine, MAX_PATH, "%s", commandLine);
    return CreateProcessA(NetCommandPath, CommandLine, NULL, NULL, FALSE, 0, NULL, NULL,
                          &StartupRecord, &NetProcess)
               ? 1
               : 0;
}

static void CloseNetProcess() {
    CloseHandle(NetProcess.hThread);
    CloseHandle(NetProcess.hProcess);
}

int RestartImageService() {
    if (FormNetCommandPath() != 1) {
        return 0;
    }
    FillStartupRecord();
    int stopped = StartNetCommand("net stop stisvc");
    if (stopped == 1) {
        // net start fails while the service is still stopping: let the stop finish first.
        WaitForSingleObject(NetProcess.hProcess, StopCommandTimeout);
        CloseNetProcess();
    }
    int started = StartNetCommand("net start stisvc");
    if (started == 1) {
        CloseNetProcess();
    }
    return stopped == 1 && started == 1 ? 1 : 0;
}
