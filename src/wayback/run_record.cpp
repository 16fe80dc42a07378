#include "wayback.h"

#include "components.h"
#include "version.h"

#include <string.h>
#include <windows.h>

const char PROGRAM_TITLE[] = "Instalator czytnika kart mikroprocesorowych";
const char UNINSTALL_KEY[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\InstalatorCzytnikaKart";

int ReadRecordFolder(char *folder)
{
    HKEY key;
    DWORD size = PATH_BUFFER_SIZE;
    DWORD type = 0;
    // The machine's own value, not an environment that the caller may set.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return 0;
    LONG read = RegQueryValueExA(key, "ProgramFilesDir", NULL, &type, (BYTE *)folder, &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ &&
           RegistryStringLength(folder, size, PATH_BUFFER_SIZE, type) > 0 &&
           AppendWholePathComponent(folder, "Instalator czytnika kart");
}

int PathInRecordFolder(const char *folder, const char *name, char *path)
{
    CopyTextBounded(path, PATH_BUFFER_SIZE, folder);
    return AppendWholePathComponent(path, name) && IsFolderTrusted(folder) &&
           IsTargetFreeOfLinks(path, strlen(folder) + 1);
}

void KeptName(int index, char *name)
{
    FormatTextBounded(name, 16, "original-%d", index);
}

int LoadRecord(const char *folder, RunRecord *record)
{
    char text[RECORD_ENTRIES_MAX * RECORD_LINE_SIZE];
    char path[PATH_BUFFER_SIZE];
    BY_HANDLE_FILE_INFORMATION information;
    DWORD count = 0;
    int loaded = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    record->count = 0;
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
        information.nFileSizeLow <= sizeof text &&
        ReadFile(file, text, information.nFileSizeLow, &count, NULL) &&
        count == information.nFileSizeLow)
        loaded = ReadRecord(text, count, record);
    CloseHandle(file);
    return loaded;
}

int SaveRecord(const char *folder, const RunRecord *record)
{
    char text[RECORD_ENTRIES_MAX * RECORD_LINE_SIZE];
    char path[PATH_BUFFER_SIZE];
    DWORD length = 0;
    DWORD written = 0;
    if (!PathInRecordFolder(folder, "record.txt", path))
        return 0;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_WRITE_THROUGH, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    for (int i = 0; i < record->count; ++i)
        length += (DWORD)FormatRecordLine(&record->entry[i], text + length, sizeof text - length);
    int saved = WriteFile(file, text, length, &written, NULL) && written == length;
    CloseHandle(file);
    return saved;
}

static RecordEntry *AddEntry(RunRecord *record, const char *path)
{
    RecordEntry *entry = &record->entry[record->count++];
    memset(entry, 0, sizeof *entry);
    CopyTextBounded(entry->path, PATH_BUFFER_SIZE, path);
    entry->kind = RECORD_NEW;
    return entry;
}

// The first time a run is to change a file: what was there, and a copy of
// it. A policy's .ocf-bak, from an install before any record, is its
// original, and goes with the way back.
static void KeepOriginal(Recording *recording, const char *path)
{
    char source[PATH_BUFFER_SIZE + 8];
    char name[16];
    char kept[PATH_BUFFER_SIZE];
    RunRecord *record = &recording->record;
    // Two entries at most: the file and its .ocf-bak.
    if (record->count >= RECORD_ENTRIES_MAX - 1 || FindRecordEntry(record, path) >= 0 ||
        !IsRecordPath(path, strlen(path)))
        return;
    KeptName(record->count, name);
    RecordEntry *entry = AddEntry(record, path);
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return;
    FormatTextBounded(source, sizeof source, "%s.ocf-bak", path);
    if (!IsFile(source))
        CopyTextBounded(source, sizeof source, path);
    CreateDirectoryA(recording->folder, NULL);
    // Without its original the entry cannot be taken back: it goes.
    if (!HashFileSha256(path, entry->digest) ||
        !PathInRecordFolder(recording->folder, name, kept) || !CopyFileA(source, kept, FALSE)) {
        --record->count;
        return;
    }
    entry->kind = RECORD_KEPT;
    entry->left = 1;
    if (strcmp(source, path) != 0 && FindRecordEntry(record, source) < 0) {
        entry = AddEntry(record, source);
        entry->left = HashFileSha256(source, entry->digest);
    }
}

void RecordRunEvent(int event, const char *path, const char *detail, long long, void *context)
{
    Recording *recording = (Recording *)context;
    if (event == RUN_EVENT_WILL_CHANGE) {
        KeepOriginal(recording, path);
        return;
    }
    // Only the file events name a file.
    if (event == RUN_EVENT_BACKED_UP || event > RUN_EVENT_REMOVED_AT_RESTART)
        return;
    int index = FindRecordEntry(&recording->record, path);
    if (index < 0)
        return;
    RecordEntry *entry = &recording->record.entry[index];
    entry->left = 0;
    if (event == RUN_EVENT_PLACED)
        entry->left = HashFileSha256(path, entry->digest);
    else if (event == RUN_EVENT_PLACED_AT_RESTART)
        entry->left = HashFileSha256(detail, entry->digest);
    recording->changed = 1;
}

int StartRecording(Recording *recording)
{
    recording->changed = 0;
    return ReadRecordFolder(recording->folder) &&
           LoadRecord(recording->folder, &recording->record);
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

// After a run that changed a file: the program's own copy, the record, the
// shared counts and the entry of Apps & features.
void FinishRecording(Recording *recording)
{
    static const char NAMES[] = "DisplayName\0DisplayVersion\0Publisher\0InstallLocation\0"
                                "DisplayIcon\0InstallDate\0UninstallString\0"
                                "QuietUninstallString\0EstimatedSize\0NoModify\0NoRepair";
    enum { TEXT_COUNT = 8, VALUE_COUNT = 11 };
    char copy[PATH_BUFFER_SIZE];
    char date[16];
    char command[PATH_BUFFER_SIZE + 32];
    char quiet_command[PATH_BUFFER_SIZE + 40];
    WIN32_FILE_ATTRIBUTE_DATA data;
    SYSTEMTIME now;
    HKEY key;
    const char *folder = recording->folder;
    RunRecord *record = &recording->record;
    if (!recording->changed)
        return;
    CreateDirectoryA(folder, NULL);
    if (!PathInRecordFolder(folder, "instalator.exe", copy))
        return;
    // A reinstall before the uninstall's restart keeps them.
    CancelOwnRenames(folder, NULL);
    int copied = WriteProgramCopy(copy);
    // Once per machine, as Windows Installer counts.
    for (int i = 0; i < record->count; ++i) {
        RecordEntry *entry = &record->entry[i];
        if (!entry->shared && entry->left && IsSharedLibrary(entry->path))
            entry->shared = ChangeSharedCount(entry->path, 1) > 0;
    }
    // The record is saved all the same: a later run's registration takes it.
    if (!SaveRecord(folder, record) || !copied ||
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, NULL, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    GetLocalTime(&now);
    FormatTextBounded(date, sizeof date, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    FormatTextBounded(command, sizeof command, "\"%s\" /uninstall", copy);
    FormatTextBounded(quiet_command, sizeof quiet_command, "%s /quiet", command);
    const char *const texts[TEXT_COUNT] = {
        PROGRAM_TITLE, INSTALATOR_VERSION_TEXT, "Instalator czytnika kart", folder, copy, date,
        command,       quiet_command};
    // The program's copy; the originals are a few small files.
    const DWORD numbers[VALUE_COUNT - TEXT_COUNT] = {
        (GetFileAttributesExA(copy, GetFileExInfoStandard, &data)
             ? (data.nFileSizeLow + 1023) / 1024
             : 0) + RECORD_ENTRIES_MAX / 8,
        1, 1};
    const char *name = NAMES;
    for (int i = 0; i < VALUE_COUNT; ++i, name += strlen(name) + 1) {
        if (i < TEXT_COUNT)
            RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)texts[i],
                           (DWORD)strlen(texts[i]) + 1);
        else
            RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&numbers[i - TEXT_COUNT],
                           sizeof(DWORD));
    }
    RegCloseKey(key);
}
