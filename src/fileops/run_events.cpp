#include "fileops.h"

// Process-wide, as the unattended answers: the shell decides before the run
// who listens.
static RunListener g_listener;
static void *g_context;
static int g_paused;

void PauseRun(int paused)
{
    g_paused = paused;
}

void SetRunListener(RunListener listener, void *context)
{
    g_listener = listener;
    g_context = context;
}

int TellRun(int event, const char *path, const char *detail, long long number)
{
    return g_listener == 0 || g_paused || g_listener(event, path, detail, number, g_context);
}
