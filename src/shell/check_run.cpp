#include "shell.h"

#include "components.h"

#include <string.h>
#include <windows.h>

// A file that the install places, below its place, and the package file that
// it is a copy of; none for a file that must be gone.
struct CheckedTarget {
    const char *target;
    const char *source;
};
enum { PLACE_FILES_MAX = 4 };

static const CheckedTarget SYSTEM_FILES[] = {
    {"ocfpcsc1.dll", "sun\\ocfpcsc1.dll"},
    {"ocfpcsc164.dll", "sun\\ocfpcsc1.dll"},
    {"ocfpcsc1_64.dll", "sun\\ocfpcsc1_64.dll"},
    {"ocf1.2.jar", NULL},
};
static const CheckedTarget LAST_JRE_FILES[] = {
    {"lib\\ext\\ocfpcsc1.dll", "sun\\ocfpcsc1.dll"},
    {"lib\\ext\\ocfpcsc1_64.dll", "sun\\ocfpcsc1_64.dll"},
};
// Per FINDING_*, as NthText reads them.
static const char FINDING_TEXT[] = "Zgodny: \0Obecny, treści nie porównano: \0"
                                   "Usunięty, zgodnie: \0Brak: \0Inny: \0Pozostawiony: ";

struct CheckWork {
    RunRecord record;
    HANDLE log;
    char last_jre[JAVA_HOME_BUFFER_SIZE];
    int last_jre_end;  // 0 while no trusted JRE was found
    int not_whole;
    int record_read;  // an unreadable record says nothing
};

static const char *LastElement(const char *path)
{
    const char *name = path + SeparatorEnd(path, strlen(path));
    return name;
}

// This version's content of `target`: the list's for its package file, else
// what the record holds for a file of its name that the runs left elsewhere;
// null where neither says.
static const unsigned char *ExpectedDigest(const CheckWork *work, const CheckedTarget *target,
                                           unsigned char *digest)
{
    if (FindListedDigest(target->source, digest))
        return digest;
    const char *name = LastElement(target->target);
    for (int i = 0; work->record_read && i < work->record.count; ++i) {
        const RecordEntry *entry = &work->record.entry[i];
        if (entry->left == LEFT_DIGEST && _stricmp(LastElement(entry->path), name) == 0) {
            memcpy(digest, entry->digest, SHA256_SIZE);
            return digest;
        }
    }
    return NULL;
}

static int ReadCheckedFile(const char *path, unsigned char *digest)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? CHECKED_ABSENT
                   : CHECKED_UNREADABLE;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && HashFileSha256(path, digest))
        return CHECKED_PRESENT;
    return CHECKED_UNREADABLE;
}

// The files of one place, `base` its folder (a home from byte 1 of a quoted
// one), each judged and logged.
static void CheckPlace(CheckWork *work, const char *base, const CheckedTarget *targets, int count,
                       int is_home)
{
    CheckedFile files[PLACE_FILES_MAX];
    unsigned char expected[PLACE_FILES_MAX][SHA256_SIZE];
    char paths[PLACE_FILES_MAX][PATH_BUFFER_SIZE];
    int findings[PLACE_FILES_MAX];
    char line[PATH_BUFFER_SIZE + 64];
    for (int i = 0; i < count; ++i) {
        CheckedFile *file = &files[i];
        CopyTextBounded(paths[i], PATH_BUFFER_SIZE, base);
        file->unwanted = targets[i].source == NULL;
        file->expected = file->unwanted ? NULL : ExpectedDigest(work, &targets[i], expected[i]);
        file->state = AppendWholePathComponent(paths[i], targets[i].target)
                          ? ReadCheckedFile(paths[i], file->digest)
                          : CHECKED_UNREADABLE;
    }
    int place = JudgeCheckedPlace(files, count, is_home, findings);
    for (int i = 0; i < count; ++i) {
        FormatTextBounded(line, sizeof line, "%s" NAME_BEGIN "%s" NAME_END,
                          NthText(FINDING_TEXT, findings[i]), paths[i]);
        WriteReportLine(work->log, line);
    }
    if (place == PLACE_NEW) {
        FormatTextBounded(line, sizeof line,
                          "Środowisko Java bez plików instalatora: " NAME_BEGIN "%s" NAME_END,
                          base);
        WriteReportLine(work->log, line);
    }
    work->not_whole |= place != PLACE_WHOLE;
}

static int CheckHome(const char *home, int home_end, int trusted, const JavaTargets *targets,
                     int is_jre, void *context)
{
    CheckWork *work = (CheckWork *)context;
    const CheckedTarget files[] = {
        {targets->library, "sun\\ocf1.2.jar"},
        {targets->properties, "sun\\opencard.properties"},
        {targets->policy, "sun\\java.policy"},
    };
    if (!trusted)
        return 0;
    CheckPlace(work, home + 1, files, 3, 1);
    if (is_jre) {
        memcpy(work->last_jre, home, (size_t)home_end + 1);
        work->last_jre_end = home_end;
    }
    return 0;
}

// Only a caller who redirected our output reads it: a detection script.
static void SayInstalled(void)
{
    static const char INSTALLED[] = "Installed\r\n";
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    // FILE_TYPE_UNKNOWN for none, or a handle that is not one.
    DWORD type = GetFileType(output);
    DWORD written;
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE)
        WriteFile(output, INSTALLED, sizeof INSTALLED - 1, &written, NULL);
}

int RunCheck(HANDLE log, char *reason)
{
    CheckWork work;
    char folder[PATH_BUFFER_SIZE];
    char system[PATH_BUFFER_SIZE];
    if (!FindRegistration(folder)) {
        CopyTextBounded(reason, REASON_SIZE, "Brak instalacji");
        return EXIT_UNKNOWN_PRODUCT;
    }
    work.record_read = LoadRecord(folder, &work.record);
    work.log = log;
    work.last_jre_end = 0;
    work.not_whole = 0;
    HoldHashProvider(1);
    SetRunListener(LogRunEvent, RunLogInUse());
    VisitServedHomes(KEY_READ, CheckHome, &work);
    SetRunListener(NULL, NULL);
    if (work.last_jre_end > 0)
        CheckPlace(&work, work.last_jre + 1, LAST_JRE_FILES, 2, 0);
    if (ReadSystemDirectory(system, sizeof system))
        CheckPlace(&work, system, SYSTEM_FILES, 4, 0);
    else
        work.not_whole = 1;
    HoldHashProvider(0);
    FreeRecord(&work.record);
    if (work.not_whole)
        return EXIT_WARNING;
    SayInstalled();
    return EXIT_DONE;
}
