#include "fileops.h"

#include <string.h>

// Process-wide: the shell decides once, before the run, who answers.
static RestartReplacements *g_replaced;

void SetUnattendedAnswers(RestartReplacements *replaced)
{
    g_replaced = replaced;
}

RestartReplacements *UnattendedAnswers(void)
{
    return g_replaced;
}

int RestartReplacementRecorded(const char *target)
{
    for (int i = 0; i < g_replaced->count; ++i) {
        if (strcmp(g_replaced->target[i], target) == 0)
            return 1;
    }
    return 0;
}

void RecordRestartReplacement(const char *target)
{
    if (!RestartReplacementRecorded(target) && g_replaced->count < RESTART_REPLACEMENTS_MAX)
        CopyTextBounded(g_replaced->target[g_replaced->count++], PATH_BUFFER_SIZE, target);
}
