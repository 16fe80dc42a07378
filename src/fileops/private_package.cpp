#include "fileops.h"

#include "resource.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

// The package's subdirectories, each needed whole: a driver installer, often
// a batch file, calls its helpers in "Drivers" by name.
static const char *const PACKAGE_SUBDIRECTORIES[] = {"Drivers", "msie", "ns", "sun"};
enum { PACKAGE_SUBDIRECTORY_COUNT = 4, COPY_NAME_TRIES = 100, TEMPORARY_FOLDER_COUNT = 2 };

// The list that a release builds into the program (package_list.py); null
// when it carries none.
static const char *PackageList(DWORD *size)
{
    HRSRC resource = FindResourceA(NULL, MAKEINTRESOURCEA(IDR_PACKAGE_LIST), (LPCSTR)RT_RCDATA);
    HGLOBAL loaded = resource != NULL ? LoadResource(NULL, resource) : NULL;
    *size = resource != NULL ? SizeofResource(NULL, resource) : 0;
    return loaded != NULL ? (const char *)LockResource(loaded) : NULL;
}

int PackageListCarried(void)
{
    DWORD size;
    return PackageList(&size) != NULL;
}

int FindListedDigest(const char *relative, unsigned char digest[SHA256_SIZE])
{
    char path[PATH_BUFFER_SIZE];
    unsigned long long size;
    size_t offset = 0;
    DWORD length = 0;
    const char *list = PackageList(&length);
    while (list != NULL && ReadPackageListLine(list, length, &offset, digest, &size, path)) {
        if (_stricmp(path, relative) == 0)
            return 1;
    }
    return 0;
}

// A wide path in the ANSI code page, into `path` (PATH_BUFFER_SIZE bytes);
// where that code page cannot spell it, the short name may.
static int WidePathToAnsiOrShort(wchar_t *wide, char *path)
{
    DWORD length;
    if (WidePathToAnsi(wide, path))
        return 1;
    length = GetShortPathNameW(wide, wide, PATH_BUFFER_SIZE);
    return length != 0 && length < PATH_BUFFER_SIZE && WidePathToAnsi(wide, path);
}

// The folder of instalator.exe, whatever the current directory.
static int ReadPackageRoot(char *root)
{
    wchar_t wide[PATH_BUFFER_SIZE];
    DWORD length = GetModuleFileNameW(NULL, wide, PATH_BUFFER_SIZE);
    wchar_t *last = wide + length;
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        return 0;
    while (last > wide && *last != L'\\')
        --last;
    *last = L'\0';
    return WidePathToAnsiOrShort(wide, root);
}

// The temporary folders to make the copy in, best first: the account's own,
// then the Windows directory's, where users may add entries but not delete or
// rename those of others. Without a final backslash, so that the walk up
// from each sees every folder above; empty where unreadable.
static void ReadTemporaryFolders(char folders[TEMPORARY_FOLDER_COUNT][PATH_BUFFER_SIZE])
{
    wchar_t wide[PATH_BUFFER_SIZE];
    DWORD length = GetTempPathW(PATH_BUFFER_SIZE, wide);
    folders[0][0] = '\0';
    if (length != 0 && length < PATH_BUFFER_SIZE) {
        if (length > 3 && wide[length - 1] == L'\\')
            wide[length - 1] = L'\0';
        WidePathToAnsiOrShort(wide, folders[0]);
    }
    if (!ReadWindowsDirectory(folders[1], PATH_BUFFER_SIZE) ||
        !AppendWholePathComponent(folders[1], "Temp"))
        folders[1][0] = '\0';
}

// Opens the new folder `copy` so that nobody can rename or delete it while we
// use it: no FILE_SHARE_DELETE. The handle needs a data access right, as
// Windows records share access only for handles with read, write, execute or
// delete access ("Shared Access to Files", IoCheckShareAccess); one with
// FILE_READ_ATTRIBUTES alone would not stop a rename. Null unless the folder
// is no reparse point and its volume keeps ACLs (FAT and exFAT drop them).
static HANDLE HoldPrivateFolder(const char *copy)
{
    BY_HANDLE_FILE_INFORMATION information;
    DWORD flags = 0;
    HANDLE folder = CreateFileA(copy, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (folder == INVALID_HANDLE_VALUE)
        return NULL;
    if (GetFileInformationByHandle(folder, &information) &&
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        GetVolumeInformationByHandleW(folder, NULL, 0, NULL, NULL, &flags, NULL, 0) &&
        (flags & FILE_PERSISTENT_ACLS))
        return folder;
    CloseHandle(folder);
    return NULL;
}

// A new folder `copy` in `temporary` that only SYSTEM and Administrators can
// open: protected, so it inherits nothing, and what is put into it inherits
// the same. Made only where nobody else can rename it or what is above it, and
// held open in `*folder` from the start.
// Off for a copy in a folder where others may add entries (the Windows
// directory's Temp): once the copy is gone, anyone could make its name again
// as a link, and the deletes queued would reach the link's target at boot.
// What is left there goes at the next run (RemoveLeftoverCopies).
static int restart_deletes_refused;

static void RemoveLeftoverCopies(const char *temporary);

static int MakePrivateFolder(const char *temporary, char *copy, HANDLE *folder)
{
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, (void *)ADMINISTRATORS_ONLY_SECURITY,
                                      FALSE};
    char name[32];
    int made = 0;
    if (temporary[0] == '\0' || !IsFolderTrusted(temporary))
        return 0;
    restart_deletes_refused = !IsFolderTrustedAs(temporary, TRUST_CODE_FOLDER);
    RemoveLeftoverCopies(temporary);
    for (int attempt = 0; attempt < COPY_NAME_TRIES && !made; ++attempt) {
        CopyTextBounded(copy, PATH_BUFFER_SIZE, temporary);
        FormatTextBounded(name, sizeof name, "instalator-%lu-%d", GetCurrentProcessId(), attempt);
        if (!AppendWholePathComponent(copy, name))
            break;
        made = CreateDirectoryA(copy, &attributes);
        if (!made && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    *folder = made ? HoldPrivateFolder(copy) : NULL;
    if (made && *folder == NULL)
        RemoveDirectoryA(copy);
    return *folder != NULL;
}

static void DeleteAtRestart(const char *path)
{
    if (!restart_deletes_refused)
        MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

static void RemovePrivateFolder(const char *path, int now)
{
    if (!now || !RemoveDirectoryA(path))
        DeleteAtRestart(path);
}

// Deletes what the folder `path` (a buffer of PATH_BUFFER_SIZE, given back as
// it came) holds. What cannot go now goes at the next restart, the files
// before their folders; so does everything when `now` is 0, and the entry
// `later` of this folder, when named. A link (a junction, a symbolic link)
// goes itself, at once, and never what it leads to: it is neither followed
// nor queued, since at the restart its path could lead anywhere.
static void RemovePrivateContents(char *path, int now, const char *later)
{
    WIN32_FIND_DATAA entry;
    size_t end = strlen(path);
    HANDLE search = INVALID_HANDLE_VALUE;
    if (AppendWholePathComponent(path, "*"))
        search = FindFirstFileA(path, &entry);
    path[end] = '\0';
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        int entry_now = now && !(later != NULL && _stricmp(entry.cFileName, later) == 0);
        DWORD kind = entry.dwFileAttributes;
        if (!IsDotEntry(entry.cFileName) && AppendWholePathComponent(path, entry.cFileName)) {
            if (kind & FILE_ATTRIBUTE_REPARSE_POINT) {
                // Windows removes a junction or a folder's symbolic link
                // itself, never the folder it leads to.
                if (kind & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveDirectoryA(path);
                else
                    DeleteFileA(path);
            } else if (kind & FILE_ATTRIBUTE_DIRECTORY) {
                RemovePrivateContents(path, entry_now, NULL);
                RemovePrivateFolder(path, entry_now);
            } else {
                SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
                if (!entry_now || !DeleteFileA(path))
                    DeleteAtRestart(path);
            }
        }
        path[end] = '\0';
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

static int JoinTo(char *path, const char *base, const char *element)
{
    CopyTextBounded(path, PATH_BUFFER_SIZE, base);
    return AppendWholePathComponent(path, element);
}

// Joins the listed `relative` path to `copy` element by element, making each
// folder on the way.
static int MakeListedTarget(char *target, const char *copy, const char *relative)
{
    char element[PATH_BUFFER_SIZE];
    CopyTextBounded(target, PATH_BUFFER_SIZE, copy);
    for (;;) {
        const char *separator = strchr(relative, '\\');
        if (separator == NULL)
            return AppendWholePathComponent(target, relative);
        CopyTextBounded(element, (size_t)(separator - relative) + 1, relative);
        if (!AppendWholePathComponent(target, element) ||
            (!CreateDirectoryA(target, NULL) && GetLastError() != ERROR_ALREADY_EXISTS))
            return 0;
        relative = separator + 1;
    }
}

// 1 when the listed file is in the copy as listed; 0 when it is missing from
// the package or differs (it is then not in the copy); -1 when the copy
// cannot be made.
static int CopyListedFile(const char *root, const char *copy, const char *relative,
                          const unsigned char *listed, unsigned long long size)
{
    char source[PATH_BUFFER_SIZE];
    char target[PATH_BUFFER_SIZE];
    unsigned char digest[SHA256_SIZE];
    if (!JoinTo(source, root, relative) || !MakeListedTarget(target, copy, relative))
        return -1;
    // The copy is checked, not the package: nobody but an administrator can
    // change it between the check and its use.
    if (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES) {
        TellRun(RUN_EVENT_PACKAGE_REFUSED, relative, NULL, PACKAGE_FILE_MISSING);
        return 0;
    }
    int copied = CopyFileBounded(source, target, size);
    if (copied == 0)
        TellRun(RUN_EVENT_PACKAGE_REFUSED, relative, NULL, PACKAGE_FILE_UNLIKE);
    if (copied <= 0)
        return copied;
    if (HashFileSha256(target, digest) && memcmp(digest, listed, SHA256_SIZE) == 0)
        return 1;
    TellRun(RUN_EVENT_PACKAGE_REFUSED, relative, NULL, PACKAGE_FILE_UNLIKE);
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(target) ? 0 : -1;
}

static int CopyListedPackage(const char *root, const char *copy, const char *list, DWORD size)
{
    int unfit[PACKAGE_SUBDIRECTORY_COUNT] = {0, 0, 0, 0};
    char relative[PATH_BUFFER_SIZE];
    char path[PATH_BUFFER_SIZE];
    unsigned char digest[SHA256_SIZE];
    unsigned long long file_size;
    size_t offset = 0;
    while (offset < size) {
        if (!ReadPackageListLine(list, size, &offset, digest, &file_size, relative))
            return 0;
        int copied = CopyListedFile(root, copy, relative, digest, file_size);
        if (copied < 0)
            return 0;
        // The first element alone: `relative` is read anew next time.
        char *separator = strchr(relative, '\\');
        if (separator != NULL)
            *separator = '\0';
        for (int i = 0; i < PACKAGE_SUBDIRECTORY_COUNT && !copied && separator != NULL; ++i) {
            if (_stricmp(relative, PACKAGE_SUBDIRECTORIES[i]) == 0)
                unfit[i] = 1;
        }
    }
    // Its component then finds no subdirectory: "Instalator jest niekompletny".
    for (int i = 0; i < PACKAGE_SUBDIRECTORY_COUNT; ++i) {
        if (!unfit[i])
            continue;
        if (!JoinTo(path, copy, PACKAGE_SUBDIRECTORIES[i]))
            return 0;
        RemovePrivateContents(path, 1, NULL);
        RemovePrivateFolder(path, 1);
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            return 0;
    }
    return 1;
}

static int CopyWholePackage(const char *root, const char *copy)
{
    char pattern[PATH_BUFFER_SIZE];
    char target[PATH_BUFFER_SIZE];
    for (int i = 0; i < PACKAGE_SUBDIRECTORY_COUNT; ++i) {
        const char *name = PACKAGE_SUBDIRECTORIES[i];
        if (!JoinTo(pattern, root, name) || !JoinTo(target, copy, name))
            return 0;
        // A subdirectory that the package lacks stays missing in the copy.
        if (GetFileAttributesA(pattern) == INVALID_FILE_ATTRIBUTES)
            continue;
        if (!AppendWholePathComponent(pattern, "*") || !CreateDirectoryA(target, NULL) ||
            CopyTree(pattern, target, 1, NULL) != COPY_OK)
            return 0;
    }
    return 1;
}

int EnterPrivatePackage(PrivatePackage *package)
{
    char root[PATH_BUFFER_SIZE];
    char temporary[TEMPORARY_FOLDER_COUNT][PATH_BUFFER_SIZE];
    HANDLE folder = NULL;
    DWORD size = 0;
    int copied;
    const char *list = PackageList(&size);
    DWORD length = GetCurrentDirectoryA(PATH_BUFFER_SIZE, package->previous);

    package->copy[0] = '\0';
    package->folder = NULL;
    if (!ReadPackageRoot(root))
        return 0;
    ReadTemporaryFolders(temporary);
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        CopyTextBounded(package->previous, PATH_BUFFER_SIZE, root);
    for (int i = 0; i < TEMPORARY_FOLDER_COUNT && folder == NULL; ++i) {
        if (!MakePrivateFolder(temporary[i], package->copy, &folder))
            package->copy[0] = '\0';
    }
    if (folder == NULL)
        return 0;
    package->folder = folder;
    PauseRun(list == NULL);
    copied = list != NULL ? CopyListedPackage(root, package->copy, list, size)
                          : CopyWholePackage(root, package->copy);
    PauseRun(0);
    if (copied && SetCurrentDirectoryA(package->copy)) {
        TellRun(RUN_EVENT_PRIVATE_COPY, package->copy, NULL, 0);
        return 1;
    }
    LeavePrivatePackage(package, 0);
    return 0;
}

void LeavePrivatePackage(PrivatePackage *package, int drivers_started)
{
    char path[PATH_BUFFER_SIZE];
    SetCurrentDirectoryA(package->previous);
    if (package->copy[0] == '\0')
        return;
    // A started driver installer may still read its folder: a batch file is
    // opened anew for every line.
    CopyTextBounded(path, sizeof path, package->copy);
    RemovePrivateContents(path, 1, drivers_started ? "Drivers" : NULL);
    // Our own handle would keep the folder from being deleted.
    CloseHandle((HANDLE)package->folder);
    package->folder = NULL;
    RemovePrivateFolder(path, 1);
    package->copy[0] = '\0';
}

// The copies that runs left in `temporary`, a folder checked by
// IsFolderTrusted, each removed after its handle showed it ours: no link, and
// nothing in it that others could have put there. Nobody else can then rename
// it or what is in it, so it goes by name: Wine lists no folder that a handle
// holds for DELETE. One in use by a running installer, held open without
// FILE_SHARE_DELETE, cannot be opened for DELETE and stays.
static void RemoveLeftoverCopies(const char *temporary)
{
    WIN32_FIND_DATAA entry;
    char path[PATH_BUFFER_SIZE];
    HANDLE search = JoinTo(path, temporary, "instalator-*") ? FindFirstFileA(path, &entry)
                                                            : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!JoinTo(path, temporary, entry.cFileName))
            continue;
        HANDLE folder = CreateFileA(path, DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    NULL, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    NULL);
        if (folder == INVALID_HANDLE_VALUE)
            continue;
        int ours = IsFolderClosedToOthers(folder);
        CloseHandle(folder);
        if (ours) {
            RemovePrivateContents(path, 1, NULL);
            RemoveDirectoryA(path);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}
