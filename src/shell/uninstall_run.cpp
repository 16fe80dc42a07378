#include "shell.h"

#include <windows.h>

static const char *const UNDONE_LINE[] = {
    "Przywrócono: ",
    "Przy restarcie: ",
    "Zmieniony, pozostawiono: ",
    "W użyciu, pozostawiono: ",
    "Błąd przywracania: ",
};
static const char *const UNDONE_REASON[] = {
    "",
    "Konieczny restart komputera",
    "Pozostawiono pliki zmienione od instalacji",
    "Pozostawiono pliki w użyciu",
    "Błąd przywracania",
};
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
        const char *said = "Wspólny, pozostawiono: ";
        if (undone != UNDONE_SHARED) {
            said = UNDONE_LINE[undone];
            if (undone > worst)
                worst = undone;
        }
        FormatTextBounded(line, sizeof line, "%s" NAME_BEGIN "%s" NAME_END, said,
                          record.entry[i].path);
        if (log != INVALID_HANDLE_VALUE)
            WriteReportLine(log, line);
    }
    // A failure keeps the record, so that the uninstall can be run again.
    if (worst != UNDONE_FAILED)
        Unregister(folder);
    code = UNDONE_CODE[worst];
    CopyTextBounded(reason, REASON_SIZE, UNDONE_REASON[worst]);

done:
    FreeRecord(&record);
    if (!quiet)
        ShowMessageBoxPolish(NULL, reason[0] != '\0' ? reason : "Przywrócono stan sprzed instalacji",
                             PROGRAM_TITLE, MB_OK);
    return code;
}
