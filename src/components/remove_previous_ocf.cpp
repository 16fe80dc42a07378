#include "components.h"

#include "fileops.h"

#include <windows.h>

int RemovePreviousOcf(char *message, unsigned int message_size)
{
    char path[PATH_BUFFER_SIZE];
    // An unknown system directory means there is nothing we could remove.
    if (!ReadSystemDirectory(path, PATH_BUFFER_SIZE))
        return 1;
    // A cut name would be another file's.
    if (!AppendWholePathComponent(path, "ocf1.2.jar"))
        return 1;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
        return 1;
    // Without its way back the old library stays; the log says so.
    if (!TellRun(RUN_EVENT_WILL_CHANGE, path, NULL, CHANGE_NOW))
        return 1;
    if (DeleteFileA(path)) {
        TellRun(RUN_EVENT_REMOVED, path, NULL, 0);
        return 1;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND)
        return 1;
    // Unattended, as a file in use that is placed: it goes at the restart.
    if (UnattendedAnswers() && TargetInUse(path, error) &&
        MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        TellRun(RUN_EVENT_REMOVED_AT_RESTART, path, NULL, 0);
        return 1;
    }
    CopyTextBounded(message, message_size, "Błąd kasowania pliku ocf1.2.jar w katalogu systemowym");
    return 0;
}
