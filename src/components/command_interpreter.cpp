#include "components.h"

#include "fileops.h"

#include <string.h>
#include <windows.h>

// Room for the quoted interpreter, " /c " and any command of the components;
// an environment past ENVIRONMENT_BLOCK_MAX characters is not passed on.
enum { COMMAND_LINE_SIZE = 1024, ENVIRONMENT_BLOCK_MAX = 1 << 20 };

// A relative COMSPEC would be looked for in the current directory, the
// package's own folder, and a folder cannot run.
static int ReadComspec(char *interpreter)
{
    DWORD length = GetEnvironmentVariableA("COMSPEC", interpreter, PATH_BUFFER_SIZE);
    return length != 0 && length < PATH_BUFFER_SIZE && IsFullPath(interpreter) &&
           IsFile(interpreter);
}

// Environment names compare whatever their case; `name` is upper case ASCII.
static int HasName(const wchar_t *entry, const char *name)
{
    for (; *name != '\0'; ++entry, ++name) {
        wchar_t c = *entry;
        if (c >= L'a' && c <= L'z')
            c = (wchar_t)(c - L'a' + L'A');
        if (c != (wchar_t)*name)
            return 0;
    }
    return *entry == L'=';
}

// A set CLASSPATH replaces java's default ".", and the class must be found in
// the current directory whatever the machine's CLASSPATH. Each of the others
// but the last two can load an agent or change the class path of a java that
// runs as us. TEMP and TMP are set anew: run as SYSTEM, they name the
// Windows' Temp, where every user may add entries, and java makes fixed
// names there (hsperfdata_<user>).
enum { FIRST_TEMPORARY_VARIABLE = 4, REPLACED_VARIABLE_COUNT = 6 };
static const char *const REPLACED_VARIABLES[REPLACED_VARIABLE_COUNT] = {
    "CLASSPATH", "JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS", "JDK_JAVA_OPTIONS", "TEMP", "TMP",
};

static int IsReplacedVariable(const wchar_t *entry)
{
    for (size_t i = 0; i < REPLACED_VARIABLE_COUNT; ++i) {
        if (HasName(entry, REPLACED_VARIABLES[i]))
            return 1;
    }
    return 0;
}

// This process's environment in UTF-16 (the ANSI block best-fits what its
// code page cannot spell) without the Java variables, and TEMP and TMP set
// to the current directory, which lies in the private copy of the package.
// Null when it cannot be made; GlobalFree releases it.
static wchar_t *EnvironmentForCommands(void)
{
    wchar_t *block = GetEnvironmentStringsW();
    wchar_t current[PATH_BUFFER_SIZE];
    DWORD current_length = GetCurrentDirectoryW(PATH_BUFFER_SIZE, current);
    wchar_t *filtered = NULL;
    size_t used = 0;
    size_t written = 0;

    if (block == NULL || current_length == 0 || current_length >= PATH_BUFFER_SIZE)
        goto done;
    // Entries end with a NUL each, the block with an empty entry.
    while (used < ENVIRONMENT_BLOCK_MAX && block[used] != L'\0')
        used += wcsnlen(block + used, ENVIRONMENT_BLOCK_MAX - used) + 1;
    if (used >= ENVIRONMENT_BLOCK_MAX)
        goto done;
    filtered = (wchar_t *)GlobalAlloc(GMEM_FIXED,
                                      (used + 2 * (current_length + sizeof "TEMP=")) * 2);
    if (filtered == NULL)
        goto done;
    for (size_t at = 0, size; at < used; at += size) {
        size = wcslen(block + at) + 1;
        if (!IsReplacedVariable(block + at)) {
            memcpy(filtered + written, block + at, size * sizeof *filtered);
            written += size;
        }
    }
    for (size_t i = FIRST_TEMPORARY_VARIABLE; i < REPLACED_VARIABLE_COUNT; ++i) {
        for (const char *c = REPLACED_VARIABLES[i]; *c != '\0'; ++c)
            filtered[written++] = (wchar_t)*c;
        filtered[written++] = L'=';
        memcpy(filtered + written, current, (current_length + 1) * sizeof *filtered);
        written += current_length + 1;
    }
    filtered[written] = L'\0';

done:
    if (block != NULL)
        FreeEnvironmentStringsW(block);
    return filtered;
}

static int ReadSystemCmd(char *interpreter)
{
    return ReadSystemDirectory(interpreter, PATH_BUFFER_SIZE) &&
           AppendWholePathComponent(interpreter, "cmd.exe");
}

// Without /s, cmd.exe drops the command's first and last quote unless the
// quoted program exists and its path holds a space and none of &<>()@^| ; it
// would then run the path's first word ("C:\Program.bat" for
// "C:\Program Files (x86)\..."). With /s it takes off exactly the outer pair
// and runs the command as written. /d: no AutoRun commands of the registry.
// The interpreter is quoted for a path with a space; a line that would not
// fit is refused, never cut.
static int FormatCommandLine(char *line, const char *interpreter, const char *command)
{
    if (strlen(interpreter) + strlen(command) + sizeof "\"\" /d /s /c \"\"" > COMMAND_LINE_SIZE)
        return 0;
    FormatTextBounded(line, COMMAND_LINE_SIZE, "\"%s\" /d /s /c \"%s\"", interpreter, command);
    return 1;
}

// 1 when the interpreter started; its exit code, or -1 when it cannot be read,
// goes to `exit_code`.
static int RunInterpreter(const char *interpreter, const char *command, wchar_t *environment,
                          int *exit_code)
{
    char line[COMMAND_LINE_SIZE];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    DWORD code;

    if (!FormatCommandLine(line, interpreter, command))
        return 0;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    // A GUI program has no console to lend: without this flag every command
    // would flash a console window of its own.
    if (!CreateProcessA(interpreter, line, NULL, NULL, FALSE,
                        CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, environment, NULL,
                        &startup, &process))
        return 0;
    *exit_code = -1;
    if (WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process.hProcess, &code))
        *exit_code = (int)code;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

int RunCommandInterpreter(const char *command)
{
    char interpreter[PATH_BUFFER_SIZE];
    int exit_code = -1;
    wchar_t *environment = EnvironmentForCommands();

    if (environment == NULL)
        return -1;
    if (!(ReadComspec(interpreter) &&
          RunInterpreter(interpreter, command, environment, &exit_code)) &&
        !(ReadSystemCmd(interpreter) &&
          RunInterpreter(interpreter, command, environment, &exit_code)))
        exit_code = -1;
    GlobalFree(environment);
    return exit_code;
}
