#include "components.h"

#include "fileops.h"

#include <windows.h>

void *LoadLibraryFromSystemDirectory(const char *file_name)
{
    char path[PATH_BUFFER_SIZE];
    // A cut path would name some other file.
    if (!ReadSystemDirectory(path, PATH_BUFFER_SIZE) || !AppendWholePathComponent(path, file_name))
        return NULL;
    return LoadLibraryA(path);
}
