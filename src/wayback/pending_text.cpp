#include "wayback.h"

#include <string.h>

static const unsigned short NT_PREFIX[] = {'\\', '?', '?', '\\'};

// The units up to the end of the pair at `at`, more than `count` when it is
// cut short; `source_end` where its source ends.
static size_t PairEnd(const unsigned short *value, size_t count, size_t at, size_t *source_end)
{
    for (int string = 0; string < 2; ++string) {
        while (at < count && value[at] != 0)
            ++at;
        if (string == 0)
            *source_end = at;
        ++at;
    }
    return at;
}

size_t DropPendingRenames(unsigned short *value, size_t count, PendingTest ours, void *context)
{
    size_t pairs_end = 0;
    size_t source_end;
    size_t kept = 0;
    while (pairs_end < count && value[pairs_end] != 0)
        pairs_end = PairEnd(value, count, pairs_end, &source_end);
    // A pair cut short, or more after the list's end: another program's to
    // mend, read only.
    int whole = pairs_end <= count;
    for (size_t at = pairs_end; whole && at < count; ++at)
        whole = value[at] == 0;
    for (size_t pair = 0, next; pair < pairs_end; pair = next) {
        next = PairEnd(value, count, pair, &source_end);
        if (next > count)
            break;
        size_t start =
            source_end - pair > 4 && memcmp(value + pair, NT_PREFIX, sizeof NT_PREFIX) == 0
                ? pair + 4
                : pair;
        int how = (next == source_end + 2 ? PENDING_DELETION : 0) | (whole ? 0 : PENDING_STAYS);
        if (ours(value + start, source_end - start, how, context) && whole)
            continue;
        // Forward only: what is yet to be read stays where it is.
        for (size_t i = pair; i < next; ++i)
            value[kept++] = value[i];
    }
    if (!whole)
        return 0;
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
