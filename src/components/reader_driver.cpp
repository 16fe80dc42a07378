#include "components.h"

#include "fileops.h"

#include <string.h>
#include <windows.h>

// SCardListReadersA(context, groups, readers, length in characters).
typedef LONG(WINAPI *ListReadersFunction)(ULONG_PTR, LPCSTR, LPSTR, LPDWORD);

// Room for the interpreter, its switches and the batch file, quoted.
enum { BATCH_LINE_SIZE = 2 * PATH_BUFFER_SIZE + 32, DRIVER_WAIT_MS = 30 * 60 * 1000 };

static int g_installer_may_run;

struct DriverInstaller {
    int reader_type;
    const char *file_name;
};

static const DriverInstaller DRIVER_INSTALLERS[] = {
    {0, "twin.bat"},
    {1, "410.exe"},
    {2, "twin64.bat"},
    {4, "twin8.bat"},
    {5, "twin8_64.bat"},
};

// Asks the PC/SC service for every reader it knows; any failure on the way
// only means that no GEMPLUS reader is known.
static int GemplusReaderKnown(void)
{
    int found = 0;
    char *list = NULL;
    DWORD allocated = 0;
    DWORD length = 0;
    ListReadersFunction list_readers;
    // Only the system's own copy: an installer started from a download folder
    // with administrator rights must not load a winscard.dll planted beside it.
    // The flag also keeps winscard's own imports to the system directory;
    // where it is refused, the full path is the next best.
    HMODULE library = LoadLibraryExA("winscard.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == NULL && GetLastError() == ERROR_INVALID_PARAMETER)
        library = (HMODULE)LoadLibraryFromSystemDirectory("winscard.dll");
    if (library == NULL)
        return 0;
    list_readers = (ListReadersFunction)(void *)GetProcAddress(library, "SCardListReadersA");
    if (list_readers == NULL)
        goto done;
    if (list_readers(0, NULL, NULL, &length) != 0)
        goto done;
    allocated = length;
    list = (char *)GlobalAlloc(GMEM_FIXED, allocated);
    if (list == NULL)
        goto done;
    if (list_readers(0, NULL, list, &length) != 0)
        goto done;
    // The service never reports more than it was given room for; should it,
    // the search still stays inside the buffer.
    if (length > allocated)
        length = allocated;
    found = ReaderListHasGemplus(list, length);

done:
    if (list != NULL)
        GlobalFree(list);
    FreeLibrary(library);
    return found;
}

static const char *DriverInstallerFor(int reader_type)
{
    for (size_t i = 0; i < sizeof DRIVER_INSTALLERS / sizeof DRIVER_INSTALLERS[0]; ++i) {
        if (DRIVER_INSTALLERS[i].reader_type == reader_type)
            return DRIVER_INSTALLERS[i].file_name;
    }
    return NULL;
}

static int EndsWithBat(const char *file_name)
{
    size_t length = strlen(file_name);
    return length >= 4 && _stricmp(file_name + length - 4, ".bat") == 0;
}

// Windows starts a batch file through cmd.exe on its own, but without /d, so
// the AutoRun commands of the registry would run first, as the administrator.
// The command line is then `"<cmd.exe>" /d /s /c ""<batch file>""`: /s takes
// off exactly the outer quotes. Returns 0 when a path does not fit.
static int FormatBatchStart(const char *file_name, char *interpreter, char *line)
{
    char batch[PATH_BUFFER_SIZE];
    DWORD length = GetFullPathNameA(file_name, sizeof batch, batch, NULL);
    // cmd.exe would start for a missing batch file too, and only then fail.
    if (length == 0 || length >= sizeof batch || !IsFile(file_name) ||
        !ReadSystemDirectory(interpreter, PATH_BUFFER_SIZE) ||
        !AppendWholePathComponent(interpreter, "cmd.exe"))
        return 0;
    FormatTextBounded(line, BATCH_LINE_SIZE, "\"%s\" /d /s /c \"\"%s\"\"", interpreter, batch);
    return 1;
}

// The installer's process, or null when it could not be started.
static HANDLE StartDriverInstaller(const char *file_name)
{
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    char interpreter[PATH_BUFFER_SIZE];
    char line[BATCH_LINE_SIZE];
    const char *application = file_name;
    char *command_line = NULL;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    ZeroMemory(&process, sizeof process);
    if (EndsWithBat(file_name)) {
        if (!FormatBatchStart(file_name, interpreter, line))
            return NULL;
        application = interpreter;
        command_line = line;
    }
    // A bare name resolves against the current directory, "Drivers", and
    // never against the search path; the batch file by its full path there.
    // Unattended, a console gets no window: the installer's own windows are
    // its own business, but nobody is there to close ours.
    DWORD flags = UnattendedAnswers() != NULL ? CREATE_NO_WINDOW : 0;
    // A batch file then starts the maker's installer with its silent switch.
    SetEnvironmentVariableA("INSTALATOR_QUIET", flags != 0 ? "1" : NULL);
    if (!CreateProcessA(application, command_line, NULL, NULL, FALSE, flags, NULL, NULL, &startup,
                        &process))
        return NULL;
    CloseHandle(process.hThread);
    return process.hProcess;
}

// In the window the person sees the installer and it runs on its own. An
// engine reads our exit code as soon as we exit, so unattended we wait.
static int AwaitDriverInstaller(HANDLE process, const char *file_name, char *message,
                                unsigned int message_size)
{
    DWORD code = 0;
    g_installer_may_run = 1;
    if (!UnattendedAnswers())
        return RESULT_OK;
    if (WaitForSingleObject(process, DRIVER_WAIT_MS) != WAIT_OBJECT_0) {
        CopyTextBounded(message, message_size,
                        "Instalator sterownika nie zakończył pracy w ciągu 30 minut");
        return RESULT_ERROR;
    }
    g_installer_may_run = 0;
    BOOL known = GetExitCodeProcess(process, &code);
    if (known)
        TellRun(RUN_EVENT_DRIVER_EXIT, file_name, NULL, code);
    // The installer asks for a restart, or starts one: done, as Windows Installer's.
    if (known && (code == ERROR_SUCCESS_REBOOT_REQUIRED || code == ERROR_SUCCESS_REBOOT_INITIATED))
        return RESULT_OK;
    if (!known || code != 0) {
        FormatTextBounded(message, message_size,
                          "Instalator sterownika zakończył pracę z kodem %lu", code);
        return RESULT_ERROR;
    }
    return RESULT_OK;
}

int DriverInstallerMayRun(void)
{
    return g_installer_may_run;
}

int InstallReaderDriver(int reader_type, char *message, unsigned int message_size)
{
    int result = RESULT_OK;
    const char *file_name;
    HANDLE process;

    g_installer_may_run = 0;
    if (GemplusReaderKnown()) {
        CopyTextBounded(message, message_size,
                        "Wykryto już zainstalowany w systemie czytnik rodziny GEMPLUS");
        return RESULT_WARNING;
    }
    if (!SetCurrentDirectoryA("Drivers")) {
        CopyTextBounded(message, message_size, TEXT_PACKAGE_INCOMPLETE);
        return RESULT_ERROR;
    }
    file_name = DriverInstallerFor(reader_type);
    if (file_name == NULL) {
        CopyTextBounded(message, message_size, "Nieprawidłowy typ czytnika");
        result = RESULT_ERROR;
    } else if (PackageListCarried() && GetFileAttributesA(file_name) == INVALID_FILE_ATTRIBUTES) {
        // Missing from the package or unlike the release's: left out of the copy.
        CopyTextBounded(message, message_size, TEXT_PACKAGE_INCOMPLETE);
        result = RESULT_ERROR;
    } else if ((process = StartDriverInstaller(file_name)) == NULL) {
        FormatTextBounded(message, message_size, "Błąd uruchomienia zewn. sterownika: Drivers\\%s",
                          file_name);
        result = RESULT_ERROR;
    } else {
        result = AwaitDriverInstaller(process, file_name, message, message_size);
        CloseHandle(process);
    }
    SetCurrentDirectoryA("..");
    return result;
}
