#include "components.h"
#include "fileops.h"

#include <string.h>

// The registry's string types; the only ones that can name a directory.
static const unsigned long VALUE_TYPE_STRING = 1;
static const unsigned long VALUE_TYPE_EXPAND_STRING = 2;

int RegistryStringLength(const char *value, unsigned long stored_size, unsigned long capacity,
                         unsigned long type)
{
    if (type != VALUE_TYPE_STRING && type != VALUE_TYPE_EXPAND_STRING)
        return -1;
    // A value that fills the buffer leaves no room for the separator that the
    // first join adds, and may have been cut by the read.
    if (stored_size == 0 || stored_size >= capacity)
        return -1;
    size_t length = strnlen(value, stored_size);
    if (length >= stored_size)
        return -1;
    return (int)length;
}

unsigned long ParentDirectoryLength(const char *path, unsigned long length)
{
    return (unsigned long)SeparatorEnd(path, length);
}
