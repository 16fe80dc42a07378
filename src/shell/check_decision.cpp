#include "shell.h"

#include <string.h>

static int JudgeCheckedFile(const CheckedFile *file)
{
    if (file->unwanted)
        return file->state == CHECKED_ABSENT ? FINDING_GONE : FINDING_LEFT_OVER;
    if (file->state == CHECKED_ABSENT)
        return FINDING_MISSING;
    // What cannot be read, a folder in the file's place too, is not ours.
    if (file->state != CHECKED_PRESENT)
        return FINDING_DIFFERENT;
    if (file->expected == NULL)
        return FINDING_UNCHECKED;
    return memcmp(file->digest, file->expected, SHA256_SIZE) == 0 ? FINDING_WHOLE
                                                                    : FINDING_DIFFERENT;
}

int JudgeCheckedPlace(const CheckedFile *files, int count, int is_home, int *findings)
{
    int missing = 0;
    int whole = 1;
    for (int i = 0; i < count; ++i) {
        findings[i] = JudgeCheckedFile(&files[i]);
        missing += findings[i] == FINDING_MISSING;
        whole &= findings[i] <= FINDING_GONE;
    }
    if (is_home && count > 0 && missing == count)
        return PLACE_NEW;
    return whole ? PLACE_WHOLE : PLACE_NOT_WHOLE;
}
