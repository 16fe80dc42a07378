#include "components.h"

#include "fileops.h"

#include <windows.h>

void *LoadLibraryFromSystemDirectory(const char *file_name)
{
    char path[PATH_BUFFER_SIZE];
    // A cut path would name some other file.
    if (!ReadSystemDirectory(path, PATH_BUFFER_SIZE) || !AppendWholePathComponent(path, file_name))
        return NULL;
    // The library's own imports are then looked for beside it, in the system
    // directory, before the program's directory.
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}
