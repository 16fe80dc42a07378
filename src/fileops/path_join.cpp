#include "fileops.h"

#include <string.h>

void AppendPathComponent(char *path, const char *element)
{
    size_t length = strlen(path);
    if (length >= PATH_CHARS_MAX)
        return;
    // Onto an empty path the element becomes the path: a leading backslash
    // would turn a relative name into one rooted at the current drive.
    if (length > 0 && path[length - 1] != '\\')
        path[length++] = '\\';
    size_t room = PATH_CHARS_MAX - length;
    size_t element_length = strlen(element);
    if (element_length > room)
        element_length = room;
    memcpy(path + length, element, element_length);
    path[length + element_length] = '\0';
}

int AppendWholePathComponent(char *path, const char *element)
{
    size_t before = strlen(path);
    size_t expected = before + strlen(element);
    if (before > 0 && path[before - 1] != '\\')
        ++expected;
    AppendPathComponent(path, element);
    return strlen(path) == expected;
}

int IsDotEntry(const char *name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}
