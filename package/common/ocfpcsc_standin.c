/* Stand-in for the OCF PC/SC bridge library of the sample package: a valid
   64-bit DLL that a Java runtime could load, with no function of its own but a
   version query, so that nothing in the sample package talks to a card reader. */
#include <windows.h>

__declspec(dllexport) int OcfPcscStandInVersion(void)
{
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
