// Runs the reader driver component once in a process of its own, so that a
// test can plant DLLs beside the program: reader_driver_probe <reader type>.
// Exits with the component result.
//   reader_driver_probe system-library
// loads winscard.dll by its full system path instead and asks it for its
// readers once, so that the copy which answered is recorded; exits with 0, or
// 100 when nothing was loaded.
#include "components.h"

#include <windows.h>

#include <stdlib.h>
#include <string.h>

typedef LONG(WINAPI *ListReadersFunction)(ULONG_PTR, LPCSTR, LPSTR, LPDWORD);

static int AskSystemLibrary(void)
{
    HMODULE library = (HMODULE)LoadLibraryFromSystemDirectory("winscard.dll");
    if (library == NULL)
        return 100;
    ListReadersFunction list_readers =
        (ListReadersFunction)(void *)GetProcAddress(library, "SCardListReadersA");
    DWORD length = 0;
    if (list_readers != NULL)
        list_readers(0, NULL, NULL, &length);
    FreeLibrary(library);
    return 0;
}

int main(int argc, char **argv)
{
    char message[592] = "";
    if (argc > 1 && strcmp(argv[1], "system-library") == 0)
        return AskSystemLibrary();
    return InstallReaderDriver(argc > 1 ? atoi(argv[1]) : 5, message, sizeof message);
}
