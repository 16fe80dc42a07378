// Installer shell: the entry point with its confirmation prompt, the main
// dialog, the installation run and its report. The reader list and the report
// composition are pure and build natively too; the rest needs Windows.
#ifndef INSTALATOR_SHELL_H
#define INSTALATOR_SHELL_H

#include <stddef.h>

#include "fileops.h"
#include "wayback.h"

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
// The row that fits Windows `major`.`minor`: Windows 8 and later 0, older 1.
int ReaderRowForWindows(unsigned long major, unsigned long minor);

// Composes the report in screen order (removal if it failed, driver, Internet
// Explorer, Netscape 4.x, Java Plug-in) into `report` of `report_size` bytes,
// always terminated. `status[step]` receives the text of the step's status
// label, or null when the label keeps its empty text (always for the removal).
// A message is used up to its first terminator and never past
// STEP_MESSAGE_SIZE - 1 characters.
void ComposeReport(const StepOutcomes *steps, char *report, size_t report_size,
                   const char *status[STEP_COUNT]);
// The same entries for the report file, one line each, the removal's always.
void ComposeReportLines(const StepOutcomes *steps, char *lines, size_t lines_size);
// That line of `step` alone, without its line end; empty when it has none.
void ComposeStepLine(const StepOutcomes *steps, int step, char *line, size_t line_size);

// The exit codes that Windows Installer made common, so that deployment
// engines read ours with their defaults. Without arguments the program
// returns 0.
enum {
    EXIT_DONE = 0,                 // every step that ran is OK, nothing waits
    EXIT_RESTART_REQUIRED = 3010,  // as EXIT_DONE, but the restart completes it
    EXIT_RESTART_STARTED = 1641,   // the driver installer restarts the PC
    EXIT_WARNING = 1,              // no BŁĄD, at least one UWAGA or a file not placed
    EXIT_USER_CANCELLED = 1602,    // no run, or Abort in a conflict prompt
    EXIT_STEP_FAILED = 1603,       // a BŁĄD, the failed removal's too
    EXIT_UNKNOWN_PRODUCT = 1605,   // an uninstall with nothing registered
    EXIT_ANOTHER_INSTANCE = 1618,
    EXIT_LOG_REFUSED = 1622,
    EXIT_BAD_COMMAND_LINE = 1639
};
// What the run's events told beyond the steps' results.
struct RunFacts {
    int restart;             // a file is replaced or removed at the restart
    int not_placed;          // files meant to be placed and not placed
    long long driver_exit;   // the waited-for driver installer's exit code, else 0
    int no_way_back;         // a change that the uninstall cannot take back
};
// The exit code of a run whose steps left `steps` and whose events `facts`.
int ExitCodeOfRun(const StepOutcomes *steps, const RunFacts *facts);

// The text at `index` of `texts`, texts one after another, each ended by '\0'
// (a table without a pointer per text).
const char *NthText(const char *texts, int index);

// The log's line for a run event (RUN_EVENT_*, as fileops.h tells them),
// Windows-1250 with names between NAME_BEGIN and NAME_END; 0 when the event
// has none.
int ComposeRunEventLine(char *line, size_t line_size, int event, const char *path,
                        long long number);

// /check's judgement (check_decision.cpp): one file as found now, against the
// content that this version places (`expected`: its SHA-256, or null where
// nothing says and only presence counts); an `unwanted` file must be absent.
enum { CHECKED_ABSENT, CHECKED_PRESENT, CHECKED_UNREADABLE };
struct CheckedFile {
    int state;  // CHECKED_*
    unsigned char digest[SHA256_SIZE];  // when CHECKED_PRESENT
    const unsigned char *expected;
    int unwanted;
};
// In the order of their gravity: the first three are whole.
enum { FINDING_WHOLE, FINDING_UNCHECKED, FINDING_GONE, FINDING_MISSING, FINDING_DIFFERENT,
       FINDING_LEFT_OVER };
// A place is a Java home (`is_home`) or the system directory: whole when every
// file's finding is; new when it is a home that has none of its files.
enum { PLACE_WHOLE, PLACE_NOT_WHOLE, PLACE_NEW };
// Each file's FINDING_* into `findings`; the place's PLACE_*.
int JudgeCheckedPlace(const CheckedFile *files, int count, int is_home, int *findings);

// The command line (command_line.cpp). Switches start with / or -, their names
// in any ASCII case, a value after a colon: /quiet, /components:java,drivers
// (either or both), /reader:<row's number or its text>, /log:<path>, /?,
// /uninstall and /check (each with /quiet and /log: only).
enum { COMPONENT_JAVA = 1, COMPONENT_DRIVERS = 2 };
enum { ARGUMENT_SIZE = 272, REASON_SIZE = ARGUMENT_SIZE + 64, LOG_VALUE_START = 5 };
struct CommandChoice {
    int quiet, help, uninstall, check;
    int components;    // COMPONENT_* bits; 0 when not given
    int reader_row;    // -1 when not given
    int log_argument;  // the /log: argument's index; its value at LOG_VALUE_START
    int seen;          // switches given so far
    int count;         // arguments read
    char reason[REASON_SIZE];  // what was first not understood; empty when all was
};

// 1 when `command_line` holds more than the program's name, which ends, as
// CommandLineToArgvW reads it, at the next quote after a leading one, else at
// the first space or tab; or, when the line starts with the path `program`
// (may be null) unquoted, right after it. Such a line holds no argument only.
int HoldsArguments(const wchar_t *command_line, const wchar_t *program);
void StartCommandChoice(CommandChoice *choice);
// Takes the argument `index` (from 1), in Windows-1250. A switch that is
// unknown, repeated, without its value or with a value not understood, and
// /? beside anything else, leave their reason, naming the argument; /quiet and
// /log: are still taken after one, so that the reason can reach the log.
void ReadCommandArgument(CommandChoice *choice, const char *argument, int index);

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
enum { PRELOADED_SYSTEM_DLL_COUNT = 11 };
extern const char *const PRELOADED_SYSTEM_DLLS[PRELOADED_SYSTEM_DLL_COUNT];
void RestrictDllSearch(void);
void RestrictDllSearchFallback(void);

// main_dialog.cpp; the dialog is a Unicode one (DialogBoxParamW), since
// controls made by the ANSI call keep their texts in the system's code page.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// What the window started with arguments presets, and what its run left:
// `ran` is set once "Instaluj" has run the steps. `choice` may be null.
// `alone` once the program holds the installer mutex.
struct DialogRun {
    const CommandChoice *choice;
    int ran, alone;
    StepOutcomes steps;
};
// The confirmation prompt, then on Yes the main dialog with `run` as its
// initialisation parameter.
void OpenInstallerWindow(HINSTANCE instance, DialogRun *run);

// install_run.cpp. One run for the dialog and the quiet run: the removal, then
// the ticked components in their order until one is aborted, each in the
// private copy of the package. The reader row is read when the driver step
// comes: from `reader_list` when there is one (it stays usable while a
// conflict prompt is open), else `reader_item`.
struct RunChoice {
    bool ticked[STEP_COUNT];
    HWND reader_list;
    long long reader_item;
};
// The run's exit code (ExitCodeOfRun). When the way back cannot be made
// ready, nothing runs: 1603, and `refusal` (REFUSAL_SIZE) holds the log's line
// for it; else it is left empty.
enum { REFUSAL_SIZE = PATH_BUFFER_SIZE + 96 };
int RunSteps(const RunChoice *choice, StepOutcomes *steps, char *refusal);
// Reads the check boxes, runs the steps under the wait cursor, shows the
// report and the status labels and puts the controls into their after-run
// state: 1. The caller updates the details state and the button captions.
// A run refused changes nothing: 0, its reason in `refusal` (REFUSAL_SIZE).
int RunInstallation(HWND dialog, StepOutcomes *steps, char *refusal);

// unattended.cpp: a named mutex in the Global namespace, held for the whole
// process; 0 when it cannot be held: another process holds it, denies it to
// us, or its name is another kind of object's.
int HoldInstallerMutex(void);
// The program started with arguments, which shell32's CommandLineToArgvW reads
// (loaded only now). /quiet when not `alone`: 1618, before the log is opened.
// A command line not understood: 1639, a log refused: 1622, with a message
// box unless /quiet. /?: the help box, 0. /quiet: the run with the unattended
// answers; otherwise the window, preset, and 1602 when it did not run. A run's
// exit code is ExitCodeOfRun's. The log, when given and open, is written as
// the run goes.
int RunWithArguments(HINSTANCE instance, int alone);
extern const char ANOTHER_INSTANCE_TEXT[];

// uninstall.cpp: /uninstall. Asks first in the window, and shows its result;
// puts back or deletes each recorded file that is as the runs left it, leaves
// one changed since (1), one in use at the next restart (3010), and a shared
// library that another program counts. Then the record and the registration
// go; after a failure (1603) they stay for another try. Nothing registered:
// 1605. The log gets a line per file; `reason` (REASON_SIZE) its last line.
int RunUninstall(int quiet, int alone, HANDLE log, char *reason);

// check_run.cpp: /check. Changes nothing and needs no package: judges each
// file that an install places into the homes that VisitServedHomes serves (the
// last trusted JRE's bridge libraries too) and into the system directory, whose
// old ocf1.2.jar must be gone, against this version's content (the package
// list's SHA-256, else the record's for a file of the same name), and logs
// each finding. 0, and "Installed" on a redirected standard output, when all
// is whole; 1 when not; 1605 when nothing is registered.
int RunCheck(HANDLE log, char *reason);

// report_file.cpp: the /log: file, opened before anything is done and
// refused (INVALID_HANDLE_VALUE) when its folder fails IsFolderTrusted, it is
// a link or has another name, or it existed and someone else may change it.
// It is kept open, unshared for writing and deleting, and never truncated:
// each run appends its section as it goes, in UTF-8 (a new file starts with a
// BOM) with CRLF lines, each write flushed. The header opens a section; a
// line is Windows-1250 with names between NAME_BEGIN and NAME_END; the end
// gives the report's lines (`steps` may be null), the `reason` (may be null)
// and the exit code. A line for INVALID_HANDLE_VALUE, no log, is dropped.
HANDLE OpenReportFile(const char *path);
void WriteReportHeader(HANDLE file);
void WriteReportLine(HANDLE file, const char *line);
void WriteReportEnd(HANDLE file, const StepOutcomes *steps, const char *reason, int exit_code);

// run_log.cpp: the run's listener. It keeps the run's facts and, while `file`
// is open, writes each event's line and, through LogStepEnd, each step's line
// as the step ends. The log lets every change go.
struct RunLog {
    HANDLE file;
    RunFacts facts;
};
int LogRunEvent(int event, const char *path, const char *detail, long long number,
                void *context);
// `log` (the caller's, until the run ends) hears the runs from now on; a run
// needs one, without a file too, for its facts.
void StartRunLog(RunLog *log);
RunLog *RunLogInUse(void);
void LogStepEnd(const StepOutcomes *steps, int step);
#endif

#endif
