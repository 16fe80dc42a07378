// The program's entry point, in place of the MinGW start-up code. The
// installer needs nothing of that code (it reads its arguments itself from
// GetCommandLineW; no static constructors, no thread-local data, no
// pseudo-relocations) and it would add some 10 KiB to the 44 KiB budget;
// msvcrt.dll sets itself up when it is loaded.
#include <windows.h>

extern "C" void InstallerStartup(void)
{
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, GetCommandLineA(), SW_SHOWDEFAULT));
}
