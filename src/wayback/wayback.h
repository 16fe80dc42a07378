// The way back: the record of what runs changed, kept beside the program's
// own copy in Program Files, the registration in Apps & features, and the
// uninstall of each recorded file. The record's text and the decisions are
// pure and build natively too; the rest needs Windows.
#ifndef INSTALATOR_WAYBACK_H
#define INSTALATOR_WAYBACK_H

#include <stddef.h>

#include "fileops.h"

// The record (record_text.cpp, pure). The record keeps, per file that runs
// created, replaced or removed, one CRLF line: its kind (N: it did not exist
// before; K: its original is kept beside the record), its count under
// SharedDLLs (S: taken by us; O: taken off, left to the other programs that
// count it; else -), what the runs left: the SHA-256 in lower-case hex, "-"
// for no file, "?" while a run has not said (it was cut short while changing
// the file); for K the kept original's SHA-256, also its name in the folder;
// and its full path. Runs append: a later line for the same path replaces
// the entry, and a last line without its CRLF, a write cut short, is dropped.
// The record is read by an elevated program: a line of another form, or a
// path that is not a full drive path or holds an empty, "." or ".." element,
// makes the whole record unreadable.
enum { RECORD_NEW = 'N', RECORD_KEPT = 'K' };
enum { LEFT_NOTHING, LEFT_DIGEST, LEFT_UNKNOWN };
enum { SHARED_NOT, SHARED_COUNTED, SHARED_TAKEN_OFF };
enum { RECORD_LINE_SIZE = 5 + 4 * SHA256_SIZE + PATH_CHARS_MAX + 3, KEPT_NAME_SIZE = 65 };
struct RecordEntry {
    char kind, shared, left;  // left: LEFT_*, with `digest` for LEFT_DIGEST
    unsigned char digest[SHA256_SIZE];
    unsigned char original[SHA256_SIZE];
    char path[PATH_BUFFER_SIZE];
};
// On the heap: as many entries as the PC has files to record.
struct RunRecord {
    int count, capacity;
    RecordEntry *entry;
};
// A new, zeroed entry at the end; null when no memory is left.
RecordEntry *GrowRecord(RunRecord *record);
// The entry's line into `line` of `size` bytes, terminated; its length, or 0
// when it does not fit.
size_t FormatRecordLine(const RecordEntry *entry, char *line, size_t size);
int IsRecordPath(const char *path, size_t length);
// Takes `record` as empty; FreeRecord after it, whatever the answer.
int ReadRecord(const char *text, size_t length, RunRecord *record);
// Releases what GrowRecord, ReadRecord or LoadRecord took.
void FreeRecord(RunRecord *record);
// The entry of `path` in any ASCII case, or -1.
int FindRecordEntry(const RunRecord *record, const char *path);
// How many bytes of `text` start `path`, by whole characters, ASCII letters
// in any case.
size_t SamePathStart(const char *path, const char *text);
// 1 for the bridge libraries that other programs may use too.
int IsSharedLibrary(const char *path);
// The kept original's name: its SHA-256 in hex.
void KeptName(const unsigned char *digest, char *name);
// What the uninstall does with a file that is now (NOW_*) as `now_digest`
// says; `original_digest` is the kept original's, or null.
enum { NOW_FOLDER_GONE, NOW_ABSENT, NOW_PRESENT };
enum { RESTORE_NOTHING, RESTORE_PUT_BACK, RESTORE_DELETE, RESTORE_LEAVE_CHANGED,
       RESTORE_HOME_GONE };
int DecideRestore(const RecordEntry *entry, int now, const unsigned char *now_digest,
                  const unsigned char *original_digest);

// PendingFileRenameOperations (pending_text.cpp, pure), a REG_MULTI_SZ of
// UTF-16 units that any program appends to: pairs of a source, "\\??\\"
// first as MoveFileEx writes it, and a target, empty for a deletion. The
// pairs that `ours` claims (given the source without that prefix, and
// PENDING_* in `how`) go, the rest stay as they were; the new count of
// units, `count` when nothing goes. A value that is not whole pairs cannot
// be edited: each pair that can be read is told with PENDING_STAYS, and 0.
enum { PENDING_DELETION = 1, PENDING_STAYS = 2 };
typedef int (*PendingTest)(const unsigned short *source, size_t length, int how, void *context);
size_t DropPendingRenames(unsigned short *value, size_t count, PendingTest ours, void *context);
// Whose a queued operation on `source` is: the program's when it deletes the
// record's `folder` or a file in it; with a `record`, too, a replacement
// waiting as a recorded path's ".ocf-new", and the deletion of a recorded
// path that the runs left no file at, or may have (a run cut short).
enum { PENDING_OTHERS, PENDING_OURS, PENDING_WAITING };
int OwnPendingRename(const char *source, int deletion, const char *folder,
                     const RunRecord *record);
// 1 when `file`, a PE32+ program, is what the loader maps as `image` at
// `actual_base` (image_compare.cpp, pure): the headers but for the image base,
// and every section with the file's base relocations applied, but for the
// import address table, which the loader writes. Every byte of the file must
// be so vouched for: a file longer or shorter than its headers and sections,
// or with padding that is not zero, does not match; but for a signature, the
// well-formed certificate table that the headers' security directory names,
// 8-aligned after the sections (the loader maps none of it).
int ImageMatchesFile(const unsigned char *file, size_t file_size, const unsigned char *image,
                     size_t image_size, unsigned long long actual_base);

#ifdef _WIN32
#include <windows.h>

// The caption of the program's message boxes, its name in Apps & features.
extern const char PROGRAM_TITLE[];

// run_record.cpp: the way back. Its folder is the 64-bit Program Files'
// "Instalator czytnika kart", trusted before every read and write, never
// reached through a link, made open to SYSTEM and Administrators only. RunSteps
// records ahead: before a run's first change the folder, the program's copy
// and its registration in Apps & features (all but DisplayVersion, written
// when the run has ended well) are on disk; before a file changes, its entry
// and its original are. A run cut short at any point can so be taken back,
// and the next run goes on from its record. A record that cannot be read is
// never written over.
extern const char UNINSTALL_KEY[];
// Adds `change` to the file's count under SharedDLLs; the count left, 0 when
// its value is gone.
int ChangeSharedCount(const char *path, int change);
int ReadRecordFolder(char *folder);
// `name` in the folder into `path`: 1 when the folder is trusted and no link
// is on the way.
int PathInRecordFolder(const char *folder, const char *name, char *path);
// 1 with the record, empty when there is none; 0 when it cannot be read.
int LoadRecord(const char *folder, RunRecord *record);
// The record replaced as a whole, flushed: 1 when it is on disk.
int SaveRecord(const char *folder, const RunRecord *record);
// `source` copied over `target`, writable, flushed: 1 when it is on disk.
int CopyFlushed(const char *source, const char *target);
// One run's record, from StartRecording across the run's events (the
// listener's context) to FinishRecording. StartRecording gives 0, with the
// WAY_BACK_* `refusal`, when the way back cannot be made ready: the run must
// change nothing. RecordRunEvent answers RUN_EVENT_WILL_CHANGE with 0 when the
// file's original cannot be kept: the file must stay as it is.
// FinishRecording, after every StartRecording, takes away the folder and the
// registration that this run made when nothing is recorded; `ended_well`:
// the run's exit code is 0 or 3010.
enum { MADE_FOLDER = 1, MADE_KEY = 2 };
struct Recording {
    RunRecord record;
    char folder[PATH_BUFFER_SIZE];
    HANDLE journal;  // the record, open for appending
    int made, changed, unflushed, refusal;
};
int StartRecording(Recording *recording);
int RecordRunEvent(int event, const char *path, const char *detail, long long number,
                   void *context);
void FinishRecording(Recording *recording, int ended_well);

// program_image.cpp: the program that the registration names is the program
// that runs. CaptureProgramImage, first thing at start, reads the program's
// file once and keeps it when it matches the running image: 1 then. A handle
// alone would still leave the moment between the process's creation and the
// open; a signature is no part of the image, and older signed releases carry
// one too. WriteProgramCopy writes the kept bytes to a new name beside `path`
// and moves them over it: the copy's size in bytes when it is there, also
// when the program runs from that very copy; 0 otherwise. When the file did not match it writes nothing and
// tells RUN_EVENT_NO_WAY_BACK.
int CaptureProgramImage(void);
int WriteProgramCopy(const char *path);

// uninstall.cpp: one recorded file taken back. In the order in which they
// rule the exit code; UNDONE_SHARED is left for another program that still
// counts it, undone for the exit code but said apart.
enum { UNDONE, UNDONE_AT_RESTART, UNDONE_CHANGED, UNDONE_IN_USE, UNDONE_FAILED, UNDONE_SHARED };
// UNDONE_AT_RESTART, UNDONE_IN_USE and UNDONE_FAILED keep the entry and its
// kept original. A shared count is said taken off in the record before it is.
int UndoRecordedFile(const char *folder, RunRecord *record, int index);
// The folder's files and the registration go; the program's copy, when it is
// this program that runs, and its folder at the next restart. With
// `at_restart`, every file of the folder goes at the restart, after the
// put-backs queued before: until then an install finds the record and the
// originals.
void Unregister(const char *folder, int at_restart = 0);
// 1 with the record's folder when the program is registered.
int FindRegistration(char *folder);
// file_in_use.cpp: 1 when another program holds the file so that it cannot
// be read.
int IsFileInUse(const char *path);

// pending_renames.cpp: the program's own operations queued for the next
// restart, as OwnPendingRename tells them, taken out of the 64-bit
// PendingFileRenameOperations; the waiting ".ocf-new" files go too. 1 when
// none of them is left in it; each one left, in a value that cannot be
// edited, is told to `left` when given.
typedef void (*PendingLeft)(const char *source, void *context);
int CancelOwnRenames(const char *folder, const RunRecord *record, PendingLeft left = NULL,
                     void *context = NULL);
#endif

#endif
