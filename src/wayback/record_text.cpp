#include "wayback.h"

#include <stdlib.h>
#include <string.h>

static const char HEX[] = "0123456789abcdef";

static int HexValue(char c)
{
    const char *at = c != '\0' ? strchr(HEX, c) : NULL;
    return at != NULL ? (int)(at - HEX) : -1;
}

void KeptName(const unsigned char *digest, char *name)
{
    for (int i = 0; i < SHA256_SIZE; ++i) {
        *name++ = HEX[digest[i] >> 4];
        *name++ = HEX[digest[i] & 15];
    }
    *name = '\0';
}

size_t FormatRecordLine(const RecordEntry *entry, char *line, size_t size)
{
    size_t length = strlen(entry->path);
    int kept = entry->kind == RECORD_KEPT;
    size_t needed = 4 + (entry->left == LEFT_DIGEST ? 2 * SHA256_SIZE : 1) +
                    (kept ? 2 * SHA256_SIZE + 1 : 0) + length + 2;
    if (size <= needed)
        return 0;
    char *at = line;
    *at++ = entry->kind;
    *at++ = "-SO"[(int)entry->shared];
    *at++ = ' ';
    if (entry->left == LEFT_DIGEST) {
        KeptName(entry->digest, at);
        at += 2 * SHA256_SIZE;
    } else {
        *at++ = "-?"[entry->left == LEFT_UNKNOWN];
    }
    *at++ = ' ';
    if (kept) {
        KeptName(entry->original, at);
        at += 2 * SHA256_SIZE;
        *at++ = ' ';
    }
    memcpy(at, entry->path, length);
    memcpy(at + length, "\r\n", 3);
    return needed;
}

int IsRecordPath(const char *path, size_t length)
{
    char drive = (char)(path[0] | 0x20);
    if (length < 4 || length > PATH_CHARS_MAX || drive < 'a' || drive > 'z' || path[1] != ':')
        return 0;
    // Elements from the root on: none empty, none "." or "..", no character
    // that Windows refuses in a name.
    for (size_t at = 2; at < length;) {
        if (path[at] != '\\')
            return 0;
        size_t end = at + 1;
        while (end < length && path[end] != '\\') {
            unsigned char c = (unsigned char)path[end];
            if (c < 32 || strchr(":*?\"<>|/", c) != NULL)
                return 0;
            // A second byte may be 0x5C or '|'.
            end += CharacterSize(path, end, length);
        }
        size_t element = end - at - 1;
        if (element == 0 || (path[at + 1] == '.' && (element == 1 ||
                                                     (element == 2 && path[at + 2] == '.'))))
            return 0;
        at = end;
    }
    return 1;
}

static int ReadDigest(const char *line, size_t length, size_t *at,
                      unsigned char digest[SHA256_SIZE])
{
    for (int i = 0; i < 2 * SHA256_SIZE; ++i, ++*at) {
        int value = *at < length ? HexValue(line[*at]) : -1;
        if (value < 0)
            return 0;
        digest[i / 2] = (unsigned char)(digest[i / 2] << 4 | value);
    }
    return *at < length && line[(*at)++] == ' ';
}

// "<N|K><S|O|-> <64 hex digits, - or ?> [<64 hex digits> ]<path>" up to CRLF.
static int ReadRecordLine(const char *line, size_t length, RecordEntry *entry)
{
    const char *shared = length > 5 ? strchr("-SO", line[1]) : NULL;
    memset(entry, 0, sizeof *entry);
    if (shared == NULL || *shared == '\0' ||
        (line[0] != RECORD_NEW && line[0] != RECORD_KEPT) || line[2] != ' ')
        return 0;
    entry->kind = line[0];
    entry->shared = (char)(shared - "-SO");
    size_t at = 3;
    if (line[at] == '-' || line[at] == '?') {
        entry->left = line[at] == '?' ? LEFT_UNKNOWN : LEFT_NOTHING;
        if (line[++at] != ' ')
            return 0;
        ++at;
    } else {
        entry->left = LEFT_DIGEST;
        if (!ReadDigest(line, length, &at, entry->digest))
            return 0;
    }
    if ((entry->kind == RECORD_KEPT && !ReadDigest(line, length, &at, entry->original)) ||
        at >= length || !IsRecordPath(line + at, length - at))
        return 0;
    memcpy(entry->path, line + at, length - at);
    return 1;
}

RecordEntry *GrowRecord(RunRecord *record)
{
    if (record->count == record->capacity) {
        int capacity = record->capacity * 2 + 16;
        void *grown = capacity < (1 << 20)
                          ? realloc(record->entry, (size_t)capacity * sizeof *record->entry)
                          : NULL;
        if (grown == NULL)
            return NULL;
        record->entry = (RecordEntry *)grown;
        record->capacity = capacity;
    }
    RecordEntry *entry = &record->entry[record->count++];
    memset(entry, 0, sizeof *entry);
    return entry;
}

int ReadRecord(const char *text, size_t length, RunRecord *record)
{
    RecordEntry entry;
    memset(record, 0, sizeof *record);
    for (size_t at = 0; at < length;) {
        size_t end = at;
        while (end < length && text[end] != '\n')
            ++end;
        // The last line of a write cut short; the lines before it stand.
        if (end == length)
            break;
        if (end == at || text[end - 1] != '\r' || !ReadRecordLine(text + at, end - 1 - at, &entry))
            return 0;
        int index = FindRecordEntry(record, entry.path);
        RecordEntry *slot = index >= 0 ? &record->entry[index] : GrowRecord(record);
        if (slot == NULL)
            return 0;
        *slot = entry;
        at = end + 1;
    }
    return 1;
}

void FreeRecord(RunRecord *record)
{
    free(record->entry);
    memset(record, 0, sizeof *record);
}

static char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

// By whole characters: folding a second byte that is an ASCII letter would
// make another character of it.
size_t SamePathStart(const char *path, const char *text)
{
    size_t length = strlen(text);
    size_t at = 0;
    while (at < length) {
        size_t size = CharacterSize(text, at, length);
        if (size == 2 ? path[at] != text[at] || path[at + 1] != text[at + 1]
                      : LowerAscii(path[at]) != LowerAscii(text[at]))
            break;
        at += size;
    }
    return at;
}

static int SamePath(const char *a, const char *b)
{
    size_t at = SamePathStart(a, b);
    return a[at] == '\0' && b[at] == '\0';
}

int FindRecordEntry(const RunRecord *record, const char *path)
{
    for (int i = 0; i < record->count; ++i) {
        if (SamePath(record->entry[i].path, path))
            return i;
    }
    return -1;
}

int IsSharedLibrary(const char *path)
{
    static const char *const NAMES[] = {"\\ocfpcsc1.dll", "\\ocfpcsc164.dll",
                                        "\\ocfpcsc1_64.dll"};
    size_t length = strlen(path);
    for (const char *name : NAMES) {
        size_t name_length = strlen(name);
        if (length > name_length && SamePath(path + length - name_length, name))
            return 1;
    }
    return 0;
}

int DecideRestore(const RecordEntry *entry, int now, const unsigned char *now_digest,
                  const unsigned char *original_digest)
{
    if (now == NOW_FOLDER_GONE)
        return RESTORE_HOME_GONE;
    int present = now == NOW_PRESENT;
    // A run cut short while changing the file left whatever is there now.
    int as_left = entry->left == LEFT_UNKNOWN ||
                  (entry->left == LEFT_DIGEST
                       ? present && memcmp(now_digest, entry->digest, SHA256_SIZE) == 0
                       : !present);
    if (entry->kind == RECORD_NEW) {
        if (!present)
            return RESTORE_NOTHING;
        return as_left ? RESTORE_DELETE : RESTORE_LEAVE_CHANGED;
    }
    // An uninstall cut short and started again finds what it put back.
    if (present && original_digest != NULL &&
        memcmp(now_digest, original_digest, SHA256_SIZE) == 0)
        return RESTORE_NOTHING;
    return as_left ? RESTORE_PUT_BACK : RESTORE_LEAVE_CHANGED;
}
