// Start-up benchmark: time from process creation to the installer's main
// dialog being visible (its confirmation prompt answered Yes at once), and to
// the prompt itself, against a minimal program that shows one message box.
//   startup_bench INSTALLER MINIMAL_PROGRAM RUNS
// The installer runs in its own directory, as from an installation package.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char PROMPT_CAPTION[] = "Instalator czytnika kart mikropr. dla przeglądarek internetowych";
const char DIALOG_CAPTION[] = "Instalator czytnika kart mikroproc. [v2.8]";

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Polls every millisecond, up to 20 s.
HWND WaitVisible(const char *caption, LARGE_INTEGER *seen)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
        HWND window = FindWindowA("#32770", caption);
        if (window != NULL && IsWindowVisible(window)) {
            QueryPerformanceCounter(seen);
            return window;
        }
        Sleep(1);
    }
    return NULL;
}

void Click(HWND dialog, int button)
{
    PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
}

bool Start(const char *program, PROCESS_INFORMATION *process, LARGE_INTEGER *started)
{
    std::string directory = program;
    size_t slash = directory.find_last_of("\\/");
    directory = slash == std::string::npos ? "." : directory.substr(0, slash);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    QueryPerformanceCounter(started);
    return CreateProcessA(program, NULL, NULL, NULL, FALSE, 0, NULL, directory.c_str(),
                          &startup, process) != 0;
}

bool Finish(PROCESS_INFORMATION *process)
{
    bool ended = WaitForSingleObject(process->hProcess, 20000) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(process->hProcess, 1);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
    return ended;
}

void Print(const char *name, const std::vector<double> &values)
{
    printf("%-18s runs:", name);
    for (double value : values)
        printf(" %.1f", value);
    printf("  median_ms: %.1f\n", Median(values));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: startup_bench INSTALLER MINIMAL_PROGRAM RUNS\n");
        return 2;
    }
    int runs = atoi(argv[3]);
    std::vector<double> minimal_ms, prompt_ms, dialog_ms;
    for (int run = 0; run < runs; ++run) {
        PROCESS_INFORMATION process;
        LARGE_INTEGER started, seen;
        if (!Start(argv[2], &process, &started))
            return 1;
        HWND box = WaitVisible(PROMPT_CAPTION, &seen);
        if (box == NULL) {
            fprintf(stderr, "the minimal program showed no message box\n");
            return 1;
        }
        minimal_ms.push_back(Milliseconds(started, seen));
        Click(box, IDNO);
        if (!Finish(&process))
            return 1;

        if (!Start(argv[1], &process, &started))
            return 1;
        HWND prompt = WaitVisible(PROMPT_CAPTION, &seen);
        if (prompt == NULL) {
            fprintf(stderr, "the installer showed no confirmation prompt\n");
            return 1;
        }
        prompt_ms.push_back(Milliseconds(started, seen));
        Click(prompt, IDYES);
        HWND dialog = WaitVisible(DIALOG_CAPTION, &seen);
        if (dialog == NULL) {
            fprintf(stderr, "the installer showed no main dialog\n");
            return 1;
        }
        dialog_ms.push_back(Milliseconds(started, seen));
        Click(dialog, IDCANCEL);
        if (!Finish(&process))
            return 1;
    }
    Print("minimal-box", minimal_ms);
    Print("installer-prompt", prompt_ms);
    Print("installer-dialog", dialog_ms);
    return 0;
}
