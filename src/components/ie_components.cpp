#include "components.h"

#include "fileops.h"

#include <windows.h>

static const char TREE_SOURCE[] = "ocf\\*";

enum IeOutcome {
    IE_SUCCESS,
    IE_USER_ABORT,
    IE_PACKAGE_INCOMPLETE,
    IE_DIRECTORY_ERROR,
    IE_COPY_ERROR
};

// The outcome of a copy; a failure's code into `*copy_result`.
static int CopyOutcome(int result, int *copy_result)
{
    if (result == COPY_OK)
        return IE_SUCCESS;
    if (result == COPY_ABORTED)
        return IE_USER_ABORT;
    *copy_result = result;
    return IE_COPY_ERROR;
}

// Runs inside "msie": the OCF tree into the Windows directory's java\lib, then
// the bridge library into the system directory.
static int PlaceIeFiles(char *failed_path, int *copy_result)
{
    char path[PATH_BUFFER_SIZE];
    if (!ReadWindowsDirectory(path, PATH_BUFFER_SIZE))
        return IE_DIRECTORY_ERROR;
    // A target cut by the path bound fails the whole tree, named by its source.
    if (!AppendWholePathComponent(path, "java\\lib")) {
        *copy_result = COPY_FAILED;
        CopyTextBounded(failed_path, PATH_BUFFER_SIZE, TREE_SOURCE);
        return IE_COPY_ERROR;
    }
    // Only java\lib itself: without a Java VM there is no "java" directory,
    // and the tree copy then reports the failure.
    CreateDirectoryA(path, NULL);

    int outcome = CopyOutcome(CopyTree(TREE_SOURCE, path, 1, failed_path), copy_result);
    if (outcome != IE_SUCCESS)
        return outcome;

    if (!ReadSystemDirectory(path, PATH_BUFFER_SIZE))
        return IE_DIRECTORY_ERROR;
    int result = COPY_FAILED;
    CopyTextBounded(failed_path, PATH_BUFFER_SIZE, "ocfpcsc1.dll");
    if (AppendWholePathComponent(path, "ocfpcsc1.dll"))
        result = CopyFileGuarded("ocfpcsc1.dll", path, 1);
    return CopyOutcome(result, copy_result);
}

int InstallIeComponents(char *message, unsigned int message_size)
{
    char failed_path[PATH_BUFFER_SIZE] = "";
    int copy_result = COPY_OK;
    int outcome = IE_PACKAGE_INCOMPLETE;
    if (SetCurrentDirectoryA("msie")) {
        outcome = PlaceIeFiles(failed_path, &copy_result);
        SetCurrentDirectoryA("..");
    }

    switch (outcome) {
    case IE_SUCCESS:
        return RESULT_OK;
    case IE_USER_ABORT:
        CopyTextBounded(message, message_size, TEXT_USER_ABORT);
        return RESULT_ABORTED;
    case IE_PACKAGE_INCOMPLETE:
        CopyTextBounded(message, message_size, TEXT_PACKAGE_INCOMPLETE);
        return RESULT_ERROR;
    case IE_DIRECTORY_ERROR:
        CopyTextBounded(message, message_size, "Błąd ustalenia katalogu systemowego");
        return RESULT_ERROR;
    default:
        FormatCopyError(message, message_size, copy_result, failed_path);
        return RESULT_ERROR;
    }
}
