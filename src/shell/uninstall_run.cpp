#include "shell.h"

#include <windows.h>

// Per UNDONE_*, as NthText reads them.
static const char UNDONE_LINE[] = "Przywrócono: \0"
                                  "Przy restarcie: \0"
                                  "Zmieniony, pozostawiono: \0"
                                  "W użyciu, pozostawiono: \0"
                                  "Błąd przywracania: \0"
                                  "Wspólny, pozostawiono: ";
static const char UNDONE_REASON[] = "\0"
                                    "Konieczny restart komputera\0"
                                    "Pozostawiono pliki zmienione od instalacji\0"
                                    "Pozostawiono pliki w użyciu\0"
                                    "Błąd przywracania";
static const int UNDONE_CODE[] = {0, EXIT_RESTART_REQUIRED, EXIT_WARNING, EXIT_WARNING,
                                 EXIT_STEP_FAILED};

int RunUninstall(int quiet, int alone, HANDLE log, char *reason)
{
    RunRecord record = {};
    char folder[PATH_BUFFER_SIZE];
    char line[PATH_BUFFER_SIZE + 64];
    int worst = UNDONE;
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
    // is judged as it is.
    if (!LoadRecord(folder, &record))
        worst = UNDONE_FAILED;
    else
        CancelOwnRenames(folder, &record);
    for (int i = 0; worst != UNDONE_FAILED && i < record.count; ++i) {
        int undone = UndoRecordedFile(folder, &record, i);
        if (undone != UNDONE_SHARED && undone > worst)
            worst = undone;
        FormatTextBounded(line, sizeof line, "%s" NAME_BEGIN "%s" NAME_END,
                          NthText(UNDONE_LINE, undone), record.entry[i].path);
        WriteReportLine(log, line);
    }
    // A failure keeps the record, so that the uninstall can be run again.
    if (worst != UNDONE_FAILED)
        Unregister(folder);
    code = UNDONE_CODE[worst];
    CopyTextBounded(reason, REASON_SIZE, NthText(UNDONE_REASON, worst));

done:
    FreeRecord(&record);
    if (!quiet)
        ShowMessageBoxPolish(NULL, reason[0] != '\0' ? reason : "Przywrócono stan sprzed instalacji",
                             PROGRAM_TITLE, MB_OK);
    return code;
}
