#include "wayback.h"

#include <windows.h>

int IsFileInUse(const char *path)
{
    // Opened as the file's digest is read.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(file);
    return 0;
}
