// The floor of the start-up benchmark: a program that does nothing but show
// one message box like the installer's first one, built like the installer.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    MessageBoxA(NULL, "Minimalny program", "Instalator czytnika kart mikropr. dla przeglądarek internetowych",
                MB_YESNO);
    return 0;
}
