#include "wayback.h"

#include <windows.h>

static const wchar_t PENDING_VALUE[] = L"PendingFileRenameOperations";

struct OwnRenames {
    const char *folder;
    const RunRecord *record;
    PendingLeft left;
    void *context;
    int cancelled;
};

static int IsOwnRename(const unsigned short *source, size_t length, int how, void *context)
{
    OwnRenames *own = (OwnRenames *)context;
    char path[PATH_BUFFER_SIZE];
    // 0 for a path too long for ours; a character of another code page turns
    // into '?', which no path of ours holds.
    int size = WideCharToMultiByte(CP_ACP, 0, (const wchar_t *)source, (int)length, path,
                                   PATH_BUFFER_SIZE - 1, NULL, NULL);
    path[size] = '\0';
    int whose = OwnPendingRename(path, how & PENDING_DELETION, own->folder, own->record);
    if (whose == PENDING_WAITING)
        DeleteFileA(path);
    if (whose != PENDING_OTHERS && (how & PENDING_STAYS)) {
        own->cancelled = 0;
        if (own->left != NULL)
            own->left(path, own->context);
    }
    return whose != PENDING_OTHERS;
}

int CancelOwnRenames(const char *folder, const RunRecord *record, PendingLeft left, void *context)
{
    OwnRenames own = {folder, record, left, context, 1};
    unsigned short *value = NULL;
    HKEY key;
    DWORD type = 0;
    DWORD size = 0;
    LONG read = ERROR_MORE_DATA;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                      0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS)
        return 1;
    // Whole, however long; other programs may add to it between the reads.
    for (int tries = 0; read == ERROR_MORE_DATA && tries < 4; ++tries) {
        GlobalFree(value);
        value = (unsigned short *)GlobalAlloc(GMEM_FIXED, size + 2);
        read = value != NULL ? RegQueryValueExW(key, PENDING_VALUE, NULL, &type, (BYTE *)value,
                                                &size)
                             : ERROR_OUTOFMEMORY;
    }
    // A value that cannot be read may hold them.
    own.cancelled = read == ERROR_SUCCESS || read == ERROR_FILE_NOT_FOUND;
    if (read == ERROR_SUCCESS && type == REG_MULTI_SZ) {
        // An odd last byte makes a unit that is not whole pairs.
        ((BYTE *)value)[size] = 1;
        size_t count = (size + 1) / 2;
        size_t kept = DropPendingRenames(value, count, IsOwnRename, &own);
        if (kept != 0 && kept != count &&
            RegSetValueExW(key, PENDING_VALUE, 0, REG_MULTI_SZ, (const BYTE *)value,
                           (DWORD)kept * 2) != ERROR_SUCCESS)
            own.cancelled = 0;
    }
    GlobalFree(value);
    RegCloseKey(key);
    return own.cancelled;
}
