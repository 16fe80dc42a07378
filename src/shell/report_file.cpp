#include "shell.h"

#include "fileops.h"
#include "version.h"

#include <string.h>
#include <windows.h>
#include <aclapi.h>

// The longest text written at once is the report; any UTF-16 unit of it takes
// at most 3 bytes in UTF-8 (a surrogate pair 4 for two).
enum { WRITTEN_CHARS = REPORT_SIZE, USER_NAME_CHARS = 257 };

// A deployment engine runs us as SYSTEM and often points the log at a folder
// such as C:\Temp: a link there, or a file that another user may change,
// would let that user aim our write at any file.
HANDLE OpenReportFile(const char *path)
{
    char full[PATH_BUFFER_SIZE];
    char folder[PATH_BUFFER_SIZE];
    BY_HANDLE_FILE_INFORMATION information;
    InstallerUser token_user;
    PSID owner = NULL;
    PACL dacl = NULL;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    DWORD written;
    DWORD length = GetFullPathNameA(path, sizeof full, full, NULL);
    if (length == 0 || length >= sizeof full)
        return INVALID_HANDLE_VALUE;
    // The folder without its last backslash, but for a drive's root.
    size_t folder_end = SeparatorEnd(full, length);
    if (folder_end > 3)
        --folder_end;
    memcpy(folder, full, folder_end);
    folder[folder_end] = '\0';
    if (folder_end == 0 || !IsFolderTrusted(folder))
        return INVALID_HANDLE_VALUE;

    HANDLE file = CreateFileA(full, GENERIC_WRITE | READ_CONTROL, FILE_SHARE_READ, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                              NULL);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    int existed = GetLastError() == ERROR_ALREADY_EXISTS;
    int usable = GetFileInformationByHandle(file, &information) &&
                 !(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                 information.nNumberOfLinks == 1;
    if (usable && existed) {
        usable = GetSecurityInfo(file, SE_FILE_OBJECT,
                                 OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                 NULL, &dacl, NULL, &descriptor) == ERROR_SUCCESS &&
                 !OthersMayChange(owner, dacl, TRUST_LAUNCHER, ReadInstallerUser(&token_user));
        if (descriptor != NULL)
            LocalFree(descriptor);
    }
    if (!usable) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    // Each run adds its section: an administrator reads the runs before it too.
    SetFilePointer(file, 0, NULL, FILE_END);
    if (information.nFileSizeHigh == 0 && information.nFileSizeLow == 0)
        WriteFile(file, "\xEF\xBB\xBF", 3, &written, NULL);
    return file;
}

static void WriteWide(HANDLE file, const wchar_t *text)
{
    char utf8[3 * WRITTEN_CHARS];
    DWORD written;
    int count = 0;
    while (count < WRITTEN_CHARS && text[count] != L'\0')
        ++count;
    int length = count > 0 ? WideCharToMultiByte(CP_UTF8, 0, text, count, utf8, sizeof utf8,
                                                 NULL, NULL)
                           : 0;
    if (length > 0)
        WriteFile(file, utf8, (DWORD)length, &written, NULL);
}

// `text`: Windows-1250, names of the file system between NAME_BEGIN and NAME_END.
static void WritePolish(HANDLE file, const char *text)
{
    wchar_t wide[WRITTEN_CHARS];
    WidenPolishText(text, wide, WRITTEN_CHARS);
    WriteWide(file, wide);
}

static void WriteWideLine(HANDLE file, const char *label, const wchar_t *value)
{
    WritePolish(file, label);
    WriteWide(file, value);
    WritePolish(file, "\r\n");
}

void WriteReportHeader(HANDLE file)
{
    char line[128];
    wchar_t wide[PATH_BUFFER_SIZE];
    SYSTEMTIME now;
    OSVERSIONINFOW version;
    DWORD size = USER_NAME_CHARS;

    GetSystemTime(&now);
    FormatTextBounded(line, sizeof line,
                      "%s %s\r\nCzas (UTC): %04u-%02u-%02u %02u:%02u:%02u\r\n",
                      PROGRAM_TITLE, INSTALATOR_VERSION_TEXT, now.wYear, now.wMonth, now.wDay,
                      now.wHour, now.wMinute, now.wSecond);
    WritePolish(file, line);
    WriteWideLine(file, "Wiersz poleceń: ", GetCommandLineW());
    wchar_t user[USER_NAME_CHARS];
    WriteWideLine(file, "Konto: ", GetUserNameW(user, &size) ? user : L"?");
    DWORD length = GetModuleFileNameW(NULL, wide, PATH_BUFFER_SIZE);
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        length = 0;
    while (length > 0 && wide[length] != L'\\')
        --length;
    wide[length] = L'\0';
    WriteWideLine(file, "Folder pakietu: ", wide);
    // The manifest's supportedOS entries make it tell the truth up to 11.
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);
    FormatTextBounded(line, sizeof line, "Windows: %lu.%lu.%lu ", version.dwMajorVersion,
                      version.dwMinorVersion, version.dwBuildNumber);
    WriteWideLine(file, line, version.szCSDVersion);
}

void WriteReportLine(HANDLE file, const char *line)
{
    if (file == INVALID_HANDLE_VALUE)
        return;
    WritePolish(file, line);
    WritePolish(file, "\r\n");
    // A run that is killed, or still waits for its driver, leaves what it did.
    FlushFileBuffers(file);
}

void WriteReportEnd(HANDLE file, const StepOutcomes *steps, const char *reason, int exit_code)
{
    char line[32];
    if (steps != NULL) {
        char lines[REPORT_SIZE];
        ComposeReportLines(steps, lines, sizeof lines);
        WritePolish(file, lines);
    }
    if (reason != NULL)
        WriteReportLine(file, reason);
    FormatTextBounded(line, sizeof line, "Kod wyjścia: %d", exit_code);
    WriteReportLine(file, line);
}
