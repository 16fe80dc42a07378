#include "wayback.h"

#include <windows.h>

int CaptureProgramImage(void)
{
    return 1;
}

int WriteProgramCopy(const char *path)
{
    wchar_t self[PATH_BUFFER_SIZE];
    char self_text[PATH_BUFFER_SIZE];
    DWORD size = GetModuleFileNameW(NULL, self, PATH_BUFFER_SIZE);
    // Run from the copy itself, the copy fails and the copy stays.
    return size > 0 && size < PATH_BUFFER_SIZE && WidePathToAnsi(self, self_text) &&
           CopyFileA(self_text, path, FALSE);
}
