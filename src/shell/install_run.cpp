#include "shell.h"

#include "components.h"
#include "fileops.h"
#include "resource.h"

#include <windows.h>

namespace {

const int STATUS_LABEL[STEP_COUNT] = {
    0, IDC_STATUS_IE, IDC_STATUS_NETSCAPE, IDC_STATUS_JAVA_PLUGIN, IDC_STATUS_DRIVERS,
};
const int COMPONENT_BOX[STEP_COUNT] = {0, IDC_IE, IDC_NETSCAPE, IDC_JAVA_PLUGIN, IDC_DRIVERS};

// The selection is read only now, after the other components have run.
int InstallSelectedReader(const RunChoice *choice, char *message)
{
    long long index = choice->reader_item;
    if (choice->reader_list != NULL)
        index = SendMessageA(choice->reader_list, CB_GETCURSEL, 0, 0);
    int reader_type;
    if (!ReaderTypeOfItem(index, &reader_type)) {
        CopyTextBounded(message, STEP_MESSAGE_SIZE, "Wybór czytnika kart spoza dostępnej listy");
        return RESULT_ERROR;
    }
    TellRun(RUN_EVENT_READER_ROW, NULL, NULL, index);
    return InstallReaderDriver(reader_type, message, STEP_MESSAGE_SIZE);
}

typedef int (*InstallFunction)(char *message, unsigned int message_size);
const InstallFunction INSTALL_COMPONENTS[] = {InstallIeComponents, InstallNetscapeComponents,
                                              InstallJavaPluginComponents};

// The components in their order; an abort in a conflict prompt ends the chain.
void RunComponents(const RunChoice *choice, StepOutcomes *steps)
{
    const bool *ticked = choice->ticked;
    for (int step = STEP_IE; step <= STEP_JAVA_PLUGIN; ++step) {
        if (ticked[step])
            steps->result[step] =
                INSTALL_COMPONENTS[step - STEP_IE](steps->message[step], STEP_MESSAGE_SIZE);
        LogStepEnd(steps, step);
        if (steps->result[step] == RESULT_ABORTED)
            return;
    }
    if (ticked[STEP_DRIVER])
        steps->result[STEP_DRIVER] = InstallSelectedReader(choice, steps->message[STEP_DRIVER]);
    LogStepEnd(steps, STEP_DRIVER);
}

// Each fact of a run goes to the record and to the run's facts and, in a run
// with arguments, to its log: the same facts, told once.
struct RunListeners {
    Recording *recording;
    RunLog *log;
    char *refusal;  // while the way back is made ready
};

// The record answers: a change without its way back is refused.
int HandRunEvent(int event, const char *path, const char *detail, long long number,
                 void *context)
{
    const RunListeners *listeners = (const RunListeners *)context;
    if (listeners->refusal != NULL && event == RUN_EVENT_NO_WAY_BACK)
        ComposeRunEventLine(listeners->refusal, REFUSAL_SIZE, event, path, number);
    LogRunEvent(event, path, detail, number, listeners->log);
    return RecordRunEvent(event, path, detail, number, listeners->recording);
}

} // namespace

int RunSteps(const RunChoice *choice, StepOutcomes *steps, char *refusal)
{
    PrivatePackage package;
    Recording recording;
    RunListeners listeners = {&recording, RunLogInUse(), refusal};
    int code = EXIT_STEP_FAILED;

    for (int step = 0; step < STEP_COUNT; ++step) {
        steps->result[step] = STEP_NOT_RUN;
        steps->message[step][0] = '\0';
    }
    refusal[0] = '\0';
    SetRunListener(HandRunEvent, &listeners);
    // Without its way back the run changes nothing.
    if (!StartRecording(&recording)) {
        if (refusal[0] == '\0')
            TellRun(RUN_EVENT_NO_WAY_BACK, recording.folder, NULL, recording.refusal);
        goto done;
    }
    listeners.refusal = NULL;
    // The removal needs nothing of the package, and never ends the chain.
    steps->result[STEP_REMOVAL] = RemovePreviousOcf(steps->message[STEP_REMOVAL],
                                                    STEP_MESSAGE_SIZE);
    LogStepEnd(steps, STEP_REMOVAL);
    if (EnterPrivatePackage(&package)) {
        RunComponents(choice, steps);
        LeavePrivatePackage(&package, DriverInstallerMayRun());
    } else {
        // Nothing of the package is placed or started unchecked.
        for (int step = STEP_IE; step < STEP_COUNT; ++step) {
            if (choice->ticked[step]) {
                steps->result[step] = RESULT_ERROR;
                CopyTextBounded(steps->message[step], STEP_MESSAGE_SIZE, TEXT_PACKAGE_INCOMPLETE);
            }
            LogStepEnd(steps, step);
        }
    }
    code = ExitCodeOfRun(steps, &listeners.log->facts);
done:
    // Its registration is a fact of the run too.
    FinishRecording(&recording, code == EXIT_DONE || code == EXIT_RESTART_REQUIRED);
    SetRunListener(NULL, NULL);
    return code;
}

int RunInstallation(HWND dialog, StepOutcomes *steps, char *refusal)
{
    RunChoice choice = {{true}, GetDlgItem(dialog, IDC_READER_LIST), 0};
    // BM_GETCHECK, as IsDlgButtonChecked sends it.
    for (int step = STEP_IE; step < STEP_COUNT; ++step)
        choice.ticked[step] =
            SendMessageA(GetDlgItem(dialog, COMPONENT_BOX[step]), BM_GETCHECK, 0, 0) != 0;
    HCURSOR kept = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    RunSteps(&choice, steps, refusal);
    SetCursor(kept);
    if (refusal[0] != '\0')
        return 0;

    char report[REPORT_SIZE];
    const char *status[STEP_COUNT];
    ComposeReport(steps, report, sizeof report, status);
    for (int step = 0; step < STEP_COUNT; ++step) {
        if (status[step] != NULL)
            SetDlgItemTextPolish(dialog, STATUS_LABEL[step], status[step]);
    }
    SetDlgItemTextPolish(dialog, IDC_DETAILS, report);

    for (int step = STEP_IE; step < STEP_COUNT; ++step)
        EnableWindow(GetDlgItem(dialog, COMPONENT_BOX[step]), FALSE);
    ShowWindow(GetDlgItem(dialog, IDC_READER_LIST), SW_HIDE);
    ShowWindow(GetDlgItem(dialog, IDC_STATUS_DRIVERS), SW_SHOW);
    return 1;
}
