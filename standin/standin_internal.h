// Shared between the stand-in's own files only.
#pragma once

#include <string>

namespace standin {

void ResetKernel();
void ResetProcesses();
void ResetProfile();
void ResetRegistry();
void ResetDevices();
void ResetWindows();
void ResetFiles();
// CloseHandle of a file handle from CreateFileA; false when it is not one.
bool CloseFileHandle(HANDLE handle);

} // namespace standin
