// The program's entry point, in place of the MinGW start-up code. The
// installer needs nothing of that code (it reads its arguments itself from
// GetCommandLineW; no static constructors, no thread-local data, no
// pseudo-relocations) and it would add some 10 KiB to the 44 KiB budget;
// msvcrt.dll sets itself up when it is loaded.
#include <windows.h>

// The link names it as the entry point; the whole-program optimisation must
// keep it.
#if defined(__GNUC__) && !defined(__clang__)
#define KEPT_FOR_THE_LINK __attribute__((externally_visible))
#else
#define KEPT_FOR_THE_LINK
#endif

extern "C" KEPT_FOR_THE_LINK void InstallerStartup(void)
{
    // No ANSI command line: the WinMain of each program started here ignores it.
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, NULL, SW_SHOWDEFAULT));
}
