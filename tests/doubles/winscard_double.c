/* winscard.dll stand-in: a PC/SC service whose reader list the test chooses.

   Place it as C:\windows\system32\winscard.dll (Wine must run with
   WINEDLLOVERRIDES=winscard=n so that this native copy is used) and drive it
   through the registry key HKEY_CURRENT_USER\Software\InstalatorTests\Winscard:

     "Readers" (REG_MULTI_SZ or REG_BINARY): the exact multi-string that
               SCardListReadersA returns, separators and closing NUL included.
               Missing: no reader is known (SCARD_E_NO_READERS_AVAILABLE).
     "Mode"    (REG_DWORD): 0 or missing serve "Readers"; 1 no reader is known;
               2 the size query succeeds and the list query fails
               (SCARD_E_NO_SERVICE).

   Every call of SCardListReadersA records the full path of the loaded copy in
   the value "LoadedFrom" (REG_SZ) and counts itself in "Calls" (REG_DWORD), so
   a test can tell which copy answered. */
#include <windows.h>

#define DOUBLE_KEY "Software\\InstalatorTests\\Winscard"
#define SCARD_E_INSUFFICIENT_BUFFER_CODE ((LONG)0x80100008L)
#define SCARD_E_NO_SERVICE_CODE ((LONG)0x8010001DL)
#define SCARD_E_NO_READERS_AVAILABLE_CODE ((LONG)0x8010002EL)
#define READERS_MAX 4096

static HINSTANCE g_module;

static void RecordCall(HKEY key)
{
    char path[MAX_PATH];
    DWORD calls = 0;
    DWORD size = sizeof calls;
    DWORD length = GetModuleFileNameA(g_module, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        RegSetValueExA(key, "LoadedFrom", 0, REG_SZ, (const BYTE *)path, length + 1);
    RegQueryValueExA(key, "Calls", NULL, NULL, (BYTE *)&calls, &size);
    ++calls;
    RegSetValueExA(key, "Calls", 0, REG_DWORD, (const BYTE *)&calls, sizeof calls);
}

__declspec(dllexport) LONG WINAPI SCardListReadersA(ULONG_PTR context, LPCSTR groups,
                                                    LPSTR readers, LPDWORD length)
{
    static char list[READERS_MAX];
    DWORD list_length = sizeof list;
    DWORD mode = 0;
    DWORD size = sizeof mode;
    HKEY key;
    LONG result = 0;
    (void)context;
    (void)groups;

    if (RegCreateKeyExA(HKEY_CURRENT_USER, DOUBLE_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return SCARD_E_NO_SERVICE_CODE;
    RecordCall(key);
    RegQueryValueExA(key, "Mode", NULL, NULL, (BYTE *)&mode, &size);
    if (mode == 1 ||
        RegQueryValueExA(key, "Readers", NULL, NULL, (BYTE *)list, &list_length) != ERROR_SUCCESS)
        result = SCARD_E_NO_READERS_AVAILABLE_CODE;
    RegCloseKey(key);
    if (result != 0)
        return result;
    if (length == NULL)
        return SCARD_E_INSUFFICIENT_BUFFER_CODE;
    if (readers == NULL) {
        *length = list_length;
        return 0;
    }
    if (mode == 2)
        return SCARD_E_NO_SERVICE_CODE;
    if (*length < list_length)
        return SCARD_E_INSUFFICIENT_BUFFER_CODE;
    CopyMemory(readers, list, list_length);
    *length = list_length;
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        g_module = instance;
    return TRUE;
}
