#include "shell.h"

#include "components.h"
#include "fileops.h"

#include <string.h>

namespace {

const char ENTRY_END[] = "\r\n\r\n";

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
                 const char *message, const char **status)
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
    AppendTextBounded(report, report_size, ENTRY_END);
}

bool ComponentShown(int result)
{
    return result != STEP_NOT_RUN && result != RESULT_ABORTED;
}

} // namespace

void ComposeReport(const StepOutcomes *steps, char *report, size_t report_size,
                   const char *status[STEP_COUNT])
{
    for (int step = 0; step < STEP_COUNT; ++step)
        status[step] = NULL;
    CopyTextBounded(report, report_size, "");

    if (steps->result[STEP_REMOVAL] == 0) {
        AppendTextBounded(report, report_size,
                          "Detekcja/deinstalacja poprzedniego środowiska OCF: BŁĄD - ");
        AppendMessage(report, report_size, steps->message[STEP_REMOVAL]);
        AppendTextBounded(report, report_size, ENTRY_END);
    }
    // Screen order: the driver runs last but its row is the first one.
    if (steps->result[STEP_DRIVER] != STEP_NOT_RUN)
        AppendEntry(report, report_size, "Instalacja sterownika czytnika kart: ",
                    steps->result[STEP_DRIVER], steps->message[STEP_DRIVER],
                    &status[STEP_DRIVER]);
    if (ComponentShown(steps->result[STEP_IE]))
        AppendEntry(report, report_size, "Instalacja komponentów dla MS Internet Explorera: ",
                    steps->result[STEP_IE], steps->message[STEP_IE], &status[STEP_IE]);
    if (ComponentShown(steps->result[STEP_NETSCAPE]))
        AppendEntry(report, report_size, "Instalacja komponentów dla Netscape 4.x: ",
                    steps->result[STEP_NETSCAPE], steps->message[STEP_NETSCAPE],
                    &status[STEP_NETSCAPE]);
    if (ComponentShown(steps->result[STEP_JAVA_PLUGIN]))
        AppendEntry(report, report_size, "Instalacja komponentów dla Java Plug-in: ",
                    steps->result[STEP_JAVA_PLUGIN], steps->message[STEP_JAVA_PLUGIN],
                    &status[STEP_JAVA_PLUGIN]);
}
