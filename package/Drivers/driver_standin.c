/* Driver installer stand-in of the sample package (410.exe): it installs
   nothing, only says which driver the real package would install, and closes
   by itself after a few seconds, without waiting for a key. */
#include <windows.h>

#include <stdio.h>

/* scripts/release.sh finds this text and refuses to ship the file; "used"
   keeps it in the program although nothing reads it. */
__attribute__((used)) static const char STAND_IN_MARKER[] = "INSTALATOR-SAMPLE-STAND-IN";

int main(void)
{
    puts("Pakiet przykladowy instalatora czytnika kart.");
    puts("W tym miejscu zostalby zainstalowany sterownik czytnika GemPC410.");
    puts("Nic nie zostalo zainstalowane. Okno zamknie sie samo.");
    fflush(stdout);
    Sleep(3000);
    return 0;
}
