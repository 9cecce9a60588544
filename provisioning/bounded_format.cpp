// FormatPath: formatting into a MAX_PATH buffer that fails rather than cuts.
#include "bounded_format.h"

#include <cstdarg>
#include <cstdio>

int FormatPath(char* buffer, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int written = vsnprintf(buffer, MAX_PATH, format, arguments);
    va_end(arguments);
    if (written < 0 || written >= MAX_PATH) {
        buffer[0] = '\0';
        return 0;
    }
    return 1;
}
