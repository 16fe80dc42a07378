#include "components.h"

#include "fileops.h"

#include <direct.h>
#include <windows.h>

// SCardListReadersA(context, groups, readers, length in characters).
typedef LONG(WINAPI *ListReadersFunction)(ULONG_PTR, LPCSTR, LPSTR, LPDWORD);

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

static int StartDriverInstaller(const char *file_name)
{
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    ZeroMemory(&process, sizeof process);
    // The bare name resolves against the current directory, "Drivers", and
    // never against the search path.
    if (!CreateProcessA(file_name, NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return 0;
    // The installer runs on its own; we keep nothing of it.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

int InstallReaderDriver(int reader_type, char *message, unsigned int message_size)
{
    int result = RESULT_OK;
    const char *file_name;

    if (GemplusReaderKnown()) {
        CopyTextBounded(message, message_size,
                        "Wykryto już zainstalowany w systemie czytnik rodziny GEMPLUS");
        return RESULT_WARNING;
    }
    if (_chdir("Drivers") != 0) {
        CopyTextBounded(message, message_size, TEXT_PACKAGE_INCOMPLETE);
        return RESULT_ERROR;
    }
    file_name = DriverInstallerFor(reader_type);
    if (file_name == NULL) {
        CopyTextBounded(message, message_size, "Nieprawidłowy typ czytnika");
        result = RESULT_ERROR;
    } else if (!StartDriverInstaller(file_name)) {
        FormatTextBounded(message, message_size, "Błąd uruchomienia zewn. sterownika: Drivers\\%s",
                          file_name);
        result = RESULT_ERROR;
    }
    _chdir("..");
    return result;
}
