#include "fileops.h"

#include "resource.h"

#include <windows.h>
#include <sddl.h>
#include <stdio.h>
#include <string.h>

// The subdirectories that a component needs whole; in "Drivers" each
// installer stands alone.
static const char *const WHOLE_SUBDIRECTORIES[] = {"msie", "ns", "sun"};
static const char *const PACKAGE_SUBDIRECTORIES[] = {"Drivers", "msie", "ns", "sun"};
enum { WHOLE_COUNT = 3, PACKAGE_SUBDIRECTORY_COUNT = 4, COPY_NAME_TRIES = 100 };

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

// The folder of instalator.exe, whatever the current directory. Its name comes
// as UTF-16; where the ANSI code page cannot spell it, the short name may.
static int ReadPackageRoot(char *root)
{
    wchar_t wide[PATH_BUFFER_SIZE];
    BOOL lossy = FALSE;
    DWORD length = GetModuleFileNameW(NULL, wide, PATH_BUFFER_SIZE);
    wchar_t *last = wide + length;
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        return 0;
    while (last > wide && *last != L'\\')
        --last;
    *last = L'\0';
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, root, PATH_BUFFER_SIZE, NULL,
                            &lossy) != 0 &&
        !lossy)
        return 1;
    length = GetShortPathNameW(wide, wide, PATH_BUFFER_SIZE);
    lossy = FALSE;
    return length != 0 && length < PATH_BUFFER_SIZE &&
           WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, root, PATH_BUFFER_SIZE,
                               NULL, &lossy) != 0 &&
           !lossy;
}

// A new folder in the temporary folder that only SYSTEM and Administrators can
// open: protected, so it inherits nothing, and what is put into it inherits
// the same.
static int MakePrivateFolder(char *copy)
{
    PSECURITY_DESCRIPTOR descriptor = NULL;
    SECURITY_ATTRIBUTES attributes;
    char name[32];
    int made = 0;
    DWORD length = GetTempPathA(PATH_BUFFER_SIZE, copy);
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        return 0;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1, &descriptor, NULL))
        return 0;
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = descriptor;
    attributes.bInheritHandle = FALSE;
    for (int attempt = 0; attempt < COPY_NAME_TRIES && !made; ++attempt) {
        copy[length] = '\0';
        FormatTextBounded(name, sizeof name, "instalator-%lu-%d", GetCurrentProcessId(), attempt);
        if (!AppendWholePathComponent(copy, name))
            break;
        made = CreateDirectoryA(copy, &attributes);
        if (!made && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    LocalFree(descriptor);
    return made;
}

// Deletes the tree at `path` (a buffer of PATH_BUFFER_SIZE, given back as it
// came). What cannot go now goes at the next restart, the files before their
// folders; so does everything when `now` is 0, and the entry `later` of this
// folder, when named.
static void RemovePrivateTree(char *path, int now, const char *later)
{
    WIN32_FIND_DATAA entry;
    size_t end = strlen(path);
    HANDLE search = INVALID_HANDLE_VALUE;
    if (AppendWholePathComponent(path, "*"))
        search = FindFirstFileA(path, &entry);
    path[end] = '\0';
    if (search != INVALID_HANDLE_VALUE) {
        do {
            int entry_now = now && !(later != NULL && _stricmp(entry.cFileName, later) == 0);
            if (!IsDotEntry(entry.cFileName) && AppendWholePathComponent(path, entry.cFileName)) {
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemovePrivateTree(path, entry_now, NULL);
                } else {
                    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
                    if (!entry_now || !DeleteFileA(path))
                        MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
                }
            }
            path[end] = '\0';
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    if (!now || !RemoveDirectoryA(path))
        MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
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
                          const unsigned char *listed)
{
    char source[PATH_BUFFER_SIZE];
    char target[PATH_BUFFER_SIZE];
    unsigned char digest[SHA256_SIZE];
    if (!JoinTo(source, root, relative) || !MakeListedTarget(target, copy, relative))
        return -1;
    if (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES)
        return 0;
    // The copy is checked, not the package: nobody but an administrator can
    // change it between the check and its use.
    if (!CopyFileA(source, target, TRUE))
        return -1;
    if (HashFileSha256(target, digest) && memcmp(digest, listed, SHA256_SIZE) == 0)
        return 1;
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(target) ? 0 : -1;
}

static int CopyListedPackage(const char *root, const char *copy, const char *list, DWORD size)
{
    int unfit[WHOLE_COUNT] = {0, 0, 0};
    char relative[PATH_BUFFER_SIZE];
    char path[PATH_BUFFER_SIZE];
    unsigned char digest[SHA256_SIZE];
    size_t offset = 0;
    while (offset < size) {
        if (!ReadPackageListLine(list, size, &offset, digest, relative))
            return 0;
        int copied = CopyListedFile(root, copy, relative, digest);
        if (copied < 0)
            return 0;
        for (int i = 0; i < WHOLE_COUNT && !copied; ++i) {
            size_t length = strlen(WHOLE_SUBDIRECTORIES[i]);
            if (_strnicmp(relative, WHOLE_SUBDIRECTORIES[i], length) == 0 &&
                relative[length] == '\\')
                unfit[i] = 1;
        }
    }
    // Its component then finds no subdirectory: "Instalator jest niekompletny".
    for (int i = 0; i < WHOLE_COUNT; ++i) {
        if (!unfit[i])
            continue;
        if (!JoinTo(path, copy, WHOLE_SUBDIRECTORIES[i]))
            return 0;
        RemovePrivateTree(path, 1, NULL);
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
    DWORD size = 0;
    const char *list = PackageList(&size);
    DWORD length = GetCurrentDirectoryA(PATH_BUFFER_SIZE, package->previous);

    package->copy[0] = '\0';
    if (!ReadPackageRoot(root))
        return 0;
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        CopyTextBounded(package->previous, PATH_BUFFER_SIZE, root);
    if (!MakePrivateFolder(package->copy))
        return 0;
    if ((list != NULL ? CopyListedPackage(root, package->copy, list, size)
                      : CopyWholePackage(root, package->copy)) &&
        SetCurrentDirectoryA(package->copy))
        return 1;
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
    RemovePrivateTree(path, 1, drivers_started ? "Drivers" : NULL);
    package->copy[0] = '\0';
}
