// Starts the installer given on the command line, answers its confirmation
// prompt with No and expects it to end with exit code 0 within the time-outs:
// proof that the program starts and runs its entry point. Returns 0 on success.
#include "windows_ui.h"

#include <stdio.h>

static const char CONFIRMATION_CAPTION[] =
    "Instalator czytnika kart mikropr. dla przeglądarek internetowych";

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: decline_start PROGRAM\n");
        return 2;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(argv[1], NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "cannot start %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    int status = 1;
    DWORD exit_code = 0;
    HWND prompt = WaitForWindow("#32770", CONFIRMATION_CAPTION, 20000);
    if (prompt == NULL) {
        fprintf(stderr, "no confirmation prompt appeared\n");
        TerminateProcess(process.hProcess, 99);
        goto done;
    }
    PressButton(prompt, IDNO);
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
        fprintf(stderr, "the program did not end after No\n");
        TerminateProcess(process.hProcess, 99);
        goto done;
    }
    GetExitCodeProcess(process.hProcess, &exit_code);
    if (exit_code != 0) {
        fprintf(stderr, "exit code %lu after No\n", exit_code);
        goto done;
    }
    status = 0;
done:
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}
