// Installer shell: the entry point with its confirmation prompt, the main
// dialog, the installation run and its report. The reader list and the report
// composition are pure and build natively too; the rest needs Windows.
#ifndef INSTALATOR_SHELL_H
#define INSTALATOR_SHELL_H

#include <stddef.h>

// Details state of the main dialog: whether a run took place and whether the
// details box is shown.
enum {
    DETAILS_NOT_RUN = -1,
    DETAILS_EXPANDED = 0,
    DETAILS_COLLAPSED = 1
};

// The steps of a run, in the order in which they run.
enum {
    STEP_REMOVAL,
    STEP_IE,
    STEP_NETSCAPE,
    STEP_JAVA_PLUGIN,
    STEP_DRIVER,
    STEP_COUNT
};

enum {
    STEP_NOT_RUN = -1,
    STEP_MESSAGE_SIZE = 592,
    // Room for all five entries with their longest headers and messages.
    REPORT_SIZE = 3552
};

// What the steps of one run left behind: a result per step (STEP_NOT_RUN for a
// step that did not run; the removal gives 1 or 0, the others a component
// result) and the message each step may have written.
struct StepOutcomes {
    int result[STEP_COUNT];
    char message[STEP_COUNT][STEP_MESSAGE_SIZE];
};

// Pure logic (reader_selection.cpp, report.cpp), no Win32 call.

struct ReaderRow {
    const char *text;
    int reader_type;
};

enum { READER_ROW_COUNT = 2 };
extern const ReaderRow READER_LIST[READER_ROW_COUNT];

// 1 and the row's reader type when `index` is a row of the reader list (the
// list's item index), 0 otherwise (CB_ERR included).
int ReaderTypeOfItem(long long index, int *reader_type);

// Composes the report in screen order (removal if it failed, driver, Internet
// Explorer, Netscape 4.x, Java Plug-in) into `report` of `report_size` bytes,
// always terminated. `status[step]` receives the text of the step's status
// label, or null when the label keeps its empty text (always for the removal).
// A message is used up to its first terminator and never past
// STEP_MESSAGE_SIZE - 1 characters.
void ComposeReport(const StepOutcomes *steps, char *report, size_t report_size,
                   const char *status[STEP_COUNT]);

#ifdef _WIN32
#include <windows.h>

// shown_text.cpp: every text that the shell shows passes here. The texts are
// Windows-1250 and show as UTF-16, so their Polish letters come out right
// whatever the system's ANSI code page. A text longer than the report is cut.
int ShowMessageBoxPolish(HWND owner, const char *text, const char *caption, UINT type);
void SetDlgItemTextPolish(HWND dialog, int control_id, const char *text);
void SetWindowTextPolish(HWND window, const char *text);

// dll_search.cpp: the package is often started from a download folder, and a
// DLL planted beside the installer must never be loaded in place of a system
// one. Where Windows has SetDefaultDllDirectories, only the system directory
// is searched; elsewhere (Vista, 7 without KB2533623) the fallback takes the
// current directory out of the search and loads the system DLLs that Windows
// would load by name later from the system directory now. First thing at start.
enum { PRELOADED_SYSTEM_DLL_COUNT = 10 };
extern const char *const PRELOADED_SYSTEM_DLLS[PRELOADED_SYSTEM_DLL_COUNT];
void RestrictDllSearch(void);
void RestrictDllSearchFallback(void);

// main_dialog.cpp; the dialog is a Unicode one (DialogBoxParamW), since
// controls made by the ANSI call keep their texts in the system's code page.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// install_run.cpp: reads the check boxes and the reader selection, runs the
// steps under the wait cursor, shows the report and the status labels and
// puts the controls into their after-run state. The caller updates the
// details state and the button captions.
void RunInstallation(HWND dialog);
#endif

#endif
