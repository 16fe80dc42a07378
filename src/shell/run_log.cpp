#include "shell.h"

#include "fileops.h"

#include <windows.h>

// The step lines need the log that the listener was given.
static RunLog *g_log;

int LogRunEvent(int event, const char *path, const char *, long long number, void *context)
{
    RunLog *log = (RunLog *)context;
    char line[PATH_BUFFER_SIZE + 96];
    if (event == RUN_EVENT_PLACED_AT_RESTART || event == RUN_EVENT_REMOVED_AT_RESTART)
        log->facts.restart = 1;
    else if (event == RUN_EVENT_NOT_PLACED)
        ++log->facts.not_placed;
    else if (event == RUN_EVENT_DRIVER_EXIT)
        log->facts.driver_exit = number;
    else if (event == RUN_EVENT_NO_WAY_BACK)
        log->facts.no_way_back = 1;
    if (ComposeRunEventLine(line, sizeof line, event, path, number))
        WriteReportLine(log->file, line);
    return 1;
}

void StartRunLog(RunLog *log)
{
    g_log = log;
}

RunLog *RunLogInUse(void)
{
    return g_log;
}

void LogStepEnd(const StepOutcomes *steps, int step)
{
    char line[REPORT_SIZE];
    if (g_log == NULL)
        return;
    ComposeStepLine(steps, step, line, sizeof line);
    if (line[0] != '\0')
        WriteReportLine(g_log->file, line);
}
