#include "fileops.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

void CopyTextBounded(char *buffer, size_t size, const char *text)
{
    if (buffer == NULL || size == 0)
        return;
    size_t length = strlen(text);
    if (length > size - 1)
        length = size - 1;
    memcpy(buffer, text, length);
    buffer[length] = '\0';
}

void AppendTextBounded(char *buffer, size_t size, const char *text)
{
    if (buffer == NULL || size == 0)
        return;
    size_t used = strnlen(buffer, size);
    if (used >= size) {
        buffer[size - 1] = '\0';
        return;
    }
    CopyTextBounded(buffer + used, size - used, text);
}

void FormatTextBounded(char *buffer, size_t size, const char *format, ...)
{
    if (buffer == NULL || size == 0)
        return;
    va_list arguments;
    va_start(arguments, format);
#ifdef _WIN32
    // The C runtime's own formatter keeps the installer free of a second
    // printf implementation; it does not terminate a cut text, so we do.
    _vsnprintf(buffer, size, format, arguments);
#else
    vsnprintf(buffer, size, format, arguments);
#endif
    va_end(arguments);
    buffer[size - 1] = '\0';
}
