#include "components.h"

#include "fileops.h"

#include <string.h>
#include <windows.h>

// Room for the quoted interpreter, " /c " and any command of the components.
enum { COMMAND_LINE_SIZE = 1024 };

static int ReadComspec(char *interpreter)
{
    DWORD length = GetEnvironmentVariableA("COMSPEC", interpreter, PATH_BUFFER_SIZE);
    return length != 0 && length < PATH_BUFFER_SIZE;
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
static int RunInterpreter(const char *interpreter, const char *command, int *exit_code)
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
    if (!CreateProcessA(interpreter, line, NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL,
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

    if (ReadComspec(interpreter) && RunInterpreter(interpreter, command, &exit_code))
        return exit_code;
    if (ReadSystemCmd(interpreter) && RunInterpreter(interpreter, command, &exit_code))
        return exit_code;
    return -1;
}
