#include "shell.h"

#include "fileops.h"
#include "resource.h"
#include "version.h"

#include <windows.h>

namespace {

// Posted on WM_DPICHANGED: the dialog manager rescales the window and its
// controls after the dialog procedure has returned, so the heights are
// measured once this message comes.
const UINT WM_APP_MEASURE = WM_APP;

// The dialog-wide values, touched only by MainDialogProc on the dialog's thread.
int g_full_height;
int g_collapsed_height;
int g_details_state;  // DETAILS_NOT_RUN from WM_INITDIALOG on
// From the dialog's initialisation parameter; never null.
DialogRun *g_run;
// A run can be re-entered only while a conflict prompt is open (the prompt has
// no owner, so the dialog stays enabled); commands then are ignored.
bool g_run_in_progress;

// Full height only while unfolded; the left and top edges stay.
void ResizeToDetailsState(HWND dialog)
{
    RECT window;
    GetWindowRect(dialog, &window);
    MoveWindow(dialog, window.left, window.top, window.right - window.left,
               g_details_state == DETAILS_EXPANDED ? g_full_height : g_collapsed_height, TRUE);
}

// The heights at the dialog's present scale, whether folded or not: the
// folded window ends where the report's label begins, the full one at the
// template's height.
void MeasureHeights(HWND dialog)
{
    RECT window, client, label;
    RECT full = {0, 0, 0, IDD_MAIN_HEIGHT};
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    GetWindowRect(GetDlgItem(dialog, IDC_DETAILS_LABEL), &label);
    MapDialogRect(dialog, &full);
    g_full_height = window.bottom - window.top - client.bottom + full.bottom;
    g_collapsed_height = label.top - window.top;
}

// After the run and at each toggle. The focus goes to "Szczegóły": the run
// disables the check boxes and hides the list, and folding hides the report,
// any of which may have held it.
void UpdateButtonCaptions(HWND dialog)
{
    char caption[32];
    FormatTextBounded(caption, sizeof caption, "&Szczegóły %s",
                      g_details_state == DETAILS_COLLAPSED ? ">>" : "<<");
    SetDlgItemTextPolish(dialog, IDOK, caption);
    SetDlgItemTextPolish(dialog, IDCANCEL, "&Zamknij");
    SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dialog, IDOK), TRUE);
}

// BM_SETCHECK, as CheckDlgButton sends it.
void CheckButton(HWND dialog, int id, int checked)
{
    SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Initialise(HWND dialog)
{
    SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dialog, IDOK), TRUE);

    char title[64];
    FormatTextBounded(title, sizeof title, "Instalator czytnika kart mikroproc. [v%d.%d]",
                      INSTALATOR_VERSION_MAJOR, INSTALATOR_VERSION_MINOR);
    SetWindowTextPolish(dialog, title);

    MeasureHeights(dialog);
    g_details_state = DETAILS_NOT_RUN;
    // Already centred at the full height by DS_CENTER; the top edge stays.
    ResizeToDetailsState(dialog);

    const CommandChoice *choice = g_run->choice;
    int components = choice != NULL && choice->components != 0
                         ? choice->components
                         : COMPONENT_DRIVERS | COMPONENT_JAVA;
    CheckButton(dialog, IDC_DRIVERS, components & COMPONENT_DRIVERS);
    CheckButton(dialog, IDC_JAVA_PLUGIN, components & COMPONENT_JAVA);
    ShowWindow(GetDlgItem(dialog, IDC_STATUS_DRIVERS), SW_HIDE);

    HWND list = GetDlgItem(dialog, IDC_READER_LIST);
    for (int row = 0; row < READER_ROW_COUNT; ++row)
        SendMessageA(list, CB_ADDSTRING, 0, (LPARAM)READER_LIST[row].text);
    SendMessageA(list, CB_SETCURSEL,
                 choice != NULL && choice->reader_row >= 0 ? (WPARAM)choice->reader_row : 0, 0);
}

void ToggleDetails(HWND dialog)
{
    g_details_state = g_details_state == DETAILS_COLLAPSED ? DETAILS_EXPANDED : DETAILS_COLLAPSED;
    UpdateButtonCaptions(dialog);
    const int show = g_details_state == DETAILS_EXPANDED ? SW_SHOW : SW_HIDE;
    ShowWindow(GetDlgItem(dialog, IDC_DETAILS_LABEL), show);
    ShowWindow(GetDlgItem(dialog, IDC_DETAILS), show);
    ResizeToDetailsState(dialog);
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
                char refusal[REFUSAL_SIZE];
                const char *refused = ANOTHER_INSTANCE_TEXT;
                // The other installer may have ended since the window opened.
                if (g_run->alone || (g_run->alone = HoldInstallerMutex())) {
                    g_run_in_progress = true;
                    g_run->ran = RunInstallation(dialog, &g_run->steps, refusal);
                    g_run_in_progress = false;
                    refused = refusal;
                }
                // Either refusal leaves the window ready to install.
                if (!g_run->ran) {
                    ShowMessageBoxPolish(dialog, refused, PROGRAM_TITLE, MB_OK | MB_ICONWARNING);
                    break;
                }
                g_details_state = DETAILS_COLLAPSED;
                // The list's label goes with the list.
                ShowWindow(GetDlgItem(dialog, IDC_READER_LABEL), SW_HIDE);
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
    } else if (message == WM_DPICHANGED) {
        PostMessageA(dialog, WM_APP_MEASURE, 0, 0);
    } else if (message == WM_APP_MEASURE) {
        MeasureHeights(dialog);
        ResizeToDetailsState(dialog);
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
