#include "wayback.h"

#include <string.h>

static const char HEX[] = "0123456789abcdef";

static int HexValue(char c)
{
    const char *at = c != '\0' ? strchr(HEX, c) : NULL;
    return at != NULL ? (int)(at - HEX) : -1;
}

size_t FormatRecordLine(const RecordEntry *entry, char *line, size_t size)
{
    size_t length = strlen(entry->path);
    size_t needed = 4 + (entry->left ? 2 * SHA256_SIZE : 1) + length + 2;
    if (size <= needed)
        return 0;
    char *at = line;
    *at++ = entry->kind;
    *at++ = entry->shared ? 'S' : '-';
    *at++ = ' ';
    if (!entry->left)
        *at++ = '-';
    for (int i = 0; entry->left && i < SHA256_SIZE; ++i) {
        *at++ = HEX[entry->digest[i] >> 4];
        *at++ = HEX[entry->digest[i] & 15];
    }
    *at++ = ' ';
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
            ++end;
        }
        size_t element = end - at - 1;
        if (element == 0 || (path[at + 1] == '.' && (element == 1 ||
                                                     (element == 2 && path[at + 2] == '.'))))
            return 0;
        at = end;
    }
    return 1;
}

// "<N|K><S|-> <64 hex digits or -> <path>" up to CRLF.
static int ReadRecordLine(const char *line, size_t length, RecordEntry *entry)
{
    memset(entry, 0, sizeof *entry);
    if (length < 6 || (line[0] != RECORD_NEW && line[0] != RECORD_KEPT) ||
        (line[1] != 'S' && line[1] != '-') || line[2] != ' ')
        return 0;
    entry->kind = line[0];
    entry->shared = line[1] == 'S';
    size_t at = 3;
    if (line[at] == '-') {
        ++at;
    } else {
        entry->left = 1;
        for (int i = 0; i < 2 * SHA256_SIZE; ++i, ++at) {
            int value = at < length ? HexValue(line[at]) : -1;
            if (value < 0)
                return 0;
            entry->digest[i / 2] = (unsigned char)(entry->digest[i / 2] << 4 | value);
        }
    }
    if (at >= length || line[at++] != ' ' || !IsRecordPath(line + at, length - at))
        return 0;
    memcpy(entry->path, line + at, length - at);
    return 1;
}

int ReadRecord(const char *text, size_t length, RunRecord *record)
{
    record->count = 0;
    for (size_t at = 0; at < length;) {
        size_t end = at;
        while (end < length && text[end] != '\n')
            ++end;
        if (end == length || end == at || text[end - 1] != '\r' ||
            record->count == RECORD_ENTRIES_MAX ||
            !ReadRecordLine(text + at, end - 1 - at, &record->entry[record->count]) ||
            FindRecordEntry(record, record->entry[record->count].path) >= 0)
            return 0;
        ++record->count;
        at = end + 1;
    }
    return 1;
}

void FreeRecord(RunRecord *)
{
}

static char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

static int SamePath(const char *a, const char *b)
{
    while (*a != '\0' && LowerAscii(*a) == LowerAscii(*b)) {
        ++a;
        ++b;
    }
    return *a == *b;
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
    int as_left = entry->left ? present && memcmp(now_digest, entry->digest, SHA256_SIZE) == 0
                              : !present;
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
