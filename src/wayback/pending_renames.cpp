#include "wayback.h"

#include <windows.h>

static const wchar_t PENDING_VALUE[] = L"PendingFileRenameOperations";

struct OwnRenames {
    const char *folder;
    const RunRecord *record;
};

static int IsOwnRename(const unsigned short *source, size_t length, int deletion, void *context)
{
    const OwnRenames *own = (const OwnRenames *)context;
    char path[PATH_BUFFER_SIZE];
    // 0 for a path too long for ours; a character of another code page turns
    // into '?', which no path of ours holds.
    int size = WideCharToMultiByte(CP_ACP, 0, (const wchar_t *)source, (int)length, path,
                                   PATH_BUFFER_SIZE - 1, NULL, NULL);
    path[size] = '\0';
    int whose = OwnPendingRename(path, deletion, own->folder, own->record);
    if (whose == PENDING_WAITING)
        DeleteFileA(path);
    return whose != PENDING_OTHERS;
}

void CancelOwnRenames(const char *folder, const RunRecord *record)
{
    // A longer value is left as it is.
    unsigned short value[32768];
    OwnRenames own = {folder, record};
    HKEY key;
    DWORD type = 0;
    DWORD size = sizeof value;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                      0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS)
        return;
    if (RegQueryValueExW(key, PENDING_VALUE, NULL, &type, (BYTE *)value, &size) ==
            ERROR_SUCCESS &&
        type == REG_MULTI_SZ && size % 2 == 0) {
        size_t kept = DropPendingRenames(value, size / 2, IsOwnRename, &own);
        if (kept != size / 2)
            RegSetValueExW(key, PENDING_VALUE, 0, REG_MULTI_SZ, (const BYTE *)value,
                           (DWORD)kept * 2);
    }
    RegCloseKey(key);
}
