#include "fileops.h"

#include <string.h>
#include <windows.h>

// A folder of the target's path from the base on that is a reparse point, or
// whose attributes cannot be read: an error is no proof that no link is there.
static int HasLinkedFolder(const char *target, size_t base_length)
{
    char folder[PATH_BUFFER_SIZE];
    size_t length = strlen(target);
    if (length >= sizeof folder)
        return 1;
    memcpy(folder, target, length + 1);
    // Folder by folder upwards, by whole characters: a second byte may be 0x5C.
    while ((length = SeparatorEnd(folder, length)) > 0) {
        --length;
        // A base that ends with a backslash counts as the folder before it.
        if (length + 1 < base_length || (length == 2 && folder[1] == ':'))
            break;
        folder[length] = '\0';
        DWORD attributes = GetFileAttributesA(folder);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return 1;
    }
    return 0;
}

int IsTargetFreeOfLinks(const char *target, size_t base_length)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (HasLinkedFolder(target, base_length))
        return 0;
    // The link itself, not where it leads.
    HANDLE file = CreateFileA(target, FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    int free_of_links = GetFileInformationByHandle(file, &information) &&
                        !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                        information.nNumberOfLinks <= 1;
    CloseHandle(file);
    return free_of_links;
}
