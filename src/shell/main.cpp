#include "fileops.h"
#include "shell.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // Before anything else, so that the file read is as near as can be to the
    // one the process was made from.
    CaptureProgramImage();
    RestrictDllSearch();
    UseSystemLeadBytes();
    // "Enabling Visual Styles" asks for the call together with the manifest's
    // Common-Controls 6 dependency; under version 6 it registers nothing.
    InitCommonControls();
    // In the window too, so that a quiet run never starts beside a person's.
    int alone = HoldInstallerMutex();
    wchar_t program[PATH_BUFFER_SIZE];
    DWORD length = GetModuleFileNameW(NULL, program, PATH_BUFFER_SIZE);
    if (HoldsArguments(GetCommandLineW(), length > 0 && length < PATH_BUFFER_SIZE ? program : NULL))
        return RunWithArguments(instance, alone);

    DialogRun run = {};
    RunLog facts = {INVALID_HANDLE_VALUE, {0, 0, 0, 0}};
    StartRunLog(&facts);
    run.alone = alone;
    OpenInstallerWindow(instance, &run);
    return 0;
}
