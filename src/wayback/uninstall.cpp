#include "wayback.h"

#include <string.h>
#include <windows.h>

// Where the file is now; a folder that others may change, or a link, leave
// its content unknown.
static int ReadNow(const char *path, unsigned char digest[SHA256_SIZE])
{
    char folder[PATH_BUFFER_SIZE];
    size_t end = SeparatorEnd(path, strlen(path));
    CopyTextBounded(folder, end, path);
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error == ERROR_PATH_NOT_FOUND)
            return NOW_FOLDER_GONE;
        if (error == ERROR_FILE_NOT_FOUND && IsFolderTrusted(folder))
            return NOW_ABSENT;
        return -1;
    }
    return IsFolderTrusted(folder) && IsTargetFreeOfLinks(path, end) &&
                   HashFileSha256(path, digest)
               ? NOW_PRESENT
               : -1;
}

static int PutBack(const char *kept, const char *path)
{
    char waiting[PATH_BUFFER_SIZE + 8];
    if (CopyFileA(kept, path, FALSE))
        return UNDONE;
    FormatTextBounded(waiting, sizeof waiting, "%s.ocf-new", path);
    return CopyFileA(kept, waiting, FALSE) &&
                   MoveFileExA(waiting, path,
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)
               ? UNDONE_AT_RESTART
               : UNDONE_FAILED;
}

static int DeleteNowOrAtRestart(const char *path)
{
    if (DeleteFileA(path))
        return UNDONE;
    return MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) ? UNDONE_AT_RESTART : UNDONE_FAILED;
}

int UndoRecordedFile(const char *folder, RunRecord *record, int index)
{
    unsigned char now_digest[SHA256_SIZE];
    unsigned char kept_digest[SHA256_SIZE];
    char name[KEPT_NAME_SIZE];
    char kept[PATH_BUFFER_SIZE];
    RecordEntry *entry = &record->entry[index];
    // Taken off once: saved before going on, so that a rerun after a failure
    // does not take it again. Another program's count keeps the file.
    if (entry->shared) {
        int others = entry->shared == SHARED_TAKEN_OFF || ChangeSharedCount(entry->path, -1) > 0;
        entry->shared = others ? SHARED_TAKEN_OFF : SHARED_NOT;
        if (!SaveRecord(folder, record))
            return UNDONE_FAILED;
        if (others)
            return UNDONE_SHARED;
    }
    int now = ReadNow(entry->path, now_digest);
    if (now < 0)
        return IsFileInUse(entry->path) ? UNDONE_IN_USE : UNDONE_CHANGED;
    KeptName(entry->original, name);
    // A kept original that is not what was kept is never put back.
    if (entry->kind == RECORD_KEPT &&
        (!PathInRecordFolder(folder, name, kept) || !HashFileSha256(kept, kept_digest) ||
         memcmp(kept_digest, entry->original, SHA256_SIZE) != 0))
        return UNDONE_FAILED;
    switch (DecideRestore(entry, now, now_digest,
                          entry->kind == RECORD_KEPT ? entry->original : NULL)) {
    case RESTORE_PUT_BACK:
        return PutBack(kept, entry->path);
    case RESTORE_DELETE:
        return DeleteNowOrAtRestart(entry->path);
    case RESTORE_LEAVE_CHANGED:
        return UNDONE_CHANGED;
    }
    return UNDONE;
}

static void DeleteInFolder(const char *folder, const char *name)
{
    char path[PATH_BUFFER_SIZE];
    if (!PathInRecordFolder(folder, name, path))
        return;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteNowOrAtRestart(path);
}

// Every file of the folder: kept originals of runs cut short too.
void Unregister(const char *folder)
{
    char pattern[PATH_BUFFER_SIZE];
    WIN32_FIND_DATAA found;
    // Each file is checked as it is deleted.
    CopyTextBounded(pattern, sizeof pattern, folder);
    if (AppendWholePathComponent(pattern, "*")) {
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteInFolder(folder, found.cFileName);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
    }
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, KEY_WOW64_64KEY, 0);
    if (!RemoveDirectoryA(folder))
        MoveFileExA(folder, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

int FindRegistration(char *folder)
{
    HKEY key;
    if (!ReadRecordFolder(folder) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}
