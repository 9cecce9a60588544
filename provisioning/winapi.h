// The one header through which the program reaches the Windows API.
// On Windows it is the platform's own; elsewhere it is the host stand-in's
// declarations of the same names, so the program's code reads the same either way.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <setupapi.h>
#else
#include "standin_winapi.h"
#endif
