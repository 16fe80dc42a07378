#include "shell.h"

#include "components.h"
#include "fileops.h"
#include "resource.h"

#include <windows.h>

namespace {

const int STATUS_LABEL[STEP_COUNT] = {
    0, IDC_STATUS_IE, IDC_STATUS_NETSCAPE, IDC_STATUS_JAVA_PLUGIN, IDC_STATUS_DRIVERS,
};

// The selection is read only now, after the other components have run.
int InstallSelectedReader(HWND dialog, char *message)
{
    LRESULT index = SendMessageA(GetDlgItem(dialog, IDC_READER_LIST), CB_GETCURSEL, 0, 0);
    int reader_type;
    if (!ReaderTypeOfItem(index, &reader_type)) {
        CopyTextBounded(message, STEP_MESSAGE_SIZE, "Wybór czytnika kart spoza dostępnej listy");
        return RESULT_ERROR;
    }
    return InstallReaderDriver(reader_type, message, STEP_MESSAGE_SIZE);
}

void RunSteps(HWND dialog, StepOutcomes *steps)
{
    bool ie = IsDlgButtonChecked(dialog, IDC_IE) != 0;
    bool netscape = IsDlgButtonChecked(dialog, IDC_NETSCAPE) != 0;
    bool java_plugin = IsDlgButtonChecked(dialog, IDC_JAVA_PLUGIN) != 0;
    bool drivers = IsDlgButtonChecked(dialog, IDC_DRIVERS) != 0;

    HCURSOR kept = SetCursor(LoadCursorA(NULL, IDC_WAIT));

    for (int step = 0; step < STEP_COUNT; ++step) {
        steps->result[step] = STEP_NOT_RUN;
        steps->message[step][0] = '\0';
    }
    steps->result[STEP_REMOVAL] = RemovePreviousOcf(steps->message[STEP_REMOVAL],
                                                    STEP_MESSAGE_SIZE);
    // An abort in a conflict prompt ends the chain; the removal never does.
    if (ie)
        steps->result[STEP_IE] = InstallIeComponents(steps->message[STEP_IE], STEP_MESSAGE_SIZE);
    if (steps->result[STEP_IE] != RESULT_ABORTED) {
        if (netscape)
            steps->result[STEP_NETSCAPE] =
                InstallNetscapeComponents(steps->message[STEP_NETSCAPE], STEP_MESSAGE_SIZE);
        if (steps->result[STEP_NETSCAPE] != RESULT_ABORTED) {
            if (java_plugin)
                steps->result[STEP_JAVA_PLUGIN] = InstallJavaPluginComponents(
                    steps->message[STEP_JAVA_PLUGIN], STEP_MESSAGE_SIZE);
            if (steps->result[STEP_JAVA_PLUGIN] != RESULT_ABORTED && drivers)
                steps->result[STEP_DRIVER] =
                    InstallSelectedReader(dialog, steps->message[STEP_DRIVER]);
        }
    }

    char report[REPORT_SIZE];
    const char *status[STEP_COUNT];
    ComposeReport(steps, report, sizeof report, status);
    for (int step = 0; step < STEP_COUNT; ++step) {
        if (status[step] != NULL)
            SetDlgItemTextPolish(dialog, STATUS_LABEL[step], status[step]);
    }
    SetDlgItemTextPolish(dialog, IDC_DETAILS, report);
    SetCursor(kept);
}

} // namespace

void RunInstallation(HWND dialog)
{
    StepOutcomes steps;
    RunSteps(dialog, &steps);

    EnableWindow(GetDlgItem(dialog, IDC_IE), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_NETSCAPE), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_JAVA_PLUGIN), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_DRIVERS), FALSE);
    ShowWindow(GetDlgItem(dialog, IDC_READER_LIST), SW_HIDE);
    ShowWindow(GetDlgItem(dialog, IDC_STATUS_DRIVERS), SW_SHOW);
}
