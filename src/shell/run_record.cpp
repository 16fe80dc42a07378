#include "shell.h"

#include "version.h"

#include <string.h>
#include <windows.h>

const char UNINSTALL_KEY[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\InstalatorCzytnikaKart";
const char SHARED_DLLS_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// One run at a time per process, as the unattended answers; on the heap, so
// that the program carries no room for it.
struct Recording {
    RunRecord record;
    char folder[PATH_BUFFER_SIZE];
    int changed;
};
static Recording *g_run;
#define g_record (&g_run->record)
#define g_folder (g_run->folder)
#define g_changed (g_run->changed)

int ReadRecordFolder(char *folder)
{
    HKEY key;
    DWORD size = PATH_BUFFER_SIZE;
    DWORD type = 0;
    folder[0] = '\0';
    // The machine's own value, not an environment that the caller may set.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return 0;
    LONG read = RegQueryValueExA(key, "ProgramFilesDir", NULL, &type, (BYTE *)folder, &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_SZ || size == 0 || folder[size - 1] != '\0')
        folder[0] = '\0';
    return folder[0] != '\0' && AppendWholePathComponent(folder, "Instalator czytnika kart");
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
    char path[PATH_BUFFER_SIZE];
    char line[RECORD_LINE_SIZE];
    DWORD written;
    int saved = 1;
    if (!PathInRecordFolder(folder, "record.txt", path))
        return 0;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_WRITE_THROUGH, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    for (int i = 0; i < record->count; ++i) {
        size_t length = FormatRecordLine(&record->entry[i], line, sizeof line);
        saved = saved && WriteFile(file, line, (DWORD)length, &written, NULL) &&
                written == length;
    }
    CloseHandle(file);
    return saved;
}

// The first time a run is to change a file: what was there, and a copy of
// it. A policy's .ocf-bak, from an install before any record, is its
// original, and goes with the way back.
static void KeepOriginal(const char *path)
{
    char source[PATH_BUFFER_SIZE + 8];
    char name[16];
    char kept[PATH_BUFFER_SIZE];
    RecordEntry *entry = &g_record->entry[g_record->count];
    if (g_record->count >= RECORD_ENTRIES_MAX - 1 || FindRecordEntry(g_record, path) >= 0 ||
        !IsRecordPath(path, strlen(path)))
        return;
    memset(entry, 0, sizeof *entry);
    CopyTextBounded(entry->path, PATH_BUFFER_SIZE, path);
    entry->kind = RECORD_NEW;
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        FormatTextBounded(source, sizeof source, "%s.ocf-bak", path);
        if (!IsFile(source))
            CopyTextBounded(source, sizeof source, path);
        KeptName(g_record->count, name);
        CreateDirectoryA(g_folder, NULL);
        if (!HashFileSha256(path, entry->digest) || !PathInRecordFolder(g_folder, name, kept) ||
            !CopyFileA(source, kept, FALSE))
            return;
        entry->kind = RECORD_KEPT;
        entry->left = 1;
        if (strcmp(source, path) != 0 && FindRecordEntry(g_record, source) < 0) {
            ++g_record->count;
            entry = &g_record->entry[g_record->count];
            memset(entry, 0, sizeof *entry);
            CopyTextBounded(entry->path, PATH_BUFFER_SIZE, source);
            entry->kind = RECORD_NEW;
            entry->left = HashFileSha256(source, entry->digest);
        }
    }
    ++g_record->count;
}

void RecordRunEvent(int event, const char *path, const char *detail, long long, void *)
{
    if (event == RUN_EVENT_WILL_CHANGE) {
        KeepOriginal(path);
        return;
    }
    int index = FindRecordEntry(g_record, path);
    if (index < 0 || event == RUN_EVENT_BACKED_UP || event > RUN_EVENT_REMOVED_AT_RESTART)
        return;
    RecordEntry *entry = &g_record->entry[index];
    entry->left = 0;
    if (event == RUN_EVENT_PLACED)
        entry->left = HashFileSha256(path, entry->digest);
    else if (event == RUN_EVENT_PLACED_AT_RESTART)
        entry->left = HashFileSha256(detail, entry->digest);
    g_changed = 1;
}

void StartRecording(void)
{
    g_run = (Recording *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *g_run);
    if (g_run != NULL && ReadRecordFolder(g_folder) && LoadRecord(g_folder, g_record))
        SetRunListener(RecordRunEvent, NULL);
}

static void SetText(HKEY key, const char *name, const char *value)
{
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)value, (DWORD)strlen(value) + 1);
}

static void SetNumber(HKEY key, const char *name, DWORD value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof value);
}

// Counts each bridge library that we placed once per machine, as Windows
// Installer does.
static void CountSharedLibraries(void)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY, 0, NULL, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < g_record->count; ++i) {
        RecordEntry *entry = &g_record->entry[i];
        DWORD count = 0;
        DWORD size = sizeof count;
        if (entry->shared || !entry->left || !IsSharedLibrary(entry->path))
            continue;
        if (RegQueryValueExA(key, entry->path, NULL, NULL, (BYTE *)&count, &size) != 0)
            count = 0;
        SetNumber(key, entry->path, count + 1);
        entry->shared = 1;
    }
    RegCloseKey(key);
}

static DWORD SizeInKiB(const char *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path, GetFileExInfoStandard, &data)
               ? (data.nFileSizeLow + 1023) / 1024
               : 0;
}

// The program's own copy, the record and the entry of Apps & features.
static void Register(void)
{
    char copy[PATH_BUFFER_SIZE];
    char self[PATH_BUFFER_SIZE];
    char text[PATH_BUFFER_SIZE + 32];
    SYSTEMTIME now;
    HKEY key;
    DWORD size = GetModuleFileNameA(NULL, self, sizeof self);
    CreateDirectoryA(g_folder, NULL);
    if (!PathInRecordFolder(g_folder, "instalator.exe", copy))
        return;
    // Run from the copy itself, the copy fails and the copy stays.
    if (size > 0 && size < sizeof self)
        CopyFileA(self, copy, FALSE);
    CountSharedLibraries();
    if (!SaveRecord(g_folder, g_record) ||
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, NULL, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    SetText(key, "DisplayName", "Instalator czytnika kart mikroprocesorowych");
    SetText(key, "DisplayVersion", INSTALATOR_VERSION_TEXT);
    SetText(key, "Publisher", "Instalator czytnika kart");
    SetText(key, "InstallLocation", g_folder);
    SetText(key, "DisplayIcon", copy);
    GetLocalTime(&now);
    FormatTextBounded(text, sizeof text, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    SetText(key, "InstallDate", text);
    // The program's copy; the originals are a few small files.
    SetNumber(key, "EstimatedSize", SizeInKiB(copy) + RECORD_ENTRIES_MAX / 8);
    FormatTextBounded(text, sizeof text, "\"%s\" /uninstall", copy);
    SetText(key, "UninstallString", text);
    AppendTextBounded(text, sizeof text, " /quiet");
    SetText(key, "QuietUninstallString", text);
    SetNumber(key, "NoModify", 1);
    SetNumber(key, "NoRepair", 1);
    RegCloseKey(key);
}

void FinishRecording(void)
{
    SetRunListener(NULL, NULL);
    if (g_run == NULL)
        return;
    if (g_changed)
        Register();
    HeapFree(GetProcessHeap(), 0, g_run);
    g_run = NULL;
}
