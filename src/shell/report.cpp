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

// The components' headers begin with COMPONENTS_HEADER, carried once.
const char COMPONENTS_HEADER[] = "Instalacja komponentów dla ";
// Per step, as NthText reads them.
const char HEADER[] = "Detekcja/deinstalacja poprzedniego środowiska OCF: \0"
                      "MS Internet Explorera: \0"
                      "Netscape 4.x: \0"
                      "Java Plug-in: \0"
                      "Instalacja sterownika czytnika kart: ";
// Screen order: the driver runs last but its row is the first one.
const int SCREEN_ORDER[STEP_COUNT] = {STEP_REMOVAL, STEP_DRIVER, STEP_IE, STEP_NETSCAPE,
                                      STEP_JAVA_PLUGIN};

// The report file shows the removal also when it succeeded.
void AppendStep(const StepOutcomes *steps, int step, char *report, size_t report_size,
                const char **status, const char *entry_end, bool every_removal)
{
    int result = steps->result[step];
    if (result == STEP_NOT_RUN)
        return;
    if (step == STEP_REMOVAL) {
        if (result != 0 && !every_removal)
            return;
        result = result == 0 ? RESULT_ERROR : RESULT_OK;
    } else if (step != STEP_DRIVER && result == RESULT_ABORTED) {
        return;
    }
    if (step >= STEP_IE && step <= STEP_JAVA_PLUGIN)
        AppendTextBounded(report, report_size, COMPONENTS_HEADER);
    AppendEntry(report, report_size, NthText(HEADER, step), result, steps->message[step], status,
                entry_end);
}

void Compose(const StepOutcomes *steps, char *report, size_t report_size,
             const char *status[STEP_COUNT], const char *entry_end, bool every_removal)
{
    const char *removal_status;
    for (int step = 0; step < STEP_COUNT; ++step)
        status[step] = NULL;
    CopyTextBounded(report, report_size, "");
    for (int i = 0; i < STEP_COUNT; ++i) {
        int step = SCREEN_ORDER[i];
        AppendStep(steps, step, report, report_size,
                   step == STEP_REMOVAL ? &removal_status : &status[step], entry_end,
                   every_removal);
    }
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

void ComposeStepLine(const StepOutcomes *steps, int step, char *line, size_t line_size)
{
    const char *status;
    CopyTextBounded(line, line_size, "");
    AppendStep(steps, step, line, line_size, &status, "", true);
}

int ExitCodeOfRun(const StepOutcomes *steps, const RunFacts *facts)
{
    int code = steps->result[STEP_REMOVAL] == 0 ? EXIT_STEP_FAILED : EXIT_DONE;
    for (int step = STEP_IE; step < STEP_COUNT; ++step) {
        int result = steps->result[step];
        if (result == RESULT_ABORTED)
            return EXIT_USER_CANCELLED;
        if (result == RESULT_ERROR)
            code = EXIT_STEP_FAILED;
        else if (result != RESULT_OK && result != STEP_NOT_RUN && code != EXIT_STEP_FAILED)
            code = EXIT_WARNING;
    }
    if (code != EXIT_DONE)
        return code;
    // The report's OK counts a step; a file left out still leaves the PC short.
    if (facts->not_placed > 0 || facts->no_way_back)
        return EXIT_WARNING;
    if (facts->driver_exit == EXIT_RESTART_STARTED)
        return EXIT_RESTART_STARTED;
    return facts->restart || facts->driver_exit == EXIT_RESTART_REQUIRED ? EXIT_RESTART_REQUIRED
                                                                          : EXIT_DONE;
}
