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

// Beside the target, flushed, then moved over it: a run cut short leaves the
// file as it was or the original, never a torn one. Only what is verified
// to be the original is moved.
static int PutBack(const char *kept, const char *fresh, const char *path,
                   const unsigned char *original)
{
    unsigned char digest[SHA256_SIZE];
    if (CopyFlushed(kept, fresh) && HashFileSha256(fresh, digest) &&
        memcmp(digest, original, SHA256_SIZE) == 0) {
        if (MoveFileExA(fresh, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return UNDONE;
        // Held so that it cannot be replaced now.
        if (MoveFileExA(fresh, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT))
            return UNDONE_AT_RESTART;
    }
    DeleteFileA(fresh);
    return UNDONE_FAILED;
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
    char name[KEPT_NAME_SIZE];
    char kept[PATH_BUFFER_SIZE];
    char fresh[PATH_BUFFER_SIZE + 8];
    RecordEntry *entry = &record->entry[index];
    // The record says so before the count changes: a rerun, after a kill or
    // a failed save, takes it off no second time. Another program's count
    // keeps the file.
    if (entry->shared) {
        int change = entry->shared == SHARED_COUNTED ? -1 : 0;
        entry->shared = SHARED_TAKEN_OFF;
        if (change != 0 && !SaveRecord(folder, record)) {
            entry->shared = SHARED_COUNTED;
            return UNDONE_FAILED;
        }
        if (ChangeSharedCount(entry->path, change) > 0)
            return UNDONE_SHARED;
    }
    int now = ReadNow(entry->path, now_digest);
    if (now < 0)
        return IsFileInUse(entry->path) ? UNDONE_IN_USE : UNDONE_CHANGED;
    // A put-back cut short leaves its copy.
    FormatTextBounded(fresh, sizeof fresh, "%s.ocf-new", entry->path);
    DeleteFileA(fresh);
    KeptName(entry->original, name);
    switch (DecideRestore(entry, now, now_digest,
                          entry->kind == RECORD_KEPT ? entry->original : NULL)) {
    case RESTORE_PUT_BACK:
        return PathInRecordFolder(folder, name, kept)
                   ? PutBack(kept, fresh, entry->path, entry->original)
                   : UNDONE_FAILED;
    case RESTORE_DELETE:
        return DeleteNowOrAtRestart(entry->path);
    case RESTORE_LEAVE_CHANGED:
        return UNDONE_CHANGED;
    }
    return UNDONE;
}

// Every file of the folder: kept originals of runs cut short too.
void Unregister(const char *folder, int at_restart)
{
    char pattern[PATH_BUFFER_SIZE];
    char path[PATH_BUFFER_SIZE];
    WIN32_FIND_DATAA found;
    // Each file is checked as it is deleted.
    CopyTextBounded(pattern, sizeof pattern, folder);
    if (AppendWholePathComponent(pattern, "*")) {
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ||
                    !PathInRecordFolder(folder, found.cFileName, path))
                    continue;
                SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
                if (at_restart)
                    MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
                else
                    DeleteNowOrAtRestart(path);
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
