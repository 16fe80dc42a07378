#include "shell.h"

#include "components.h"

#include <windows.h>

// The system DLLs that Windows itself loads by name into a GUI process after
// it has started (uxtheme, dwmapi and cryptbase among them on 7): the list
// that the 7-Zip installer stub loads ahead where it cannot restrict the
// search (its DllSecur.c). Loading them first by their full path works
// because a module already loaded answers every later load by the same name,
// wherever that load would have searched (Microsoft, "Dynamic-link library
// search order": the loaded-module list). Those that an older Windows lacks
// simply fail to load.
const char *const PRELOADED_SYSTEM_DLLS[PRELOADED_SYSTEM_DLL_COUNT] = {
    "uxtheme.dll", "userenv.dll", "setupapi.dll", "apphelp.dll", "propsys.dll",
    "dwmapi.dll",  "cryptbase.dll", "oleacc.dll", "clbcatq.dll", "version.dll",
    // Loaded by name by the security calls of every run.
    "ntmarta.dll",
};

typedef BOOL(WINAPI *SetDefaultDllDirectoriesFunction)(DWORD);

void RestrictDllSearchFallback(void)
{
    // Takes the current directory out of the search; the program's own
    // directory stays first in it.
    SetDllDirectoryA("");
    // Kept loaded for the life of the process: that is what protects it.
    for (const char *name : PRELOADED_SYSTEM_DLLS)
        LoadLibraryFromSystemDirectory(name);
}

void RestrictDllSearch(void)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesFunction set_default_directories = NULL;
    // Imported statically, it would keep the program from starting on Vista
    // and on 7 without the loader update KB2533623.
    if (kernel != NULL)
        set_default_directories = (SetDefaultDllDirectoriesFunction)(void *)GetProcAddress(
            kernel, "SetDefaultDllDirectories");
    if (set_default_directories == NULL ||
        !set_default_directories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        RestrictDllSearchFallback();
}
