#include "shell.h"

#include "components.h"
#include "fileops.h"

#include <windows.h>

// CommandLineToArgvW(command line, count).
typedef LPWSTR *(WINAPI *SplitCommandLineFunction)(LPCWSTR, int *);

static const char USAGE[] =
    "Użycie: instalator.exe [/quiet] [/components:java,drivers] [/reader:<wiersz>] "
    "[/log:<plik>] [/uninstall] [/check]\n\n"
    "/quiet - bez okien: sterownik czytnika i Java Plug-in, czytnik dla tej wersji Windows\n"
    "/components: - instalowane składniki: java, drivers lub oba\n"
    "/reader: - czytnik z listy: numer wiersza (0, 1) albo jego tekst\n"
    "/log: - plik raportu (UTF-8)\n"
    "/uninstall - odinstalowanie\n"    "/check - sprawdzenie instalacji\n"
    "/? - ta pomoc\n\n"
    "Kody wyjścia: 0 - gotowe; 3010 - gotowe, konieczny restart komputera; 1641 - instalator "
    "sterownika uruchamia ponownie komputer; 1 - gotowe z uwagami; 1602 - przerwane przez "
    "użytkownika; 1603 - błąd; 1605 - brak instalacji; 1618 - działa już inny instalator; "
    "1622 - nie można użyć pliku raportu; 1639 - niezrozumiały wiersz poleceń.";
const char ANOTHER_INSTANCE_TEXT[] = "Działa już inny instalator";

int HoldInstallerMutex(void)
{
    // Never closed: the process's end releases it. Any failure counts as
    // taken: one made by another account is denied to us, and an object of
    // another kind under its name (ERROR_INVALID_HANDLE) would keep us from
    // ever seeing the installer that runs. Another's is not kept open, so that
    // it ends with its installer.
    HANDLE mutex = CreateMutexA(NULL, FALSE, "Global\\Instalator.CzytnikKart");
    if (mutex != NULL && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return 0;
    }
    return mutex != NULL;
}

// The argument in Windows-1250, the installer's own text, for matching and
// showing; cut to ARGUMENT_SIZE - 1 characters.
static void ToPolishText(const wchar_t *wide, char *text)
{
    int count = 0;
    while (count < ARGUMENT_SIZE - 1 && wide[count] != L'\0')
        ++count;
    int length = count > 0 ? WideCharToMultiByte(1250, WC_NO_BEST_FIT_CHARS, wide, count, text,
                                                  ARGUMENT_SIZE - 1, NULL, NULL)
                            : 0;
    text[length > 0 ? length : 0] = '\0';
}

// The system's own reading of the command line, from shell32, which only a
// command line with arguments loads, and only from the system directory.
static void ReadCommandLine(CommandChoice *choice, char *log_path)
{
    int count = 0;
    wchar_t **arguments = NULL;
    SplitCommandLineFunction split = NULL;
    HMODULE shell = LoadLibraryExA("shell32.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (shell == NULL && GetLastError() == ERROR_INVALID_PARAMETER)
        shell = (HMODULE)LoadLibraryFromSystemDirectory("shell32.dll");
    StartCommandChoice(choice);
    log_path[0] = '\0';
    if (shell != NULL)
        split = (SplitCommandLineFunction)(void *)GetProcAddress(shell, "CommandLineToArgvW");
    if (split != NULL)
        arguments = split(GetCommandLineW(), &count);
    if (arguments == NULL) {
        CopyTextBounded(choice->reason, REASON_SIZE, "Nie można odczytać wiersza poleceń");
        goto done;
    }
    for (int index = 1; index < count; ++index) {
        char argument[ARGUMENT_SIZE];
        ToPolishText(arguments[index], argument);
        ReadCommandArgument(choice, argument, index);
    }
    if (choice->log_argument > 0 &&
        !WidePathToAnsi(arguments[choice->log_argument] + LOG_VALUE_START, log_path) &&
        choice->reason[0] == '\0')
        CopyTextBounded(choice->reason, REASON_SIZE,
                        "Ścieżki pliku raportu nie da się zapisać w stronie kodowej systemu");

done:
    if (arguments != NULL)
        LocalFree(arguments);
    if (shell != NULL)
        FreeLibrary(shell);
}

static void ShowUsage(const char *reason, UINT icon)
{
    char text[REASON_SIZE + sizeof USAGE + 2];
    FormatTextBounded(text, sizeof text, "%s%s%s", reason, reason[0] != '\0' ? "\n\n" : "",
                      USAGE);
    ShowMessageBoxPolish(NULL, text, PROGRAM_TITLE, MB_OK | icon);
}

// The row that fits the Windows we run on; the manifest's supportedOS entries
// make GetVersionExW tell the truth past 6.2.
static int ReaderRowOfThisWindows(void)
{
    OSVERSIONINFOW version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);
    return ReaderRowForWindows(version.dwMajorVersion, version.dwMinorVersion);
}

static int RunQuietly(const CommandChoice *choice, StepOutcomes *steps,
                      RestartReplacements *replaced)
{
    int components = choice->components != 0 ? choice->components
                                              : COMPONENT_JAVA | COMPONENT_DRIVERS;
    const RunChoice run = {
        {true, false, false, (components & COMPONENT_JAVA) != 0,
         (components & COMPONENT_DRIVERS) != 0},
        NULL,
        choice->reader_row >= 0 ? choice->reader_row : ReaderRowOfThisWindows(),
    };
    char refusal[REFUSAL_SIZE];
    SetUnattendedAnswers(replaced);
    return RunSteps(&run, steps, refusal);
}

int RunWithArguments(HINSTANCE instance, int alone)
{
    DialogRun run = {};
    RestartReplacements replaced = {};
    RunLog log = {INVALID_HANDLE_VALUE, {0, 0, 0, 0}};
    CommandChoice choice;
    char log_path[PATH_BUFFER_SIZE];
    int code = EXIT_BAD_COMMAND_LINE;

    ReadCommandLine(&choice, log_path);
    // A check shows nothing, and reads nothing half done by an install.
    choice.quiet |= choice.check;
    // Before the log: a second run given the same one leaves the first's alone.
    if (choice.quiet && !alone)
        return EXIT_ANOTHER_INSTANCE;
    if (log_path[0] != '\0' && (log.file = OpenReportFile(log_path)) == INVALID_HANDLE_VALUE &&
        choice.reason[0] == '\0') {
        FormatTextBounded(choice.reason, REASON_SIZE,
                          "Pliku raportu nie można użyć: " NAME_BEGIN "%s" NAME_END, log_path);
        code = EXIT_LOG_REFUSED;
    }
    if (log.file != INVALID_HANDLE_VALUE)
        WriteReportHeader(log.file);
    StartRunLog(&log);
    if (choice.reason[0] != '\0') {
        if (!choice.quiet)
            ShowUsage(choice.reason, MB_ICONERROR);
    } else if (choice.help) {
        ShowUsage("", MB_ICONINFORMATION);
        code = 0;
    } else if (choice.check) {
        code = RunCheck(log.file, choice.reason);
    } else if (choice.uninstall) {
        code = RunUninstall(choice.quiet, alone, log.file, choice.reason);
    } else if (choice.quiet) {
        run.ran = 1;
        code = RunQuietly(&choice, &run.steps, &replaced);
    } else {
        run.choice = &choice;
        run.alone = alone;
        OpenInstallerWindow(instance, &run);
        code = run.ran ? ExitCodeOfRun(&run.steps, &log.facts) : EXIT_USER_CANCELLED;
        if (!run.ran)
            CopyTextBounded(choice.reason, REASON_SIZE, "Instalacja anulowana przez użytkownika");
    }
    if (log.file != INVALID_HANDLE_VALUE) {
        WriteReportEnd(log.file, NULL, choice.reason[0] != '\0' ? choice.reason : NULL, code);
        CloseHandle(log.file);
    }
    return code;
}
