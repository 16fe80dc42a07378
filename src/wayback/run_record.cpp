#include "wayback.h"

#include "components.h"
#include "version.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

const char PROGRAM_TITLE[] = "Instalator czytnika kart mikroprocesorowych";
const char UNINSTALL_KEY[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\InstalatorCzytnikaKart";

int ReadRecordFolder(char *folder)
{
    DWORD size = PATH_BUFFER_SIZE;
    // The machine's own value, not an environment that the caller may set;
    // read whole and terminated, from the 64-bit view of a 64-bit program.
    return RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                        "ProgramFilesDir", RRF_RT_REG_SZ, NULL, folder, &size) == ERROR_SUCCESS &&
           folder[0] != '\0' && AppendWholePathComponent(folder, "Instalator czytnika kart");
}

int PathInRecordFolder(const char *folder, const char *name, char *path)
{
    CopyTextBounded(path, PATH_BUFFER_SIZE, folder);
    return AppendWholePathComponent(path, name) && IsFolderTrusted(folder) &&
           IsTargetFreeOfLinks(path, strlen(folder) + 1);
}

int LoadRecord(const char *folder, RunRecord *record)
{
    char path[PATH_BUFFER_SIZE];
    BY_HANDLE_FILE_INFORMATION information;
    DWORD count = 0;
    char *text = NULL;
    int loaded = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    memset(record, 0, sizeof *record);
    if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
        return 1;
    if (!PathInRecordFolder(folder, "record.txt", path))
        return 0;
    file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    // Checked by the handle: what is read is what was checked.
    if (GetFileInformationByHandle(file, &information) &&
        !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        information.nNumberOfLinks == 1 && information.nFileSizeHigh == 0 &&
        (text = (char *)GlobalAlloc(GMEM_FIXED, (SIZE_T)information.nFileSizeLow + 1)) != NULL &&
        ReadFile(file, text, information.nFileSizeLow, &count, NULL) &&
        count == information.nFileSizeLow)
        loaded = ReadRecord(text, count, record);
    GlobalFree(text);
    CloseHandle(file);
    if (!loaded)
        FreeRecord(record);
    return loaded;
}

// Never through a link that another has put in the folder.
static HANDLE OpenForWriting(const char *path, DWORD disposition)
{
    return CreateFileA(path, GENERIC_WRITE, 0, NULL, disposition, FILE_FLAG_OPEN_REPARSE_POINT,
                       NULL);
}

static int WriteEntry(HANDLE file, const RecordEntry *entry)
{
    char line[RECORD_LINE_SIZE];
    DWORD written = 0;
    DWORD length = (DWORD)FormatRecordLine(entry, line, sizeof line);
    return length > 0 && WriteFile(file, line, length, &written, NULL) && written == length;
}

int SaveRecord(const char *folder, const RunRecord *record)
{
    char path[PATH_BUFFER_SIZE];
    char fresh[PATH_BUFFER_SIZE];
    int saved = 0;
    if (!PathInRecordFolder(folder, "record.txt", path) ||
        !PathInRecordFolder(folder, "record.new", fresh))
        return 0;
    HANDLE file = OpenForWriting(fresh, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int written = 1;
    for (int i = 0; written && i < record->count; ++i)
        written = WriteEntry(file, &record->entry[i]);
    saved = written && FlushFileBuffers(file);
    CloseHandle(file);
    // Either the old record or the new one, whole, whenever the run stops.
    return saved && MoveFileExA(fresh, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// An entry or its "?" appended for the next flush, which comes before the
// next file changes.
static int AppendEntry(Recording *recording, const RecordEntry *entry)
{
    recording->unflushed = 1;
    return WriteEntry(recording->journal, entry);
}

int CopyFlushed(const char *source, const char *target)
{
    int flushed = 0;
    if (!CopyFileA(source, target, FALSE))
        return 0;
    // A read-only original's copy too.
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    HANDLE file = OpenForWriting(target, OPEN_EXISTING);
    if (file != INVALID_HANDLE_VALUE) {
        flushed = FlushFileBuffers(file);
        CloseHandle(file);
    }
    return flushed;
}

// The original under its own SHA-256, a name no other content can take, on
// disk before the file changes. Written once, whole under its name: a kept
// file that two targets share is never cut by a later copy over it.
static int KeepCopy(const char *folder, const char *source, unsigned char *digest)
{
    char name[KEPT_NAME_SIZE];
    char kept[PATH_BUFFER_SIZE];
    char fresh[PATH_BUFFER_SIZE + 4];
    unsigned char found[SHA256_SIZE];
    if (!HashFileSha256(source, digest))
        return 0;
    KeptName(digest, name);
    if (!PathInRecordFolder(folder, name, kept))
        return 0;
    if (HashFileSha256(kept, found) && memcmp(found, digest, SHA256_SIZE) == 0)
        return 1;
    FormatTextBounded(fresh, sizeof fresh, "%s.new", kept);
    return CopyFlushed(source, fresh) &&
           MoveFileExA(fresh, kept, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// A file that the run may create, appended; null when there is no room.
static RecordEntry *AddNewEntry(Recording *recording, const char *path)
{
    RecordEntry *entry = GrowRecord(&recording->record);
    if (entry == NULL)
        return NULL;
    CopyTextBounded(entry->path, PATH_BUFFER_SIZE, path);
    entry->kind = RECORD_NEW;
    entry->left = LEFT_UNKNOWN;
    return entry;
}

// 1 when the file may change: its entry, and a copy of what was there,
// appended, the first time only. A policy's .ocf-bak, from an install before
// any record, is its original, and goes with the way back.
static int KeepOriginal(Recording *recording, const char *path)
{
    char source[PATH_BUFFER_SIZE + 8];
    RunRecord *record = &recording->record;
    int index = FindRecordEntry(record, path);
    // Recorded before: its original stays, and until this run says what it
    // left, the file may be anything.
    if (index >= 0) {
        RecordEntry *entry = &record->entry[index];
        if (entry->left == LEFT_UNKNOWN)
            return 1;
        entry->left = LEFT_UNKNOWN;
        return AppendEntry(recording, entry);
    }
    RecordEntry *entry = IsRecordPath(path, strlen(path)) ? AddNewEntry(recording, path) : NULL;
    if (entry == NULL)
        return 0;
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        FormatTextBounded(source, sizeof source, "%s.ocf-bak", path);
        if (!IsFile(source))
            CopyTextBounded(source, sizeof source, path);
        if (!KeepCopy(recording->folder, source, entry->original)) {
            --record->count;
            return 0;
        }
        entry->kind = RECORD_KEPT;
    }
    if (!AppendEntry(recording, entry))
        return 0;
    if (entry->kind == RECORD_NEW || strcmp(source, path) == 0 ||
        FindRecordEntry(record, source) >= 0)
        return 1;
    entry = AddNewEntry(recording, source);
    return entry != NULL && AppendEntry(recording, entry);
}

int RecordRunEvent(int event, const char *path, const char *detail, long long number,
                   void *context)
{
    Recording *recording = (Recording *)context;
    if (event == RUN_EVENT_WILL_CHANGE) {
        // A change told ahead is flushed with its batch, before the first of
        // them is told now.
        if (KeepOriginal(recording, path) &&
            (number == CHANGE_AHEAD || !recording->unflushed ||
             FlushFileBuffers(recording->journal))) {
            recording->unflushed &= number == CHANGE_AHEAD;
            return 1;
        }
        if (number == CHANGE_NOW)
            TellRun(RUN_EVENT_NO_WAY_BACK, path, NULL, WAY_BACK_ORIGINAL_NOT_KEPT);
        return 0;
    }
    // Only the file events name a file.
    if (event == RUN_EVENT_BACKED_UP || event > RUN_EVENT_REMOVED_AT_RESTART)
        return 1;
    int index = FindRecordEntry(&recording->record, path);
    if (index < 0)
        return 1;
    RecordEntry *entry = &recording->record.entry[index];
    const char *placed = event == RUN_EVENT_PLACED_AT_RESTART ? detail : path;
    entry->left = LEFT_NOTHING;
    if (event < RUN_EVENT_BACKED_UP)
        entry->left = HashFileSha256(placed, entry->digest) ? LEFT_DIGEST : LEFT_UNKNOWN;
    recording->changed = 1;
    // Needs no flush of its own: until it is on disk the entry reads "?", the
    // file may be anything, and the uninstall judges it as it finds it.
    WriteEntry(recording->journal, entry);
    return 1;
}

int ChangeSharedCount(const char *path, int change)
{
    HKEY key;
    DWORD count = 0;
    DWORD size = sizeof count;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0, NULL, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return 0;
    if (RegQueryValueExA(key, path, NULL, NULL, (BYTE *)&count, &size) != ERROR_SUCCESS)
        count = 0;
    count += change;
    if ((int)count > 0) {
        RegSetValueExA(key, path, 0, REG_DWORD, (const BYTE *)&count, sizeof count);
    } else {
        RegDeleteValueA(key, path);
        count = 0;
    }
    RegCloseKey(key);
    return (int)count;
}

// Apps & features, all but DisplayVersion: the uninstall is offered from the
// run's first change on, and an engine that detects the install by its
// version sees this version only once a run of it has ended well. On disk
// before the first change.
static int WriteRegistration(Recording *recording, const char *copy, int copy_size)
{
    static const char NAMES[] = "DisplayName\0Publisher\0InstallLocation\0"
                                "DisplayIcon\0InstallDate\0UninstallString\0"
                                "QuietUninstallString\0EstimatedSize\0NoModify\0NoRepair";
    enum { TEXT_COUNT = 7, VALUE_COUNT = 10 };
    char date[16];
    char command[PATH_BUFFER_SIZE + 32];
    char quiet_command[PATH_BUFFER_SIZE + 40];
    SYSTEMTIME now;
    HKEY key;
    DWORD disposition = 0;
    LONG failed = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, NULL, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, NULL, &key,
                        &disposition) != ERROR_SUCCESS)
        return 0;
    recording->made |= disposition == REG_CREATED_NEW_KEY ? MADE_KEY : 0;
    GetLocalTime(&now);
    FormatTextBounded(date, sizeof date, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    FormatTextBounded(command, sizeof command, "\"%s\" /uninstall", copy);
    FormatTextBounded(quiet_command, sizeof quiet_command, "%s /quiet", command);
    const char *const texts[TEXT_COUNT] = {PROGRAM_TITLE,     "Instalator czytnika kart",
                                           recording->folder, copy,
                                           date,              command,
                                           quiet_command};
    // The program's copy; the originals are a few small files.
    const DWORD numbers[VALUE_COUNT - TEXT_COUNT] = {
        (DWORD)(copy_size + 1023) / 1024 + (DWORD)recording->record.count / 8 + 8, 1, 1};
    const char *name = NAMES;
    for (int i = 0; i < VALUE_COUNT; ++i, name += strlen(name) + 1) {
        if (i < TEXT_COUNT)
            failed |= RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)texts[i],
                                     (DWORD)strlen(texts[i]) + 1);
        else
            failed |= RegSetValueExA(key, name, 0, REG_DWORD,
                                     (const BYTE *)&numbers[i - TEXT_COUNT], sizeof(DWORD));
    }
    failed |= RegFlushKey(key);
    RegCloseKey(key);
    return !failed;
}

// Ready before the run's first change, or nothing is changed: the folder, the
// record rewritten whole (no torn line, no gone home) and open for what the
// run appends, the program's copy and its registration, which is so made only
// for a record on disk. Entries of Java homes that are gone have nothing to
// take back.
int StartRecording(Recording *recording)
{
    char path[PATH_BUFFER_SIZE];
    const char *folder = recording->folder;
    RunRecord *record = &recording->record;
    memset(recording, 0, sizeof *recording);
    recording->journal = INVALID_HANDLE_VALUE;
    recording->refusal = WAY_BACK_RECORD_UNREADABLE;
    // Each change hashes what was there and what was left.
    HoldHashProvider(1);
    if (!ReadRecordFolder(recording->folder) || !LoadRecord(folder, record))
        return 0;
    int kept = 0;
    for (int i = 0; i < record->count; ++i) {
        if (GetFileAttributesA(record->entry[i].path) != INVALID_FILE_ATTRIBUTES ||
            GetLastError() != ERROR_PATH_NOT_FOUND)
            record->entry[kept++] = record->entry[i];
    }
    record->count = kept;
    recording->refusal = WAY_BACK_NOT_MADE;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, (void *)ADMINISTRATORS_ONLY_SECURITY, FALSE};
    recording->made = CreateDirectoryA(folder, &attributes) ? MADE_FOLDER : 0;
    if (!SaveRecord(folder, record) || !PathInRecordFolder(folder, "record.txt", path) ||
        (recording->journal = OpenForWriting(path, OPEN_EXISTING)) == INVALID_HANDLE_VALUE)
        return 0;
    SetFilePointer(recording->journal, 0, NULL, FILE_END);
    int copy_size = PathInRecordFolder(folder, "instalator.exe", path) ? WriteProgramCopy(path) : 0;
    if (copy_size == 0 || !WriteRegistration(recording, path, copy_size))
        return 0;
    // Once nothing can stop the run: the put-backs and deletions that an
    // uninstall queued would undo it at the restart; its kept originals stay
    // the originals.
    CancelOwnRenames(folder, record);
    return 1;
}

// After the run (also one refused): the shared counts, the record flushed,
// and DisplayVersion, last, for a run that changed a file and ended well.
// What a run made and left nothing to take back with goes again.
void FinishRecording(Recording *recording, int ended_well)
{
    RunRecord *record = &recording->record;
    if (recording->journal != INVALID_HANDLE_VALUE) {
        // Once per machine, as Windows Installer counts; a run refused counts none.
        for (int i = 0; recording->changed && i < record->count; ++i) {
            RecordEntry *entry = &record->entry[i];
            if (!entry->shared && entry->left == LEFT_DIGEST && IsSharedLibrary(entry->path) &&
                ChangeSharedCount(entry->path, 1) > 0) {
                entry->shared = SHARED_COUNTED;
                WriteEntry(recording->journal, entry);
            }
        }
        FlushFileBuffers(recording->journal);
        CloseHandle(recording->journal);
    }
    if (recording->made && record->count == 0)
        Unregister(recording->folder);
    else if (ended_well && recording->changed)
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayVersion", REG_SZ,
                        INSTALATOR_VERSION_TEXT, sizeof INSTALATOR_VERSION_TEXT);
    FreeRecord(record);
    HoldHashProvider(0);
}
