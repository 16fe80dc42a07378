#include "fileops.h"

#include <string.h>
#include <windows.h>

// The installer's texts are Windows-1250 whatever the system's ANSI code page,
// so they are read with that table, never with CP_ACP; names of the file
// system are the system's own, read with CP_ACP.
enum { POLISH_CODE_PAGE = 1250 };

// Appends the `length` bytes of `part` to `wide` at `*used`. No code page
// gives more UTF-16 characters than bytes, so a part of the text that fitted
// the room always converts whole.
static void WidenPart(unsigned int code_page, const char *part, size_t length, wchar_t *wide,
                      unsigned int room, unsigned int *used)
{
    if (length == 0)
        return;
    int converted = MultiByteToWideChar(code_page, 0, part, (int)length, wide + *used,
                                        (int)(room - *used));
    if (converted > 0)
        *used += (unsigned int)converted;
}

void WidenPolishText(const char *text, wchar_t *wide, unsigned int count)
{
    if (wide == NULL || count == 0)
        return;
    size_t length = strnlen(text, count - 1);
    unsigned int used = 0;
    int in_name = 0;
    size_t start = 0;
    while (start < length) {
        char mark = in_name ? NAME_END[0] : NAME_BEGIN[0];
        size_t end = start;
        while (end < length && text[end] != mark)
            ++end;
        WidenPart(in_name ? CP_ACP : POLISH_CODE_PAGE, text + start, end - start, wide, count - 1,
                  &used);
        start = end + 1;
        in_name = !in_name;
    }
    wide[used] = L'\0';
}
