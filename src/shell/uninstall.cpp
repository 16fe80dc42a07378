#include "shell.h"

#include <string.h>
#include <windows.h>

// In the order in which they rule the exit code, as a run's steps do.
enum { UNDONE, UNDONE_AT_RESTART, UNDONE_CHANGED, UNDONE_FAILED };

static const char CAPTION[] = "Instalator czytnika kart mikroprocesorowych";

// What is left of the count after ours; 0 when nobody else counts the file.
static DWORD TakeSharedCount(const char *path)
{
    HKEY key;
    DWORD count = 0;
    DWORD size = sizeof count;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return 0;
    if (RegQueryValueExA(key, path, NULL, NULL, (BYTE *)&count, &size) != 0 || count <= 1) {
        RegDeleteValueA(key, path);
        count = 0;
    } else {
        --count;
        RegSetValueExA(key, path, 0, REG_DWORD, (const BYTE *)&count, sizeof count);
    }
    RegCloseKey(key);
    return count;
}

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
    if (entry->shared && TakeSharedCount(entry->path) > 0)
        return UNDONE;
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

static void DeleteInFolder(const char *folder, const char *name)
{
    char path[PATH_BUFFER_SIZE];
    if (PathInRecordFolder(folder, name, path)) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    }
}

// The record, the originals and the registration go; the program's copy and
// its folder too, at the next restart when it is this program.
static void Unregister(const char *folder, const RunRecord *record)
{
    char name[16];
    char self[PATH_BUFFER_SIZE];
    char copy[PATH_BUFFER_SIZE];
    for (int i = 0; i < record->count; ++i) {
        KeptName(i, name);
        DeleteInFolder(folder, name);
    }
    DeleteInFolder(folder, "record.txt");
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, KEY_WOW64_64KEY, 0);
    DWORD size = GetModuleFileNameA(NULL, self, sizeof self);
    if (PathInRecordFolder(folder, "instalator.exe", copy) && size > 0 && size < sizeof self &&
        lstrcmpiA(self, copy) == 0) {
        MoveFileExA(copy, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(folder, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
        return;
    }
    DeleteInFolder(folder, "instalator.exe");
    RemoveDirectoryA(folder);
}

static const char *const UNDONE_LINE[] = {
    "Przywrócono: ",
    "Przy restarcie: ",
    "Zmieniony, pozostawiono: ",
    "Błąd przywracania: ",
};

int RunUninstall(int quiet, int alone, HANDLE log, char *reason)
{
    RunRecord record;
    char folder[PATH_BUFFER_SIZE];
    char line[PATH_BUFFER_SIZE + 64];
    HKEY key;
    int worst = UNDONE;
    int code;
    if (!alone) {
        CopyTextBounded(reason, REASON_SIZE, "Działa już inny instalator");
        code = EXIT_ANOTHER_INSTANCE;
        goto done;
    }
    if (!quiet && ShowMessageBoxPolish(NULL,
                                       "Odinstalować i przywrócić pliki sprzed instalacji?",
                                       CAPTION, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        CopyTextBounded(reason, REASON_SIZE, "Anulowano");
        return EXIT_USER_CANCELLED;
    }
    if (!ReadRecordFolder(folder) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS) {
        CopyTextBounded(reason, REASON_SIZE, "Brak instalacji");
        code = EXIT_UNKNOWN_PRODUCT;
        goto done;
    }
    RegCloseKey(key);
    if (!LoadRecord(folder, &record)) {
        worst = UNDONE_FAILED;
        CopyTextBounded(reason, REASON_SIZE, "Błędny zapis zmian");
    }
    for (int i = 0; worst != UNDONE_FAILED && i < record.count; ++i) {
        int undone = UndoEntry(folder, i, &record.entry[i]);
        if (undone > worst)
            worst = undone;
        FormatTextBounded(line, sizeof line, "%s" NAME_BEGIN "%s" NAME_END, UNDONE_LINE[undone],
                          record.entry[i].path);
        if (log != INVALID_HANDLE_VALUE)
            WriteReportLine(log, line);
    }
    // A failure keeps the record, so that the uninstall can be run again.
    if (worst != UNDONE_FAILED)
        Unregister(folder, &record);
    else if (reason[0] == '\0')
        CopyTextBounded(reason, REASON_SIZE, "Błąd przywracania");
    {
        static const int CODES[] = {0, EXIT_RESTART_REQUIRED, EXIT_WARNING, EXIT_STEP_FAILED};
        code = CODES[worst];
    }
    if (worst == UNDONE_CHANGED)
        CopyTextBounded(reason, REASON_SIZE,
                        "Pozostawiono pliki zmienione od instalacji");
    if (worst == UNDONE_AT_RESTART)
        CopyTextBounded(reason, REASON_SIZE, 
                        "Konieczny restart komputera");

done:
    if (!quiet)
        ShowMessageBoxPolish(NULL, reason[0] != '\0' ? reason : "Przywrócono stan sprzed instalacji",
                             CAPTION, MB_OK);
    return code;
}
