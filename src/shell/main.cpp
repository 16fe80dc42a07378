#include "fileops.h"
#include "shell.h"

#include "resource.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();
    UseSystemLeadBytes();
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
