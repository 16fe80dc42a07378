// The deferred custom actions: instalator.exe run from the MSI's folder,
// quietly, waited for; its log's new lines copied into the MSI's log.
#include "msi_action.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

enum { TEXT_SIZE = 2048, CHUNK_SIZE = 4096 };
static const unsigned long EXIT_LOG_REFUSED = 1622, EXIT_NOT_REGISTERED = 1605;

// No C runtime here: the compiler's own memset would need one.
static void Clear(void *memory, size_t size)
{
    volatile unsigned char *byte = (volatile unsigned char *)memory;
    while (size-- > 0)
        *byte++ = 0;
}

// As it stands: the template "[1]" keeps brackets in the text from being
// read as properties.
static void LogText(MSIHANDLE install, const wchar_t *text)
{
    MSIHANDLE record = MsiCreateRecord(1);
    if (record == 0)
        return;
    MsiRecordSetStringW(record, 0, L"[1]");
    MsiRecordSetStringW(record, 1, text);
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
    MsiCloseHandle(record);
}

static void LogUtf8Line(MSIHANDLE install, const char *line, int length)
{
    wchar_t text[TEXT_SIZE];
    int count = MultiByteToWideChar(CP_UTF8, 0, line, length, text, TEXT_SIZE - 1);
    text[count > 0 ? count : 0] = L'\0';
    LogText(install, text);
}

static LONGLONG FileSize(const wchar_t *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return 0;
    return (LONGLONG)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

// The lines that the run appended after `from`, one message each; a line
// longer than the buffer is cut into several.
static void CopyLogLines(MSIHANDLE install, const wchar_t *path, LONGLONG from)
{
    char chunk[CHUNK_SIZE], line[TEXT_SIZE];
    int length = 0;
    DWORD got = 0;
    LARGE_INTEGER start;
    HANDLE file = CreateFileW(path, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    // Past the byte-order mark of a new file.
    start.QuadPart = from > 0 ? from : 3;
    if (file == INVALID_HANDLE_VALUE || !SetFilePointerEx(file, start, NULL, FILE_BEGIN))
        goto done;
    while (ReadFile(file, chunk, CHUNK_SIZE, &got, NULL) && got > 0) {
        for (DWORD i = 0; i < got; ++i) {
            if (chunk[i] == '\n' || length == TEXT_SIZE - 1) {
                LogUtf8Line(install, line, length > 0 && line[length - 1] == '\r' ? length - 1
                                                                                   : length);
                length = 0;
            }
            if (chunk[i] != '\n')
                line[length++] = chunk[i];
        }
    }
    if (length > 0)
        LogUtf8Line(install, line, length);
done:
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

// `text` and a number, as the log's lines end.
static void LogNumber(MSIHANDLE install, const wchar_t *text, unsigned long number)
{
    wchar_t line[64];
    wchar_t digits[12];
    int count = 0, at = 0;
    while (text[at] != L'\0' && at < 40) {
        line[at] = text[at];
        ++at;
    }
    do {
        digits[count++] = (wchar_t)(L'0' + number % 10);
        number /= 10;
    } while (number != 0);
    while (count > 0)
        line[at++] = digits[--count];
    line[at] = L'\0';
    LogText(install, line);
}

// The program's exit code; 1605 when it is not there (no registered copy:
// nothing to take back), 1603 when it cannot start otherwise.
static unsigned long RunProgram(MSIHANDLE install, wchar_t *command, const wchar_t *folder)
{
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    DWORD code = ACTION_FAILURE;
    Clear(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, folder,
                        &startup, &process)) {
        DWORD error = GetLastError();
        LogNumber(install, L"instalator.exe: nie uruchomiono, b\x142\x105" L"d ", error);
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? EXIT_NOT_REGISTERED
                                                                            : (unsigned long)ACTION_FAILURE;
    }
    if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &code))
        code = ACTION_FAILURE;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// The log's path, the command's last quoted text.
static void LogPathOf(const wchar_t *command, wchar_t *path)
{
    const wchar_t *start = command;
    int length = 0;
    for (const wchar_t *at = command; *at != L'\0'; ++at) {
        if (at[0] == L':' && at[1] == L'"')
            start = at + 2;
    }
    while (start[length] != L'\0' && start[length] != L'"') {
        path[length] = start[length];
        ++length;
    }
    path[length] = L'\0';
}

static UINT RunFromAction(MSIHANDLE install, const wchar_t *arguments, int uninstall)
{
    wchar_t data[TEXT_SIZE], windows[MAX_PATH], command[TEXT_SIZE], folder[TEXT_SIZE],
        log[TEXT_SIZE];
    DWORD size = TEXT_SIZE;
    unsigned long code = ACTION_FAILURE;
    int restart = 0;
    if (MsiGetPropertyW(install, L"CustomActionData", data, &size) != ERROR_SUCCESS ||
        GetSystemWindowsDirectoryW(windows, MAX_PATH) == 0)
        return ACTION_FAILURE;
    // A log beside the MSI's may lie in a folder that the program, run as
    // SYSTEM, refuses (1622, nothing done): then the Windows Temp folder.
    for (int beside = 1; beside >= 0; --beside) {
        if (!ComposeProgramCommand(data, windows, arguments, beside, command, folder, TEXT_SIZE))
            return ACTION_FAILURE;
        LogText(install, command);
        LogPathOf(command, log);
        LONGLONG from = FileSize(log);
        code = RunProgram(install, command, folder);
        // A refused log is never read: a user's link there could lead SYSTEM
        // to copy any file into a log that the user may read.
        if (code != EXIT_LOG_REFUSED) {
            CopyLogLines(install, log, from);
            break;
        }
    }
    LogNumber(install, L"instalator.exe: kod wyj\x15B" L"cia ", code);
    UINT result = ActionResultOfExit(code, uninstall, &restart);
    if (restart)
        MsiSetMode(install, MSIRUNMODE_REBOOTATEND, TRUE);
    return result;
}

extern "C" __declspec(dllexport) UINT __stdcall RunInstaller(MSIHANDLE install)
{
    return RunFromAction(install, L"/quiet", 0);
}

// The rollback of RunInstaller and the MSI's uninstall.
extern "C" __declspec(dllexport) UINT __stdcall RunUninstaller(MSIHANDLE install)
{
    return RunFromAction(install, L"/uninstall /quiet", 1);
}

extern "C" BOOL WINAPI ActionDllEntry(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
