#include "fileops.h"

#include <windows.h>

enum { COPY_BLOCK_SIZE = 16384 };

// The size is read through the handle that the copy reads, which shares no
// write: the file cannot change between the check and the copy. One byte
// more than is left is asked for, so that a longer file shows without ever
// being written past its size.
int CopyFileBounded(const char *source, const char *target, unsigned long long size)
{
    char block[COPY_BLOCK_SIZE];
    BY_HANDLE_FILE_INFORMATION information;
    HANDLE to = INVALID_HANDLE_VALUE;
    unsigned long long left = size;
    DWORD read, written;
    int result = -1;
    HANDLE from = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (from == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : -1;
    }
    if (!GetFileInformationByHandle(from, &information))
        goto done;
    result = 0;
    if ((((unsigned long long)information.nFileSizeHigh << 32) | information.nFileSizeLow) != size)
        goto done;
    result = -1;
    // As CopyFile would: the components compare a target's time with the copy's.
    to = CreateFileA(target, GENERIC_WRITE, 0, NULL, CREATE_NEW,
                     information.dwFileAttributes & (FILE_ATTRIBUTE_READONLY |
                                                     FILE_ATTRIBUTE_HIDDEN |
                                                     FILE_ATTRIBUTE_SYSTEM),
                     NULL);
    if (to == INVALID_HANDLE_VALUE)
        goto done;
    do {
        DWORD wanted = left < COPY_BLOCK_SIZE ? (DWORD)left + 1 : (DWORD)COPY_BLOCK_SIZE;
        if (!ReadFile(from, block, wanted, &read, NULL))
            goto done;
        if (read > left) {
            result = 0;
            goto done;
        }
        if (read > 0 && (!WriteFile(to, block, read, &written, NULL) || written != read))
            goto done;
        left -= read;
    } while (read > 0);
    result = left == 0 && SetFileTime(to, NULL, NULL, &information.ftLastWriteTime) ? 1 : 0;

done:
    CloseHandle(from);
    if (to != INVALID_HANDLE_VALUE) {
        CloseHandle(to);
        if (result != 1) {
            SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileA(target))
                result = -1;
        }
    }
    return result;
}
