#include "fileops.h"

#include <string.h>

size_t SeparatorEnd(const char *path, size_t length)
{
    size_t end = 0;
    for (size_t at = 0; at < length; at += CharacterSize(path, at, length)) {
        if (path[at] == '\\')
            end = at + 1;
    }
    return end;
}

// A non-empty path needs a backslash before the next element unless its last
// character is one; a last byte 0x5C may be the second half of a character.
static int NeedsSeparator(const char *path, size_t length)
{
    return length > 0 && SeparatorEnd(path, length) != length;
}

void AppendPathComponent(char *path, const char *element)
{
    size_t length = strlen(path);
    if (length >= PATH_CHARS_MAX)
        return;
    // Onto an empty path the element becomes the path: a leading backslash
    // would turn a relative name into one rooted at the current drive.
    if (NeedsSeparator(path, length))
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
    if (NeedsSeparator(path, before))
        ++expected;
    AppendPathComponent(path, element);
    return strlen(path) == expected;
}

int IsDotEntry(const char *name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}
