#include "fileops.h"

#include <windows.h>

void UseSystemLeadBytes(void)
{
    CPINFO info;
    // Only the double-byte code pages have lead bytes that matter here: a
    // UTF-8 ANSI code page (MaxCharSize 4) never has 0x5C inside a character.
    int double_byte = GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 2;
    SetLeadByteRanges(double_byte ? info.LeadByte : NULL);
}
