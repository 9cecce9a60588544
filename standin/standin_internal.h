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

} // namespace standin
