#include "fileops.h"

#include <string.h>
#include <windows.h>
#include <winternl.h>

// Their DACLs: S-1-5-18 and S-1-5-32-544 with FILE_ALL_ACCESS (inherited by
// files and folders in the folder); for the program S-1-5-32-545 too, with
// FILE_GENERIC_READ | FILE_GENERIC_EXECUTE.
const unsigned int ADMINISTRATORS_ONLY_SECURITY[18] = {
    0x90040001, 0, 0, 0, 20, 0x00340002, 2,
    0x00140300, FILE_ALL_ACCESS, 0x00000101, 0x05000000, 18,
    0x00180300, FILE_ALL_ACCESS, 0x00000201, 0x05000000, 32, 544};
const unsigned int PROGRAM_SECURITY[24] = {
    0x90040001, 0, 0, 0, 20, 0x004C0002, 3,
    0x00140000, FILE_ALL_ACCESS, 0x00000101, 0x05000000, 18,
    0x00180000, FILE_ALL_ACCESS, 0x00000201, 0x05000000, 32, 544,
    0x00180000, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, 0x00000201, 0x05000000, 32, 545};

// We run elevated, so a launcher that another user can swap runs their code
// with our rights. The rule follows Microsoft's documentation:
// - "File Security and Access Rights", "File Access Rights Constants": who
//   holds FILE_WRITE_DATA/FILE_APPEND_DATA can rewrite a file; DELETE deletes
//   or renames it, and FILE_DELETE_CHILD on a folder does so for any child;
//   WRITE_DAC and WRITE_OWNER hand out every other right. GENERIC_* rights
//   in an ACE stand for the file rights of FILE_GENERIC_MAPPING.
// - "Dynamic-Link Library Search Order": a program loads DLLs from its own
//   folder first, so FILE_ADD_FILE there is as good as writing the launcher.
//   FILE_ADD_SUBDIRECTORY on higher folders is left out: every user holds it
//   on a default C:\, and it cannot touch a folder that exists.
// - A folder that code is loaded from (a Java home and all inside it) counts
//   both: a file added to lib\ext is loaded, and so is a new lib\endorsed,
//   before the home's own classes.
// - "ACE_HEADER" (INHERIT_ONLY_ACE): such an ACE does not apply to the object
//   that holds it; OBJECT_INHERIT_ACE: files made in the folder take it.
// - "Ownership of Objects", "Access Control Lists": an owner is always
//   allowed WRITE_DAC, so an owner other than the trusted counts as able to
//   change; "Null DACLs and Empty DACLs": a null DACL grants everyone all.
// Deny ACEs are ignored: at worst a launcher is refused, never wrongly run.

enum { TRUSTED_SID_COUNT = 3 };

static_assert(sizeof(InstallerUser) >= sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE,
              "room for the token's user");

// A SID's layout with room for six sub-authorities, built once, not per call.
struct TrustedSid {
    BYTE revision;
    BYTE count;
    BYTE authority[6];
    DWORD values[6];
};

// SYSTEM, Administrators, TrustedInstaller.
static const TrustedSid TRUSTED_SIDS[TRUSTED_SID_COUNT] = {
    {SID_REVISION, 1, {0, 0, 0, 0, 0, 5}, {SECURITY_LOCAL_SYSTEM_RID}},
    {SID_REVISION, 2, {0, 0, 0, 0, 0, 5}, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}},
    {SID_REVISION, 6, {0, 0, 0, 0, 0, 5},
     {80, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u}},
};

int IsFullPath(const char *path)
{
    char drive = path[0];
    if ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z'))
        return path[1] == ':' && path[2] == '\\';
    return path[0] == '\\' && path[1] == '\\';
}

static int IsTrusted(PSID sid, const void *installer_user)
{
    if (!IsValidSid(sid))
        return 0;
    if (installer_user != NULL && EqualSid(sid, (PSID)installer_user))
        return 1;
    for (int i = 0; i < TRUSTED_SID_COUNT; ++i) {
        if (EqualSid(sid, (PSID)&TRUSTED_SIDS[i]))
            return 1;
    }
    return 0;
}

static ACCESS_MASK ChangeRights(int kind)
{
    ACCESS_MASK rights = DELETE | WRITE_DAC | WRITE_OWNER;
    if (kind == TRUST_LAUNCHER)
        return rights | FILE_WRITE_DATA | FILE_APPEND_DATA;
    rights |= FILE_DELETE_CHILD;
    if (kind == TRUST_CODE_FOLDER)
        rights |= FILE_ADD_SUBDIRECTORY;
    return kind == TRUST_PATH_FOLDER ? rights : rights | FILE_ADD_FILE;
}

int OthersMayChange(const void *owner, const void *dacl, int kind, const void *installer_user)
{
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    SID creator_owner = {SID_REVISION, 1, SECURITY_CREATOR_SID_AUTHORITY,
                         {SECURITY_CREATOR_OWNER_RID}};
    ACCESS_MASK change = ChangeRights(kind);

    if (owner == NULL || !IsTrusted((PSID)owner, installer_user) || dacl == NULL)
        return 1;
    for (DWORD index = 0; index < ((const ACL *)dacl)->AceCount; ++index) {
        ACCESS_ALLOWED_ACE *ace;
        if (!GetAce((PACL)dacl, index, (void **)&ace))
            return 1;
        BYTE type = ace->Header.AceType;
        BYTE flags = ace->Header.AceFlags;
        // The files that we add to a code folder (lib\ext) take its
        // object-inherit grants; CREATOR OWNER then stands for us.
        int for_new_files = kind == TRUST_CODE_FOLDER && (flags & OBJECT_INHERIT_ACE) &&
                            !EqualSid((PSID)&ace->SidStart, &creator_owner);
        if (((flags & INHERIT_ONLY_ACE) && !for_new_files) || type == ACCESS_DENIED_ACE_TYPE ||
            type == ACCESS_DENIED_CALLBACK_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
            type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE)
            continue;
        // Other kinds of grant (object ACEs) have no place on a file: refuse.
        if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
            return 1;
        ACCESS_MASK mask = ace->Mask;
        MapGenericMask(&mask, &mapping);
        if ((mask & change) && !IsTrusted((PSID)&ace->SidStart, installer_user))
            return 1;
    }
    return 0;
}

// The account that runs us: the administrator who typed the password, or in
// Admin Approval Mode the user, which Windows does not treat as a boundary.
const void *ReadInstallerUser(InstallerUser *buffer)
{
    HANDLE token;
    DWORD size;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return NULL;
    int read = GetTokenInformation(token, TokenUser, buffer->bytes, sizeof buffer->bytes, &size);
    CloseHandle(token);
    return read ? ((TOKEN_USER *)buffer->bytes)->User.Sid : NULL;
}

typedef LONG(WINAPI *NtCreateFileFunction)(HANDLE *, ACCESS_MASK, OBJECT_ATTRIBUTES *,
                                           IO_STATUS_BLOCK *, LARGE_INTEGER *, ULONG, ULONG, ULONG,
                                           ULONG, void *, ULONG);

// Opens `name` (`length` characters) inside the folder open as `parent`, or
// the NT path `name` with a null parent; a link at its end is opened itself.
// Relative to a checked handle, no folder above is passed by its name again.
// `list`: FILE_LIST_DIRECTORY, for a folder to be listed through the handle.
static HANDLE OpenInFolder(HANDLE parent, const wchar_t *name, size_t length, ACCESS_MASK list)
{
    static NtCreateFileFunction create;
    UNICODE_STRING text = {(USHORT)(length * 2), (USHORT)(length * 2), (wchar_t *)name};
    OBJECT_ATTRIBUTES object;
    IO_STATUS_BLOCK status;
    HANDLE handle;
    InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, parent, NULL);
    if (create == NULL)
        create = (NtCreateFileFunction)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"),
                                                              "NtCreateFile");
    if (create == NULL || length == 0 || length > PATH_CHARS_MAX ||
        create(&handle, READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE | list, &object, &status,
               NULL, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
               FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT,
               NULL, 0) < 0)
        return NULL;
    return handle;
}

// The largest answer for owner and DACL: a relative header, two SIDs (owner,
// and a group that a file system may add) and an ACL, whose size is a WORD.
enum { SECURITY_READ_SIZE = sizeof(SECURITY_DESCRIPTOR_RELATIVE) + 2 * SECURITY_MAX_SID_SIZE +
                            0xFFFF };

// 1 when the object open as `handle` is no reparse point (`folder`: checked
// here, else the caller knows) and only the trusted may change it as `kind`.
// A reparse point could lead elsewhere by the will of its owner; telling the
// harmless ones apart is not worth it. One read each into a buffer that fits
// any answer: GetSecurityInfo asks twice (size, then data), and Wine's
// GetFileInformationByHandle also asks its mount manager for the volume.
static int IsHandleTrusted(HANDLE handle, int folder, int kind, const void *installer_user)
{
    FILE_ATTRIBUTE_TAG_INFO information;
    union {
        void *align;
        unsigned char bytes[SECURITY_READ_SIZE];
    } descriptor;
    const SECURITY_DESCRIPTOR_RELATIVE *header = (SECURITY_DESCRIPTOR_RELATIVE *)descriptor.bytes;
    DWORD size;
    if (folder && (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &information,
                                                 sizeof information) ||
                   (information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                   !(information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)))
        return 0;
    if (!GetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                 descriptor.bytes, sizeof descriptor.bytes, &size) ||
        header->Owner >= size || header->Dacl >= size)
        return 0;
    // The answer is self-relative: offsets from its start, 0 for none.
    const unsigned char *owner = header->Owner ? descriptor.bytes + header->Owner : NULL;
    const unsigned char *dacl =
        (header->Control & SE_DACL_PRESENT) && header->Dacl ? descriptor.bytes + header->Dacl
                                                            : NULL;
    return !OthersMayChange(owner, dacl, kind, installer_user);
}

// Opens the full path `folder` from its root down, each folder relative to
// the one above and checked before the next is opened: TRUST_PATH_FOLDER, the
// last as `last_kind`, opened with `list` too. Its handle, or null at the
// first that fails. `wide` (PATH_BUFFER_SIZE) gets the path in UTF-16.
static HANDLE OpenTrustedFolder(const char *folder, int last_kind, ACCESS_MASK list,
                                wchar_t *wide, const void *installer_user)
{
    wchar_t root[PATH_BUFFER_SIZE + 8] = L"\\??\\";
    size_t at = 3;
    HANDLE handle = NULL;
    if (!IsFullPath(folder) ||
        !MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, folder, -1, wide, PATH_BUFFER_SIZE))
        return NULL;
    if (wide[0] == L'\\') {
        root[4] = L'U', root[5] = L'N', root[6] = L'C';
        // \\server\share\ is the root.
        for (int separators = 0; wide[at] != L'\0' && separators < 2; ++at)
            separators += wide[at] == L'\\';
    }
    // The walk stopped at the text's end at the latest: all `at` characters are there.
    size_t skip = wide[0] == L'\\';
    size_t prefix = skip ? 7 : 4;
    size_t root_length = prefix + at - skip;
    memmove(root + prefix, wide + skip, (at - skip) * sizeof *wide);
    root[root_length] = L'\0';
    // A root is no tree of one program.
    if (wide[at] == L'\0' && last_kind == TRUST_CODE_FOLDER)
        return NULL;
    handle = OpenInFolder(NULL, root, root_length, wide[at] == L'\0' ? list : 0);
    int kind = wide[at] == L'\0' ? last_kind : TRUST_PATH_FOLDER;
    while (handle != NULL && IsHandleTrusted(handle, 1, kind, installer_user)) {
        const wchar_t *name = wide + at;
        if (*name == L'\0')
            return handle;
        size_t length = wcscspn(name, L"\\");
        wchar_t separator = name[length];
        // Wine 8 opens a Unix link's target even so; the folder's entry,
        // read through checked folders only, still shows the link.
        wide[at + length] = L'\0';
        DWORD attributes = GetFileAttributesW(wide);
        wide[at + length] = separator;
        at += length + (separator == L'\\');
        kind = wide[at] == L'\0' ? last_kind : TRUST_PATH_FOLDER;
        // A doubled backslash, an empty name, fails to open.
        HANDLE child = attributes == INVALID_FILE_ATTRIBUTES ||
                               (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                           ? NULL
                           : OpenInFolder(handle, name, length, wide[at] == L'\0' ? list : 0);
        CloseHandle(handle);
        handle = child;
    }
    if (handle != NULL)
        CloseHandle(handle);
    return NULL;
}

// Everything inside the folder open as `folder`, listed through that handle
// (the listing is of the folder checked, and needs no open by path) in
// UTF-16: an ANSI name that the code page cannot spell may best-fit to a
// sibling's, which would then be checked in its place. Each entry is opened
// relative to its folder. Java homes nest a handful of folders deep; the
// bound stops a tree that goes on without end.
static int IsContentTrusted(HANDLE folder, int depth, const void *installer_user)
{
    union {
        void *align;
        unsigned char bytes[4096];
    } listing;
    if (depth >= TREE_DEPTH_MAX)
        return 0;
    while (GetFileInformationByHandleEx(folder, FileIdBothDirectoryInfo, listing.bytes,
                                        sizeof listing.bytes)) {
        const FILE_ID_BOTH_DIR_INFO *found = (FILE_ID_BOTH_DIR_INFO *)listing.bytes;
        for (;; found = (FILE_ID_BOTH_DIR_INFO *)((const unsigned char *)found +
                                                  found->NextEntryOffset)) {
            const wchar_t *name = found->FileName;
            size_t length = found->FileNameLength / 2;
            int is_folder = (found->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (!(name[0] == L'.' && (length == 1 || (length == 2 && name[1] == L'.')))) {
                if (found->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    return 0;
                HANDLE entry =
                    OpenInFolder(folder, name, length, is_folder ? FILE_LIST_DIRECTORY : 0);
                int entry_trusted =
                    entry != NULL &&
                    IsHandleTrusted(entry, is_folder,
                                    is_folder ? TRUST_CODE_FOLDER : TRUST_LAUNCHER,
                                    installer_user) &&
                    (!is_folder || IsContentTrusted(entry, depth + 1, installer_user));
                if (entry != NULL)
                    CloseHandle(entry);
                if (!entry_trusted)
                    return 0;
            }
            if (found->NextEntryOffset == 0)
                break;
        }
    }
    return GetLastError() == ERROR_NO_MORE_FILES;
}

// The folder opened as `kind` after the walk down to it; with `list`, the
// whole tree in it too.
static int IsOpenedTrusted(const char *folder, int kind, ACCESS_MASK list)
{
    wchar_t wide[PATH_BUFFER_SIZE];
    InstallerUser token_user;
    const void *installer_user = ReadInstallerUser(&token_user);
    HANDLE handle = OpenTrustedFolder(folder, kind, list, wide, installer_user);
    if (handle == NULL)
        return 0;
    int trusted = list == 0 || IsContentTrusted(handle, 0, installer_user);
    CloseHandle(handle);
    return trusted;
}

int IsFolderTrustedAs(const char *folder, int kind)
{
    return IsOpenedTrusted(folder, kind, 0);
}

int IsFolderTrusted(const char *folder)
{
    return IsOpenedTrusted(folder, TRUST_PATH_FOLDER, 0);
}

int IsTreeTrusted(const char *folder)
{
    return IsOpenedTrusted(folder, TRUST_CODE_FOLDER, FILE_LIST_DIRECTORY);
}

int IsFolderClosedToOthers(void *folder)
{
    InstallerUser token_user;
    return IsHandleTrusted((HANDLE)folder, 1, TRUST_CODE_FOLDER, ReadInstallerUser(&token_user));
}
