#include "shell.h"

#include "fileops.h"
#include "resource.h"
#include "version.h"

#include <windows.h>

namespace {

// The dialog-wide values, touched only by MainDialogProc on the dialog's thread.
int g_full_height;
int g_collapsed_height;
int g_details_state = DETAILS_NOT_RUN;
// From the dialog's initialisation parameter; never null.
DialogRun *g_run;
// A run can be re-entered only while a conflict prompt is open (the prompt has
// no owner, so the dialog stays enabled); commands then are ignored.
bool g_run_in_progress;

void ResizeKeepingTopLeft(HWND dialog, int height)
{
    RECT window;
    GetWindowRect(dialog, &window);
    MoveWindow(dialog, window.left, window.top, window.right - window.left, height, TRUE);
}

void UpdateButtonCaptions(HWND dialog)
{
    char caption[32];
    FormatTextBounded(caption, sizeof caption, "&Szczegóły %s",
                      g_details_state == DETAILS_COLLAPSED ? ">>" : "<<");
    SetDlgItemTextPolish(dialog, IDOK, caption);
    SetDlgItemTextPolish(dialog, IDCANCEL, "&Zamknij");
}

void Initialise(HWND dialog)
{
    SetFocus(GetDlgItem(dialog, IDOK));

    char title[64];
    FormatTextBounded(title, sizeof title, "Instalator czytnika kart mikroproc. [v%d.%d]",
                      INSTALATOR_VERSION_MAJOR, INSTALATOR_VERSION_MINOR);
    SetWindowTextPolish(dialog, title);

    RECT window, details;
    GetWindowRect(dialog, &window);
    GetWindowRect(GetDlgItem(dialog, IDC_DETAILS), &details);
    g_full_height = window.bottom - window.top;
    g_collapsed_height = details.top - window.top;
    // Already centred at the full height by DS_CENTER; the top edge stays.
    ResizeKeepingTopLeft(dialog, g_collapsed_height);

    g_details_state = DETAILS_NOT_RUN;
    CheckDlgButton(dialog, IDC_DRIVERS, BST_CHECKED);
    CheckDlgButton(dialog, IDC_JAVA_PLUGIN, BST_CHECKED);
    ShowWindow(GetDlgItem(dialog, IDC_STATUS_DRIVERS), SW_HIDE);

    HWND list = GetDlgItem(dialog, IDC_READER_LIST);
    for (int row = 0; row < READER_ROW_COUNT; ++row)
        SendMessageA(list, CB_ADDSTRING, 0, (LPARAM)READER_LIST[row].text);
    SendMessageA(list, CB_SETCURSEL, 0, 0);

    const CommandChoice *choice = g_run->choice;
    if (choice != NULL && choice->components != 0) {
        CheckDlgButton(dialog, IDC_DRIVERS,
                       choice->components & COMPONENT_DRIVERS ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_JAVA_PLUGIN,
                       choice->components & COMPONENT_JAVA ? BST_CHECKED : BST_UNCHECKED);
    }
    if (choice != NULL && choice->reader_row >= 0)
        SendMessageA(list, CB_SETCURSEL, (WPARAM)choice->reader_row, 0);
}

void ToggleDetails(HWND dialog)
{
    if (g_details_state == DETAILS_COLLAPSED) {
        ResizeKeepingTopLeft(dialog, g_full_height);
        g_details_state = DETAILS_EXPANDED;
    } else {
        ResizeKeepingTopLeft(dialog, g_collapsed_height);
        g_details_state = DETAILS_COLLAPSED;
    }
    UpdateButtonCaptions(dialog);
}

void Close(HWND dialog)
{
    if (g_details_state != DETAILS_NOT_RUN)
        ShowMessageBoxPolish(dialog,
                             "Dla poprawnego zakończenia instalacji konieczne jest "
                             "zrestartowanie komputera.",
                             "Info", MB_OK);
    EndDialog(dialog, 0);
}

} // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_INITDIALOG) {
        g_run = (DialogRun *)lparam;
        Initialise(dialog);
    } else if (message == WM_COMMAND && !g_run_in_progress) {
        switch (LOWORD(wparam)) {
        case IDOK:
            if (g_details_state == DETAILS_NOT_RUN) {
                g_run_in_progress = true;
                RunInstallation(dialog, &g_run->steps);
                g_run->ran = 1;
                g_run_in_progress = false;
                g_details_state = DETAILS_COLLAPSED;
                UpdateButtonCaptions(dialog);
            } else {
                ToggleDetails(dialog);
            }
            break;
        case IDCANCEL:
            Close(dialog);
            break;
        default:
            break;
        }
    }
    // FALSE throughout: the dialog manager's defaults apply, and after
    // WM_INITDIALOG the focus stays where Initialise put it.
    return FALSE;
}

void OpenInstallerWindow(HINSTANCE instance, DialogRun *run)
{
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
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc, (LPARAM)run);
}
