#include "shell.h"

#include "resource.h"

#include <windows.h>
#include <commctrl.h>

typedef BOOL(WINAPI *SetDefaultDllDirectoriesFunction)(DWORD);

// The package is often started from a download folder: a DLL planted beside
// the installer must never be loaded in place of a system one. Vista, and 7
// without the loader update KB2533623, lack SetDefaultDllDirectories (imported
// statically, it would keep the program from starting there); SetDllDirectoryA
// then at least takes the current directory out of the search.
static void RestrictDllSearch(void)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesFunction set_default_directories = NULL;
    if (kernel != NULL)
        set_default_directories = (SetDefaultDllDirectoriesFunction)(void *)GetProcAddress(
            kernel, "SetDefaultDllDirectories");
    if (set_default_directories == NULL ||
        !set_default_directories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryA("");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();
    // "Enabling Visual Styles" asks for the call together with the manifest's
    // Common-Controls 6 dependency; under version 6 it registers nothing.
    InitCommonControls();

    int answer = ShowMessageBoxPolish(
        NULL,
        "Za chwilę rozpocznie się instalacja i konfiguracja środowiska obsługi czytnika kart "
        "mikroprocesorowych, dla współpracy z przeglądarkami internetowymi: MS Internet Explorer "
        "i tych pracujących\nna bazie silnika Java Plug-in (m.in. przeglądarki: Mozilla, "
        "Netscape 7.x, Opera)\n\nInstalator spróbuje samodzielnie wykryć przeglądarki "
        "zainstalowane na tym komputerze i dokonać dla nich konfiguracji odpowiedniego "
        "środowiska. Dlatego też należy mieć już zainstalowane przeglądarki internetowe, które "
        "mają współpracować z czytnikiem kart, lub gdy ich nie ma, opuścić ten instalator, "
        "zainstalować wymagane przeglądarki i uruchomić go ponownie.\n\nCzy chcesz kontynuować "
        "instalacje ?",
        "Instalator czytnika kart mikropr. dla przeglądarek internetowych", MB_YESNO);
    if (answer == IDYES)
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc, 0);
    return 0;
}
