// Bounded formatting of paths and command lines into the program's fixed buffers.
#pragma once

#include "winapi.h"

#if defined(__GNUC__)
#define PRINTF_FORMAT(formatIndex, firstArgument)                                                  \
    __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define PRINTF_FORMAT(formatIndex, firstArgument)
#endif

// Formats into a buffer of MAX_PATH bytes. 1 when the whole text and its terminator fit;
// otherwise 0 with the buffer emptied, since a cut path would name another file or key.
int FormatPath(char* buffer, const char* format, ...) PRINTF_FORMAT(2, 3);
