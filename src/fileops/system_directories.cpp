#include "fileops.h"

#include <windows.h>

// Too small a buffer makes the platform return the size it needs, not a path.
static int Fits(UINT length, unsigned int size)
{
    return length != 0 && length < size;
}

int ReadSystemDirectory(char *buffer, unsigned int size)
{
    return Fits(GetSystemDirectoryA(buffer, size), size);
}

int ReadWindowsDirectory(char *buffer, unsigned int size)
{
    return Fits(GetWindowsDirectoryA(buffer, size), size);
}
