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

int WidePathToCodePage(unsigned int code_page, const wchar_t *wide, char *path)
{
    wchar_t back[PATH_BUFFER_SIZE];
    BOOL lossy = FALSE;
    // For UTF-8 (65001, the ANSI code page once "Use Unicode UTF-8 for
    // worldwide language support" is on) WideCharToMultiByte refuses any flag
    // and a default-character pointer; the way back tells there as well.
    int utf8 = code_page == CP_UTF8;
    if (WideCharToMultiByte(code_page, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, path,
                            PATH_BUFFER_SIZE, NULL, utf8 ? NULL : &lossy) == 0 ||
        lossy)
        return 0;
    return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, path, -1, back,
                               PATH_BUFFER_SIZE) != 0 &&
           lstrcmpW(back, wide) == 0;
}

int WidePathToAnsi(const wchar_t *wide, char *path)
{
    if (WidePathToCodePage(GetACP(), wide, path))
        return 1;
    path[0] = '\0';
    return 0;
}
