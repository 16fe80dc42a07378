#include "fileops.h"

#include <string.h>

// 1 for each lead byte of the system's ANSI code page; none until set.
static unsigned char lead_bytes[256];

enum { LEAD_BYTE_RANGES_MAX = 12 };

void SetLeadByteRanges(const unsigned char *ranges)
{
    memset(lead_bytes, 0, sizeof lead_bytes);
    for (int i = 0; ranges != NULL && i < LEAD_BYTE_RANGES_MAX && ranges[i] != 0; i += 2) {
        for (int byte = ranges[i]; byte <= ranges[i + 1]; ++byte)
            lead_bytes[byte] = 1;
    }
}

size_t CharacterSize(const char *text, size_t at, size_t length)
{
    return lead_bytes[(unsigned char)text[at]] && at + 1 < length ? 2 : 1;
}
