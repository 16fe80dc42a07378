#include "fileops.h"

#include <string.h>
#include <windows.h>
#include <aclapi.h>

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
//   that holds it.
// - "Ownership of Objects", "Access Control Lists": an owner is always
//   allowed WRITE_DAC, so an owner other than the trusted counts as able to
//   change; "Null DACLs and Empty DACLs": a null DACL grants everyone all.
// Deny ACEs are ignored: at worst a launcher is refused, never wrongly run.

enum { TRUSTED_SID_COUNT = 3 };

static_assert(sizeof(InstallerUser) >= sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE,
              "room for the token's user");

// SYSTEM, Administrators, TrustedInstaller: sub-authority count, then values.
static const DWORD TRUSTED_SIDS[TRUSTED_SID_COUNT][9] = {
    {1, SECURITY_LOCAL_SYSTEM_RID},
    {2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS},
    {6, 80, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u},
};

int IsFullPath(const char *path)
{
    char drive = path[0];
    if ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z'))
        return path[1] == ':' && path[2] == '\\';
    return path[0] == '\\' && path[1] == '\\';
}

static int IsTrusted(PSID sid, PSID const *trusted, const void *installer_user)
{
    if (!IsValidSid(sid))
        return 0;
    if (installer_user != NULL && EqualSid(sid, (PSID)installer_user))
        return 1;
    for (int i = 0; i < TRUSTED_SID_COUNT; ++i) {
        if (trusted[i] != NULL && EqualSid(sid, trusted[i]))
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
    SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    PSID trusted[TRUSTED_SID_COUNT] = {};
    ACCESS_MASK change = ChangeRights(kind);
    int others_may = 1;

    for (int i = 0; i < TRUSTED_SID_COUNT; ++i) {
        const DWORD *s = TRUSTED_SIDS[i];
        if (!AllocateAndInitializeSid(&nt_authority, (BYTE)s[0], s[1], s[2], s[3], s[4], s[5],
                                      s[6], s[7], s[8], &trusted[i]))
            trusted[i] = NULL;
    }
    if (owner == NULL || !IsTrusted((PSID)owner, trusted, installer_user) || dacl == NULL)
        goto done;
    for (DWORD index = 0; index < ((const ACL *)dacl)->AceCount; ++index) {
        ACCESS_ALLOWED_ACE *ace;
        if (!GetAce((PACL)dacl, index, (void **)&ace))
            goto done;
        BYTE type = ace->Header.AceType;
        if ((ace->Header.AceFlags & INHERIT_ONLY_ACE) || type == ACCESS_DENIED_ACE_TYPE ||
            type == ACCESS_DENIED_CALLBACK_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
            type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE)
            continue;
        // Other kinds of grant (object ACEs) have no place on a file: refuse.
        if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
            goto done;
        ACCESS_MASK mask = ace->Mask;
        MapGenericMask(&mask, &mapping);
        if ((mask & change) && !IsTrusted((PSID)&ace->SidStart, trusted, installer_user))
            goto done;
    }
    others_may = 0;

done:
    for (int i = 0; i < TRUSTED_SID_COUNT; ++i) {
        if (trusted[i] != NULL)
            FreeSid(trusted[i]);
    }
    return others_may;
}

// By name: measured under Wine no dearer than a handle and GetSecurityInfo,
// and there is no handle to release.
static int IsSecurityTrusted(const char *path, int kind, const void *installer_user)
{
    PSID owner = NULL;
    PACL dacl = NULL;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    if (GetNamedSecurityInfoA((char *)path, SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              NULL, &dacl, NULL, &descriptor) != ERROR_SUCCESS)
        return 0;
    int trusted = !OthersMayChange(owner, dacl, kind, installer_user);
    LocalFree(descriptor);
    return trusted;
}

// 1 when the object at `path` is no reparse point and nobody but the trusted
// and `installer_user` may change it as an object of `kind`. A reparse point
// could lead elsewhere by the will of its owner; telling the harmless ones
// apart is not worth it.
static int OnlyTrustedMayChange(const char *path, int kind, const void *installer_user)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return 0;
    return IsSecurityTrusted(path, kind, installer_user);
}

// Cuts `path` to its folder; 0 at a root (C:\ or \\server\share).
static int CutToParent(char *path)
{
    size_t length = strlen(path);
    size_t end = SeparatorEnd(path, length);
    if (end == 0 || end == length)
        return 0;
    char *last = path + end - 1;
    if (path[0] == '\\' && path[1] == '\\') {
        const char *share = strchr(path + 2, '\\');
        if (share == NULL || last <= share)
            return 0;
    } else if (last == path + 2) {
        last[1] = '\0';  // keeps the drive root's backslash
        return 1;
    }
    *last = '\0';
    return 1;
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

int IsFolderTrusted(const char *folder)
{
    char walked[PATH_BUFFER_SIZE];
    InstallerUser token_user;

    if (!IsFullPath(folder) || strlen(folder) >= sizeof walked)
        return 0;
    const void *installer_user = ReadInstallerUser(&token_user);
    CopyTextBounded(walked, sizeof walked, folder);
    do {
        if (!OnlyTrustedMayChange(walked, TRUST_PATH_FOLDER, installer_user))
            return 0;
    } while (CutToParent(walked));
    return 1;
}

// Everything inside the folder `path` (a path buffer, given back as it came):
// the find data tells a reparse point without another call. Java homes nest
// a handful of folders deep; the bound stops a tree that goes on without end.
static int IsContentTrusted(char *path, int depth, const void *installer_user)
{
    WIN32_FIND_DATAA found;
    HANDLE search = INVALID_HANDLE_VALUE;
    size_t length = strlen(path);
    int trusted = 0;

    if (depth < TREE_DEPTH_MAX && AppendWholePathComponent(path, "*"))
        search = FindFirstFileA(path, &found);
    path[length] = '\0';
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        int kind = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? TRUST_CODE_FOLDER
                                                                        : TRUST_LAUNCHER;
        if (IsDotEntry(found.cFileName))
            continue;
        // A name that the code page cannot spell reads as another: refused.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
            !AppendWholePathComponent(path, found.cFileName) ||
            !IsSecurityTrusted(path, kind, installer_user) ||
            (kind == TRUST_CODE_FOLDER && !IsContentTrusted(path, depth + 1, installer_user)))
            goto done;
        path[length] = '\0';
    } while (FindNextFileA(search, &found));
    trusted = GetLastError() == ERROR_NO_MORE_FILES;

done:
    FindClose(search);
    path[length] = '\0';
    return trusted;
}

int IsTreeTrusted(const char *folder)
{
    char path[PATH_BUFFER_SIZE];
    char parent[PATH_BUFFER_SIZE];
    InstallerUser token_user;
    size_t length = strlen(folder);

    if (length >= sizeof path)
        return 0;
    memcpy(path, folder, length + 1);
    if (length > 0 && SeparatorEnd(path, length) == length)
        path[--length] = '\0';
    memcpy(parent, path, length + 1);
    // A root has no folder above it, and is no tree of one program.
    if (!CutToParent(parent) || !IsFolderTrusted(parent))
        return 0;
    const void *installer_user = ReadInstallerUser(&token_user);
    return OnlyTrustedMayChange(path, TRUST_CODE_FOLDER, installer_user) &&
           IsContentTrusted(path, 0, installer_user);
}
