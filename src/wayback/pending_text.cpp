#include "wayback.h"

#include <string.h>

static const unsigned short NT_PREFIX[] = {'\\', '?', '?', '\\'};

size_t DropPendingRenames(unsigned short *value, size_t count, PendingTest ours, void *context)
{
    size_t at = 0;
    size_t kept = 0;
    while (at < count && value[at] != 0) {
        size_t pair = at;
        size_t end[2];
        for (size_t &string_end : end) {
            while (at < count && value[at] != 0)
                ++at;
            string_end = at++;
        }
        // A pair cut short: the value is another program's to mend.
        if (at > count)
            return count;
        size_t start =
            end[0] - pair > 4 && memcmp(value + pair, NT_PREFIX, sizeof NT_PREFIX) == 0 ? pair + 4
                                                                                        : pair;
        if (!ours(value + start, end[0] - start, end[1] == end[0] + 1, context)) {
            // Forward only: what is yet to be read stays where it is.
            for (size_t i = pair; i < at; ++i)
                value[kept++] = value[i];
        }
    }
    size_t pairs_end = at;
    while (at < count) {
        if (value[at++] != 0)
            return count;
    }
    if (kept == pairs_end)
        return count;
    value[kept] = 0;
    return kept + 1;
}

int OwnPendingRename(const char *source, int deletion, const char *folder,
                     const RunRecord *record)
{
    char path[PATH_BUFFER_SIZE];
    size_t length = strlen(source);
    size_t at = SamePathStart(source, folder);
    if (deletion && folder[at] == '\0' && (source[at] == '\0' || source[at] == '\\'))
        return PENDING_OURS;
    if (record == NULL)
        return PENDING_OTHERS;
    // A replacement waits as "<path>.ocf-new", whatever its target.
    if (length > 8 && length - 8 < PATH_BUFFER_SIZE &&
        SamePathStart(source + length - 8, ".ocf-new") == 8) {
        CopyTextBounded(path, length - 7, source);
        return FindRecordEntry(record, path) >= 0 ? PENDING_WAITING : PENDING_OTHERS;
    }
    // A run cut short may have queued it without saying what it left.
    int index = FindRecordEntry(record, source);
    return deletion && index >= 0 && record->entry[index].left != LEFT_DIGEST ? PENDING_OURS
                                                                            : PENDING_OTHERS;
}
