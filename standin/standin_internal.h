// Shared between the stand-in's own files only.
#pragma once

#include <string>

namespace standin {

void ResetKernel();
void ResetProcesses();
void ResetRegistry();
void ResetDevices();

// Case-insensitive comparison in the ANSI code page's ASCII range, as Windows
// compares key, value, section and path names.
std::string UpperCased(const std::string& text);

} // namespace standin
