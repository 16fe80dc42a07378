#include "fileops.h"

#include <string.h>
#include <windows.h>

// The installer's texts are Windows-1250 whatever the system's ANSI code page,
// so they are read with that table, never with CP_ACP.
enum { POLISH_CODE_PAGE = 1250 };

void WidenPolishText(const char *text, wchar_t *wide, unsigned int count)
{
    if (wide == NULL || count == 0)
        return;
    // One character per byte in a single-byte code page: a text cut to the
    // room always converts whole.
    int length = (int)strnlen(text, count - 1);
    int converted = 0;
    if (length > 0)
        converted = MultiByteToWideChar(POLISH_CODE_PAGE, 0, text, length, wide, (int)count - 1);
    wide[converted > 0 ? converted : 0] = L'\0';
}
