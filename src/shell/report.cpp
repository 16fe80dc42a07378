#include "shell.h"

#include "components.h"
#include "fileops.h"

#include <string.h>

namespace {

// A step's message may lack its terminator if the step misbehaved; take no
// more than the buffer can hold.
void AppendMessage(char *report, size_t report_size, const char *message)
{
    char bounded[STEP_MESSAGE_SIZE];
    size_t length = strnlen(message, STEP_MESSAGE_SIZE - 1);
    memcpy(bounded, message, length);
    bounded[length] = '\0';
    AppendTextBounded(report, report_size, bounded);
}

void AppendEntry(char *report, size_t report_size, const char *header, int result,
                 const char *message, const char **status, const char *entry_end)
{
    AppendTextBounded(report, report_size, header);
    if (result == RESULT_OK) {
        AppendTextBounded(report, report_size, "OK");
        *status = "OK";
    } else if (result == RESULT_ERROR) {
        AppendTextBounded(report, report_size, "BŁĄD - ");
        AppendMessage(report, report_size, message);
        *status = "BŁĄD";
    } else {
        AppendTextBounded(report, report_size, "UWAGA - ");
        AppendMessage(report, report_size, message);
        *status = "UWAGA";
    }
    AppendTextBounded(report, report_size, entry_end);
}

bool ComponentShown(int result)
{
    return result != STEP_NOT_RUN && result != RESULT_ABORTED;
}

// The report file shows the removal also when it succeeded.
void Compose(const StepOutcomes *steps, char *report, size_t report_size,
             const char *status[STEP_COUNT], const char *entry_end, bool every_removal)
{
    const char *removal_status;
    for (int step = 0; step < STEP_COUNT; ++step)
        status[step] = NULL;
    CopyTextBounded(report, report_size, "");

    if (steps->result[STEP_REMOVAL] == 0 ||
        (every_removal && steps->result[STEP_REMOVAL] != STEP_NOT_RUN))
        AppendEntry(report, report_size, "Detekcja/deinstalacja poprzedniego środowiska OCF: ",
                    steps->result[STEP_REMOVAL] == 0 ? RESULT_ERROR : RESULT_OK,
                    steps->message[STEP_REMOVAL], &removal_status, entry_end);
    // Screen order: the driver runs last but its row is the first one.
    if (steps->result[STEP_DRIVER] != STEP_NOT_RUN)
        AppendEntry(report, report_size, "Instalacja sterownika czytnika kart: ",
                    steps->result[STEP_DRIVER], steps->message[STEP_DRIVER],
                    &status[STEP_DRIVER], entry_end);
    if (ComponentShown(steps->result[STEP_IE]))
        AppendEntry(report, report_size, "Instalacja komponentów dla MS Internet Explorera: ",
                    steps->result[STEP_IE], steps->message[STEP_IE], &status[STEP_IE], entry_end);
    if (ComponentShown(steps->result[STEP_NETSCAPE]))
        AppendEntry(report, report_size, "Instalacja komponentów dla Netscape 4.x: ",
                    steps->result[STEP_NETSCAPE], steps->message[STEP_NETSCAPE],
                    &status[STEP_NETSCAPE], entry_end);
    if (ComponentShown(steps->result[STEP_JAVA_PLUGIN]))
        AppendEntry(report, report_size, "Instalacja komponentów dla Java Plug-in: ",
                    steps->result[STEP_JAVA_PLUGIN], steps->message[STEP_JAVA_PLUGIN],
                    &status[STEP_JAVA_PLUGIN], entry_end);
}

} // namespace

void ComposeReport(const StepOutcomes *steps, char *report, size_t report_size,
                   const char *status[STEP_COUNT])
{
    Compose(steps, report, report_size, status, "\r\n\r\n", false);
}

void ComposeReportLines(const StepOutcomes *steps, char *lines, size_t lines_size)
{
    const char *status[STEP_COUNT];
    Compose(steps, lines, lines_size, status, "\r\n", true);
}

int ExitCodeOfRun(const StepOutcomes *steps)
{
    int code = steps->result[STEP_REMOVAL] == 0 ? EXIT_STEP_FAILED : EXIT_RESTART_REQUIRED;
    for (int step = STEP_IE; step < STEP_COUNT; ++step) {
        int result = steps->result[step];
        if (result == RESULT_ABORTED)
            return EXIT_USER_CANCELLED;
        if (result == RESULT_ERROR)
            code = EXIT_STEP_FAILED;
        else if (result != RESULT_OK && result != STEP_NOT_RUN && code != EXIT_STEP_FAILED)
            code = EXIT_WARNING;
    }
    return code;
}
