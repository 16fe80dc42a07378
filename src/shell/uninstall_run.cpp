#include "shell.h"

#include <windows.h>

// Per UNDONE_*, as NthText reads them; the reason and code of UNDONE_SHARED
// are those of an operation left queued for the restart.
static const char UNDONE_LINE[] = "Przywrócono: \0"
                                  "Przy restarcie: \0"
                                  "Zmieniony, pozostawiono: \0"
                                  "W użyciu, pozostawiono: \0"
                                  "Błąd przywracania: \0"
                                  "Wspólny, pozostawiono: \0"
                                  "W kolejce restartu, pozostawiono: ";
static const char UNDONE_REASON[] = "\0"
                                    "Konieczny restart komputera\0"
                                    "Pozostawiono pliki zmienione od instalacji\0"
                                    "Pozostawiono pliki w użyciu\0"
                                    "Błąd przywracania\0"
                                    "Pozostawiono operacje oczekujące na restart";
static const int UNDONE_CODE[] = {0, EXIT_RESTART_REQUIRED, EXIT_WARNING, EXIT_WARNING,
                                 EXIT_STEP_FAILED, EXIT_WARNING};
enum { QUEUED_LEFT = UNDONE_SHARED + 1 };

static void LogUndone(HANDLE log, int undone, const char *path)
{
    char line[PATH_BUFFER_SIZE + 64];
    FormatTextBounded(line, sizeof line, "%s" NAME_BEGIN "%s" NAME_END,
                      NthText(UNDONE_LINE, undone), path);
    WriteReportLine(log, line);
}

// A queued operation of the program's that stays in a value no one can edit.
static void LogQueuedLeft(const char *source, void *log)
{
    LogUndone((HANDLE)log, QUEUED_LEFT, source);
}

int RunUninstall(int quiet, int alone, HANDLE log, char *reason)
{
    RunRecord record = {};
    char folder[PATH_BUFFER_SIZE];
    int worst = UNDONE;
    int kept = 0;
    int left = 0;
    int loaded, cancelled;
    int code = EXIT_ANOTHER_INSTANCE;
    if (!alone) {
        CopyTextBounded(reason, REASON_SIZE, ANOTHER_INSTANCE_TEXT);
        goto done;
    }
    if (!quiet && ShowMessageBoxPolish(NULL,
                                       "Odinstalować i przywrócić pliki sprzed instalacji?",
                                       PROGRAM_TITLE, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        CopyTextBounded(reason, REASON_SIZE, "Anulowano");
        return EXIT_USER_CANCELLED;
    }
    code = EXIT_UNKNOWN_PRODUCT;
    if (!FindRegistration(folder)) {
        CopyTextBounded(reason, REASON_SIZE, "Brak instalacji");
        goto done;
    }
    // An install's replacements that still wait for the restart go: each file
    // is judged as it is. A record that cannot be read stays as it is.
    loaded = LoadRecord(folder, &record);
    cancelled = loaded && CancelOwnRenames(folder, &record, LogQueuedLeft, log);
    if (!loaded)
        worst = UNDONE_FAILED;
    // What is left or waits keeps its entry, moved forward: every line that a
    // save on the way writes is still true of its file.
    for (int i = 0; i < record.count; ++i) {
        int undone = UndoRecordedFile(folder, &record, i);
        if (undone != UNDONE_SHARED && undone > worst)
            worst = undone;
        LogUndone(log, undone, record.entry[i].path);
        if (undone == UNDONE_AT_RESTART || undone == UNDONE_IN_USE || undone == UNDONE_FAILED) {
            left |= undone != UNDONE_AT_RESTART;
            record.entry[kept++] = record.entry[i];
        }
    }
    record.count = kept;
    // Left files keep the registration, the record and their originals, so
    // that the uninstall can be run again.
    if (loaded && (kept == 0 || SaveRecord(folder, &record)) && !left)
        Unregister(folder, kept);
    if (!cancelled && worst < UNDONE_CHANGED)
        worst = UNDONE_SHARED;
    code = UNDONE_CODE[worst];
    CopyTextBounded(reason, REASON_SIZE, NthText(UNDONE_REASON, worst));

done:
    FreeRecord(&record);
    if (!quiet)
        ShowMessageBoxPolish(NULL, reason[0] != '\0' ? reason : "Przywrócono stan sprzed instalacji",
                             PROGRAM_TITLE, MB_OK);
    return code;
}
