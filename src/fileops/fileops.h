// File placement: path joining in fixed path buffers, the guarded single-file
// copy with its Abort/Retry/Ignore conflict prompt, and the recursive tree copy.
// Also the bounded text helpers that every fixed buffer of the installer uses.
// No Windows types here, so the pure parts build natively too.
#ifndef INSTALATOR_FILEOPS_H
#define INSTALATOR_FILEOPS_H

#include <stddef.h>

// Copy results.
enum {
    COPY_OK = 0,
    COPY_FAILED = 1,
    TREE_SOURCE_ERROR = 2,
    TREE_MKDIR_FAILED = 3,
    COPY_ABORTED = 4
};

enum { PATH_CHARS_MAX = 260, PATH_BUFFER_SIZE = 261, PROMPT_TEXT_SIZE = 512 };

// Pure text logic (path_join.cpp, bounded_text.cpp, prompt_text.cpp).

// Extends `path` by one element, with a backslash between unless the path
// already ends with one or is empty; the whole text stays at 260 characters.
void AppendPathComponent(char *path, const char *element);

// AppendPathComponent that tells whether the whole element was joined: 0 when
// the 260-character bound cut it, and the path then names something else.
// Every path that is copied to, deleted, run or searched is joined this way.
int AppendWholePathComponent(char *path, const char *element);

// Length of the first `length` bytes of `path` up to and including its last
// backslash character; 0 when there is none.
size_t SeparatorEnd(const char *path, size_t length);

// In code pages 932, 936, 949 and 950 a character's second byte can be 0x5C,
// the backslash, so text is read a character at a time with the lead bytes of
// the system's ANSI code page, which UseSystemLeadBytes (Win32) sets once at
// start. `ranges`: pairs of first and last lead byte as in CPINFO's LeadByte,
// up to a 0 or six pairs; null, the default, makes every byte a character.
void SetLeadByteRanges(const unsigned char *ranges);
void UseSystemLeadBytes(void);
// 2 for a lead byte at `at` whose second byte lies within `length`, else 1.
size_t CharacterSize(const char *text, size_t at, size_t length);

// 1 for the "." and ".." entries that every directory listing holds.
int IsDotEntry(const char *name);

// Copy, append and format into a buffer of `size` bytes, always terminated and
// never written past `size`. A null buffer or a zero size writes nothing.
void CopyTextBounded(char *buffer, size_t size, const char *text);
void AppendTextBounded(char *buffer, size_t size, const char *text);
void FormatTextBounded(char *buffer, size_t size, const char *format, ...);

// A name from the file system inside a shown text stands between these marks:
// the installer's own texts are Windows-1250, but names come from the ANSI
// calls in the system's code page. Windows names never hold characters 1 to
// 31, so a mark is never part of a name.
#define NAME_BEGIN "\x01"
#define NAME_END "\x02"

// What the conflict prompt shows of one file: its name as the caller gave it,
// the low 32 bits of its size and its last-write time in UTC.
struct PromptFileFacts {
    const char *name;
    unsigned long size_low;
    int year, month, day, hour, minute, second;
};

// Composes the conflict prompt text into `buffer` (PROMPT_TEXT_SIZE bytes is
// what the copy uses), each name between NAME_BEGIN and NAME_END. Names too
// long for the buffer are shortened from the front, at a character's start,
// so the sizes, dates and the file names' ends always show.
void FormatConflictPrompt(char *buffer, size_t size, const PromptFileFacts *source,
                          const PromptFileFacts *target);

// Win32 operations (system_directories.cpp, polish_text.cpp, copy_guarded.cpp,
// copy_tree.cpp).

// The system or the Windows directory into `buffer` of `size` bytes; 0 when it
// is unavailable or does not fit whole (the platform then writes nothing).
int ReadSystemDirectory(char *buffer, unsigned int size);
int ReadWindowsDirectory(char *buffer, unsigned int size);

// 1 when `path` names an existing file, not a folder (file_kind.cpp).
int IsFile(const char *path);

// A wide path in `code_page` (system_code_page.cpp) into `path`
// (PATH_BUFFER_SIZE bytes): 1 only when it fits and converts back unchanged,
// so that no best-fit or default character names another file.
// WidePathToAnsi uses the system's ANSI code page and leaves `path` empty on 0.
int WidePathToCodePage(unsigned int code_page, const wchar_t *wide, char *path);
int WidePathToAnsi(const wchar_t *wide, char *path);

// Converts the Windows-1250 `text` to UTF-16 in `wide` of `count` characters,
// always terminated: what the installer shows appears with its Polish letters
// whatever the system's ANSI code page. A name between NAME_BEGIN and NAME_END
// is converted from the system's code page, and the marks are dropped. Only
// the first count - 1 bytes of the text are shown; a part that does not
// convert is left out.
void WidenPolishText(const char *text, wchar_t *wide, unsigned int count);

extern const char CONFLICT_PROMPT_CAPTION[];

// The package (private_package.cpp). The installer runs with administrator
// rights from a folder that a standard user may own, so no component reads
// that folder: the run copies the package (the folder of instalator.exe,
// whatever the current directory) into a new folder that only SYSTEM and
// Administrators can open, and works there. That folder is made only in a
// temporary folder that, with every folder above it, nobody but those and the
// running account can change (IsFolderTrusted): %TEMP%, else the Windows
// directory's Temp; it is held open, so nobody renames it, and must be no
// reparse point on a volume that keeps ACLs. A release carries the list of the
// package's files with their SHA-256 (package_list_text.cpp); then only the
// listed files are copied and each copy is checked. A file that is missing or
// differs is left out of the copy, and with it the rest of its subdirectory.
// Without a list the four subdirectories are copied whole, unchecked.
struct PrivatePackage {
    char copy[PATH_BUFFER_SIZE];
    char previous[PATH_BUFFER_SIZE];  // the current directory to go back to
    void *folder;                     // the copy's folder, held open (a HANDLE)
};
// 1 with the copy made and the current directory; 0 when no copy could be
// made (no fit temporary folder, no room), and nothing is left of it.
int EnterPrivatePackage(PrivatePackage *package);
// Back to the previous current directory, and the copy removed; what cannot
// go now goes at the next restart, and so does all of "Drivers" when
// `drivers_started`, since a started installer may still read it. A link
// found in the copy is removed itself, never followed, never queued.
void LeavePrivatePackage(PrivatePackage *package, int drivers_started);
// 1 when the program carries a package list, and so has checked its copy.
int PackageListCarried(void);

enum { SHA256_SIZE = 32 };
// SHA-256 of the file's content through the system's CryptoAPI; 0 when the
// file cannot be read whole.
int HashFileSha256(const char *path, unsigned char digest[SHA256_SIZE]);
// Between HoldHashProvider(1) and HoldHashProvider(0) every hash uses one
// provider: acquiring one per file costs more than hashing a small file.
void HoldHashProvider(int hold);
// 1 with the listed SHA-256 of the package file `relative` (backslashes, any
// ASCII case) when the program carries a list that names it.
int FindListedDigest(const char *relative, unsigned char digest[SHA256_SIZE]);
// Pure: the line of a package list that starts at `*offset` of `list`
// (`length` bytes): "<64 hex digits> <size in bytes>  <path>\n", sha256sum's
// line with the file's size, in up to 19 digits. Gives its digest, its size
// and its path with backslashes in `path` (PATH_BUFFER_SIZE bytes) and moves
// `*offset` past the line. 0 for a line of another form, and for a
// path that is not relative, has an empty or ".." element, or holds anything
// but printable ASCII without ':' and backslash.
int ReadPackageListLine(const char *list, size_t length, size_t *offset,
                        unsigned char digest[SHA256_SIZE], unsigned long long *size, char *path);
// Copies `source` to the new file `target` if it holds `size` bytes, never
// writing more (bounded_copy.cpp): 1 when copied, 0 when the source is
// missing or of another size, -1 when the copy cannot be made. Keeps the
// source's last-write time; nothing is left at `target` unless copied.
int CopyFileBounded(const char *source, const char *target, unsigned long long size);

// A refused copy (CopyFileGuarded) prompts with Abort, Retry and Ignore:
// Abort is COPY_ABORTED, Retry clears the target's read-only attribute,
// deletes it and copies again, Ignore leaves the old file and counts as
// placed. With a non-zero `compare_mode` a target of the source's size and
// last-write time counts as placed without a prompt. A target that cannot
// even be opened is COPY_FAILED without a prompt.
int CopyFileGuarded(const char *source, const char *target, int compare_mode);
// CopyFileGuarded that writes only while IsTargetFreeOfLinks(target,
// base_length) holds: checked before every attempt and before the Retry
// answer's delete; a link found is COPY_FAILED without a prompt.
int CopyFileGuardedFreeOfLinks(const char *source, const char *target, int compare_mode,
                               size_t base_length);
int CopyTree(const char *source_pattern, const char *target_dir, int recursive,
             char *failed_path_out);

// The answers of a run that nobody watches (run_answers.cpp), set once by the
// shell before the run. Unattended, the copy answers Retry once where it would
// prompt. A target still refused, or one that cannot be opened, that is in use
// (shared elsewhere without us, or mapped) is written beside itself as
// "<target>.ocf-new", which replaces it at the next restart; the copy counts
// as placed and the target is recorded in `replaced`, up to
// RESTART_REPLACEMENTS_MAX (past that, or where the new name does not fit,
// COPY_FAILED). Any other refusal is COPY_FAILED. The driver step waits for
// its installer only when unattended.
enum { RESTART_REPLACEMENTS_MAX = 16 };
struct RestartReplacements {
    int count;
    char target[RESTART_REPLACEMENTS_MAX][PATH_BUFFER_SIZE];
};
// Unattended while `replaced` (the caller's, zeroed) is not null; the copy
// checks for room before it writes, and lists a target once.
void SetUnattendedAnswers(RestartReplacements *replaced);
RestartReplacements *UnattendedAnswers(void);
void RecordRestartReplacement(const char *target);
// 1 when `target` is recorded already.
int RestartReplacementRecorded(const char *target);
// 1 when the refusal `error` to write `path` means another program holds it.
int TargetInUse(const char *path, unsigned long error);

// What a run does, told as it happens (run_events.cpp), for the log and the
// record of what was changed. The shell sets the listener before a run; with
// none, nothing is told. `path` is a full path unless said otherwise;
// `detail` and `number` are as each event says, else null and 0.
enum {
    RUN_EVENT_WILL_CHANGE,        // path: about to be written or removed; number: CHANGE_*
    RUN_EVENT_PLACED,             // path written; detail: its source
    RUN_EVENT_PLACED_AT_RESTART,  // path replaced at the next restart; detail: its source
    RUN_EVENT_BACKED_UP,          // path: the backup made; detail: the file backed up
    RUN_EVENT_REMOVED,            // path deleted
    RUN_EVENT_REMOVED_AT_RESTART, // path deleted at the next restart
    RUN_EVENT_NOT_PLACED,         // path meant to be placed but not
    RUN_EVENT_HOME_FOUND,         // path: a Java home
    RUN_EVENT_HOME_SKIPPED,       // path: a Java home that gets nothing; number: HOME_*
    RUN_EVENT_READER_ROW,         // number: the reader list's row
    RUN_EVENT_DRIVER_EXIT,        // path: the driver installer's name in Drivers; number: exit code
    RUN_EVENT_PACKAGE_REFUSED,    // path: a package file's name; number: PACKAGE_FILE_*
    RUN_EVENT_PRIVATE_COPY,       // path: the private copy's folder
    RUN_EVENT_NO_WAY_BACK         // path: what the uninstall cannot take back; number: WAY_BACK_*
};
// Why a home gets nothing: others may change it; it has no launcher for the
// commands; the commands have already run in another home.
enum { HOME_UNTRUSTED, HOME_NO_LAUNCHER, HOME_HANDLED };
enum { PACKAGE_FILE_MISSING, PACKAGE_FILE_UNLIKE };
// Why a run has no way back: the program's file is not the image that runs
// (path: the program), the record cannot be read (path: its folder), or its
// folder, the program's copy or the registration cannot be written (path: the
// folder): the run changes nothing; a file's original cannot be kept (path:
// the file), so the file is left as it is.
enum { WAY_BACK_PROGRAM_CHANGED, WAY_BACK_RECORD_UNREADABLE, WAY_BACK_ORIGINAL_NOT_KEPT,
       WAY_BACK_NOT_MADE };
// A change told now (the file changes next), or ahead with others that
// follow, so that the way back is made sure of once for all of them.
enum { CHANGE_NOW, CHANGE_AHEAD };
// The listener's answer: 0 refuses a RUN_EVENT_WILL_CHANGE told with
// CHANGE_NOW, and the file must then stay as it is; TellRun gives it, 1 when
// nobody listens.
typedef int (*RunListener)(int event, const char *path, const char *detail, long long number,
                           void *context);
void SetRunListener(RunListener listener, void *context);
int TellRun(int event, const char *path, const char *detail, long long number);
// While paused, nothing is told: the private copy of the package changes
// nothing on the PC.
void PauseRun(int paused);

// 1 when writing `target` cannot reach another file through a link
// (target_links.cpp): the target is missing, or is no reparse point and has
// one name only, and no folder of its path from its first `base_length`
// characters on (the base folder itself included) is a reparse point or
// cannot be read (a missing one included: nothing can be written there). A
// copy writes through a hard link into every name of the file; a junction on
// the path sends the copy, and the Retry answer's delete, wherever it leads.
int IsTargetFreeOfLinks(const char *target, size_t base_length);

// Who may change what we use (path_trust.cpp). We run elevated, so a file
// that another user can change, or a folder in which they can delete or
// rename entries, lets them choose what we write, read or run.

// 1 for a path from a drive root (C:\...) or a UNC root (\\server\...).
int IsFullPath(const char *path);

// Self-relative security descriptors with a protected DACL (path_trust.cpp).
// ADMINISTRATORS_ONLY_SECURITY: SYSTEM and Administrators, full control, for
// a folder and what it holds: nobody else may even open them, so nobody else
// can hold them open. PROGRAM_SECURITY: the same for one program file that
// Users may read and start too (a program that they cannot read does not
// start, so it cannot ask for elevation).
extern const unsigned int ADMINISTRATORS_ONLY_SECURITY[18];
extern const unsigned int PROGRAM_SECURITY[24];

// What a security descriptor belongs to: a file we run or read, the folder
// that holds a launcher (a DLL added there is loaded with it), any other
// folder on a path, or a folder that code is loaded from (a file or a folder
// added there can be code).
enum {
    TRUST_LAUNCHER = 0,
    TRUST_LAUNCHER_FOLDER = 1,
    TRUST_PATH_FOLDER = 2,
    TRUST_CODE_FOLDER = 3
};

// 1 when anyone but SYSTEM, Administrators, TrustedInstaller and
// `installer_user` (a SID, or null) may change an object of that kind whose
// owner SID and DACL (PACL; null lets everyone in) these are: write it, delete
// or rename it, change its permissions or owner, delete a child of a folder,
// add a file beside the launcher or into a code folder, or add a folder into
// a code folder. Reads no file.
int OthersMayChange(const void *owner, const void *dacl, int kind, const void *installer_user);

// The account that runs us, as a SID inside `buffer` (room for the token's
// user and its SID, aligned for both); null when it cannot be read.
union InstallerUser {
    void *align;
    unsigned char bytes[96];
};
const void *ReadInstallerUser(InstallerUser *buffer);

// 1 when the full path of a folder and every folder above it up to its root
// can be changed as TRUST_PATH_FOLDER by nobody but those and the account that
// runs us, and none of them is a reparse point: nobody else can delete, rename
// or replace what is in it. 0 otherwise, and when any cannot be read.
int IsFolderTrusted(const char *folder);
// IsFolderTrusted with the folder itself checked as `kind`.
int IsFolderTrustedAs(const char *folder, int kind);

// 1 when a program's tree at the full path `folder` is as safe to write into
// and run from: every folder above it as by IsFolderTrusted, the folder and
// every folder in it as TRUST_CODE_FOLDER, every file in it as TRUST_LAUNCHER,
// and no reparse point anywhere. 0 otherwise, for a root, and when any of it
// cannot be read, a folder lies TREE_DEPTH_MAX levels below `folder` or
// deeper, or a path does not fit a path buffer. One walk of the whole tree.
enum { TREE_DEPTH_MAX = 16 };
int IsTreeTrusted(const char *folder);

// 1 when the folder open as `folder` (a HANDLE with READ_CONTROL and
// FILE_READ_ATTRIBUTES) is no reparse point and can be changed as
// TRUST_CODE_FOLDER by nobody but those and the account that runs us: nobody
// else can add anything to it, nor change what is in it.
int IsFolderClosedToOthers(void *folder);

#endif
