#include "shell.h"

#include "fileops.h"

#include <windows.h>

// The longest text the shell shows is the report; captions are short.
enum { SHOWN_TEXT_CHARS = REPORT_SIZE, SHOWN_CAPTION_CHARS = 128 };

int ShowMessageBoxPolish(HWND owner, const char *text, const char *caption, UINT type)
{
    wchar_t shown_text[SHOWN_TEXT_CHARS];
    wchar_t shown_caption[SHOWN_CAPTION_CHARS];
    WidenPolishText(text, shown_text, SHOWN_TEXT_CHARS);
    WidenPolishText(caption, shown_caption, SHOWN_CAPTION_CHARS);
    return MessageBoxW(owner, shown_text, shown_caption, type);
}

// Both send the control WM_SETTEXT, as SetDlgItemTextW does.
void SetDlgItemTextPolish(HWND dialog, int control_id, const char *text)
{
    SetWindowTextPolish(GetDlgItem(dialog, control_id), text);
}

void SetWindowTextPolish(HWND window, const char *text)
{
    wchar_t shown[SHOWN_TEXT_CHARS];
    WidenPolishText(text, shown, SHOWN_TEXT_CHARS);
    SetWindowTextW(window, shown);
}
