#include "components.h"

#include "fileops.h"

#include <windows.h>

void *LoadLibraryFromSystemDirectory(const char *file_name)
{
    char path[PATH_BUFFER_SIZE];
    UINT length = GetSystemDirectoryA(path, PATH_BUFFER_SIZE);
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        return NULL;
    // A cut path would name some other file.
    if (!AppendWholePathComponent(path, file_name))
        return NULL;
    return LoadLibraryA(path);
}
