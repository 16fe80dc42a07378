#include "shell.h"

#include <string.h>
#include <windows.h>

// In the order in which they rule the exit code, as a run's steps do.
enum { UNDONE, UNDONE_AT_RESTART, UNDONE_CHANGED, UNDONE_FAILED };
// Left for another program: as undone for the exit code, but said apart.
enum { UNDONE_SHARED = UNDONE_FAILED + 1 };

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

static int UndoEntry(const char *folder, int index, const RecordEntry *entry)
{
    unsigned char now_digest[SHA256_SIZE];
    unsigned char original_digest[SHA256_SIZE];
    char name[16];
    char kept[PATH_BUFFER_SIZE];
    // Another program's count keeps the file as it is.
    if (entry->shared && ChangeSharedCount(entry->path, -1) > 0)
        return UNDONE_SHARED;
    int now = ReadNow(entry->path, now_digest);
    if (now < 0)
        return UNDONE_CHANGED;
    KeptName(index, name);
    if (entry->kind == RECORD_KEPT &&
        (!PathInRecordFolder(folder, name, kept) || !HashFileSha256(kept, original_digest)))
        return UNDONE_FAILED;
    switch (DecideRestore(entry, now, now_digest,
                          entry->kind == RECORD_KEPT ? original_digest : NULL)) {
    case RESTORE_PUT_BACK:
        return PutBack(kept, entry->path);
    case RESTORE_DELETE:
        if (DeleteFileA(entry->path))
            return UNDONE;
        return MoveFileExA(entry->path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) ? UNDONE_AT_RESTART
                                                                            : UNDONE_FAILED;
    case RESTORE_LEAVE_CHANGED:
        return UNDONE_CHANGED;
    }
    return UNDONE;
}

static int DeleteInFolder(const char *folder, const char *name)
{
    char path[PATH_BUFFER_SIZE];
    if (!PathInRecordFolder(folder, name, path))
        return 0;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path) || MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// The record, the originals and the registration go; the program's copy, when
// it is this program that runs, and its folder at the next restart.
static void Unregister(const char *folder, const RunRecord *record)
{
    char name[16];
    for (int i = 0; i < record->count; ++i) {
        KeptName(i, name);
        DeleteInFolder(folder, name);
    }
    DeleteInFolder(folder, "record.txt");
    DeleteInFolder(folder, "instalator.exe");
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, KEY_WOW64_64KEY, 0);
    if (!RemoveDirectoryA(folder))
        MoveFileExA(folder, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

static const char *const UNDONE_LINE[] = {
    "Przywrócono: ",
    "Przy restarcie: ",
    "Zmieniony, pozostawiono: ",
    "Błąd przywracania: ",
};
static const char *const UNDONE_REASON[] = {
    "",
    "Konieczny restart komputera",
    "Pozostawiono pliki zmienione od instalacji",
    "Błąd przywracania",
};
static const int UNDONE_CODE[] = {0, EXIT_RESTART_REQUIRED, EXIT_WARNING, EXIT_STEP_FAILED};

int RunUninstall(int quiet, int alone, HANDLE log, char *reason)
{
    RunRecord record;
    char folder[PATH_BUFFER_SIZE];
    char line[PATH_BUFFER_SIZE + 64];
    HKEY key;
    int worst = UNDONE;
    int code = EXIT_ANOTHER_INSTANCE;
    if (!alone) {
        CopyTextBounded(reason, REASON_SIZE, ANOTHER_INSTANCE_TEXT);
        goto done;
    }
    if (!quiet && ShowMessageBoxPolish(NULL,
                                       "Odinstalować i przywrócić pliki sprzed instalacji?",
                                       PROGRAM_TITLE, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        CopyTextBounded(reason, REASON_SIZE, "Anulowano");
        return EXIT_USER_CANCELLED;
    }
    code = EXIT_UNKNOWN_PRODUCT;
    if (!ReadRecordFolder(folder) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS) {
        CopyTextBounded(reason, REASON_SIZE, "Brak instalacji");
        goto done;
    }
    RegCloseKey(key);
    if (!LoadRecord(folder, &record))
        worst = UNDONE_FAILED;
    for (int i = 0; worst != UNDONE_FAILED && i < record.count; ++i) {
        int undone = UndoEntry(folder, i, &record.entry[i]);
        const char *said = "Wspólny, pozostawiono: ";
        if (undone != UNDONE_SHARED) {
            said = UNDONE_LINE[undone];
            if (undone > worst)
                worst = undone;
        }
        FormatTextBounded(line, sizeof line, "%s" NAME_BEGIN "%s" NAME_END, said,
                          record.entry[i].path);
        if (log != INVALID_HANDLE_VALUE)
            WriteReportLine(log, line);
    }
    // A failure keeps the record, so that the uninstall can be run again.
    if (worst != UNDONE_FAILED)
        Unregister(folder, &record);
    code = UNDONE_CODE[worst];
    CopyTextBounded(reason, REASON_SIZE, UNDONE_REASON[worst]);

done:
    if (!quiet)
        ShowMessageBoxPolish(NULL, reason[0] != '\0' ? reason : "Przywrócono stan sprzed instalacji",
                             PROGRAM_TITLE, MB_OK);
    return code;
}
