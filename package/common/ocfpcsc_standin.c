/* Stand-in for the OCF PC/SC bridge library of the sample package: a valid
   64-bit DLL that a Java runtime could load, with no function of its own but
   one that names it a stand-in, so that nothing in the sample package talks to
   a card reader. scripts/release.sh finds the marker text and refuses to ship
   the file; the export keeps the text in the stripped DLL. */
#include <windows.h>

__declspec(dllexport) const char *OcfPcscStandInMarker(void)
{
    return "INSTALATOR-SAMPLE-STAND-IN";
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
