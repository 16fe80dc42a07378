#include "components.h"

#include "fileops.h"

#include <string.h>
#include <windows.h>

enum { BACKUP_PATH_SIZE = 260 };

enum Outcome { OUTCOME_NONE, OUTCOME_PACKAGE_INCOMPLETE, OUTCOME_JAVA_NOT_FOUND };

// A JRE's targets are a JDK's without its leading "jre\": each text is kept once.
static const char JDK_LIBRARY[] = "jre\\lib\\ext\\ocf1.2.jar";
static const char JDK_PROPERTIES[] = "jre\\lib\\opencard.properties";
static const char JDK_POLICY[] = "jre\\lib\\security\\java.policy";
enum { JRE_PREFIX_LENGTH = sizeof "jre\\" - 1 };

const JavaTargets JRE_TARGETS = {
    JDK_LIBRARY + JRE_PREFIX_LENGTH,
    JDK_PROPERTIES + JRE_PREFIX_LENGTH,
    JDK_POLICY + JRE_PREFIX_LENGTH,
};

const JavaTargets JDK_TARGETS = {JDK_LIBRARY, JDK_PROPERTIES, JDK_POLICY};

struct JavaWork {
    // From byte 0 the quoted home (command lines), from byte 1 the home (paths).
    char home[JAVA_HOME_BUFFER_SIZE];
    int home_end;
    char last_jre_home[JAVA_HOME_BUFFER_SIZE];
    int last_jre_end;  // 0 while no trusted JRE home was read
    int vm, ol, op, jp;
    int policy_command_done, properties_command_done;
    int bridges;
    int aborted;
};

// Cuts the home buffer back to the quoted home and joins `element`; 0 when the
// whole path does not fit.
static int JoinToHome(JavaWork *work, const char *element)
{
    work->home[work->home_end] = '\0';
    return AppendWholePathComponent(work->home, element);
}

// Every write into a home checks for links from the home on right before it:
// only those we trust can change a home we write into, so a link found there
// is a fault, or a race that we lose on purpose.
static int CopyIntoHomeAt(const char *source, const char *target, int home_end)
{
    return CopyFileGuardedFreeOfLinks(source, target, 0, (size_t)home_end - 1);
}

// Copies a package file into the current home; a target too long for the path
// buffer, or reached through a link, is a failed copy.
static int CopyIntoHome(JavaWork *work, const char *source, const char *target)
{
    int result = COPY_FAILED;
    if (JoinToHome(work, target))
        result = CopyIntoHomeAt(source, work->home + 1, work->home_end);
    if (result == COPY_FAILED)
        TellRun(RUN_EVENT_NOT_PLACED, work->home + 1, NULL, 0);
    return result;
}

// Runs a CopyPolicyFile command line with the current home's launcher through
// the command interpreter, unless it has exited with 0 once in some home; 1
// when it does so now.
static int RunInHome(JavaWork *work, const char *command, int *done)
{
    if (*done || !JoinToHome(work, command))
        return 0;
    *done = RunCommandInterpreter(work->home) == 0;
    return *done;
}

// Each command runs, home after home, until it has exited with 0 once. The
// home's walk has trusted its launcher; a folder in its place runs nothing.
// The launcher is the home's own, for a JDK too; the command line begins with
// the quoted home, so the commands' elements close the quote.
static void RunCommandsInHome(JavaWork *work)
{
    int why = HOME_HANDLED;
    if (!work->policy_command_done || !work->properties_command_done) {
        if (JoinToHome(work, "bin\\java.exe") && IsFile(work->home + 1)) {
            if (RunInHome(work, "bin\\java.exe\" CopyPolicyFile .java.policy",
                          &work->policy_command_done))
                ++work->jp;
            if (RunInHome(work, "bin\\java.exe\" CopyPolicyFile .opencard.properties",
                          &work->properties_command_done))
                ++work->jp;
            return;
        }
        why = HOME_NO_LAUNCHER;
    }
    work->home[work->home_end] = '\0';
    TellRun(RUN_EVENT_HOME_SKIPPED, work->home + 1, NULL, why);
}

// Everyone who reads "JavaHome" (cmd.exe too) expands a REG_EXPAND_SZ. A home
// that then no longer fits the value's room is skipped, as a value too long;
// returns the new cut-back position, or -1.
static int ExpandHome(char *home)
{
    char expanded[JAVA_HOME_VALUE_CAPACITY];
    DWORD size = ExpandEnvironmentStringsA(home + 1, expanded, sizeof expanded);
    if (size == 0 || size > sizeof expanded)
        return -1;
    // The ANSI call may count a byte more than it writes: the text tells.
    size_t length = strnlen(expanded, sizeof expanded);
    if (length == 0 || length + 1 >= sizeof expanded)
        return -1;
    memcpy(home + 1, expanded, length + 1);
    return 1 + (int)length;
}

static int IsMissing(const char *path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return 0;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Keeps the policy as it was before our first installation: a backup, once
// there, is never replaced. COPY_OK when the home's policy may now be replaced
// (it has a backup, or there is none to keep), COPY_FAILED when it must stay,
// COPY_ABORTED when the user aborted.
static int BackUpPolicy(JavaWork *work)
{
    char backup[BACKUP_PATH_SIZE];
    const char *policy = work->home + 1;
    if (IsMissing(policy))
        return COPY_OK;
    // A backup name cut by the buffer would name another file.
    if (strlen(policy) + sizeof ".ocf-bak" > sizeof backup)
        return COPY_FAILED;
    FormatTextBounded(backup, sizeof backup, "%s.ocf-bak", policy);
    // Not OpenFile: it fails on paths past 128 characters, so a reinstall would
    // take the backup for missing and overwrite it with our own policy.
    if (IsFile(backup))
        return COPY_OK;
    int result = CopyIntoHomeAt(policy, backup, work->home_end);
    if (result == COPY_OK)
        TellRun(RUN_EVENT_BACKED_UP, backup, policy, 0);
    if (result == COPY_ABORTED)
        return result;
    return IsFile(backup) ? COPY_OK : COPY_FAILED;
}

// The home's "JavaHome" into `home`; its end, or -1 when it names none.
static int ReadJavaHome(HKEY subkey, char *home)
{
    DWORD type = 0;
    DWORD size = JAVA_HOME_VALUE_CAPACITY;
    home[0] = '"';
    if (RegQueryValueExA(subkey, "JavaHome", NULL, &type, (BYTE *)home + 1, &size) != 0)
        return -1;
    int end = QuotedJavaHomeEnd(home, size, type);
    if (end > 0 && type == REG_EXPAND_SZ)
        end = ExpandHome(home);
    return end;
}

static int InstallIntoHome(const char *home, int home_end, int trusted,
                           const JavaTargets *targets, int is_jre, void *context)
{
    JavaWork *work = (JavaWork *)context;
    int result;

    memcpy(work->home, home, (size_t)home_end + 1);
    work->home_end = home_end;
    ++work->vm;
    if (!trusted)
        return 0;
    if (is_jre) {
        memcpy(work->last_jre_home, work->home, sizeof work->home);
        work->last_jre_end = work->home_end;
    }
    // The way back of the home's files, made sure of once for all of them
    // before the first changes.
    {
        const char *const files[] = {targets->library, targets->properties, targets->policy,
                                     NULL};
        const char *const *file = files;
        for (; *file != NULL && JoinToHome(work, *file); ++file)
            TellRun(RUN_EVENT_WILL_CHANGE, work->home + 1, NULL, CHANGE_AHEAD);
        if (*file == NULL && strlen(work->home + 1) + sizeof ".ocf-bak" <= BACKUP_PATH_SIZE) {
            AppendTextBounded(work->home, JAVA_HOME_BUFFER_SIZE, ".ocf-bak");
            TellRun(RUN_EVENT_WILL_CHANGE, work->home + 1, NULL, CHANGE_AHEAD);
        }
    }

    result = CopyIntoHome(work, "ocf1.2.jar", targets->library);
    if (result == COPY_ABORTED)
        goto aborted;
    if (result == COPY_OK)
        ++work->ol;

    result = CopyIntoHome(work, "opencard.properties", targets->properties);
    if (result == COPY_ABORTED)
        goto aborted;
    if (result == COPY_OK)
        ++work->op;

    RunCommandsInHome(work);

    if (!JoinToHome(work, targets->policy))
        return 0;
    // Without a backup the user's own policy would be lost: leave it alone.
    result = BackUpPolicy(work);
    if (result == COPY_OK)
        result = CopyIntoHomeAt("java.policy", work->home + 1, work->home_end);
    if (result == COPY_ABORTED)
        goto aborted;
    if (result == COPY_OK)
        ++work->jp;
    else
        TellRun(RUN_EVENT_NOT_PLACED, work->home + 1, NULL, 0);
    return 0;

aborted:
    work->aborted = 1;
    return 1;
}

int VisitServedHomes(unsigned long access, ServedHomeVisit visit, void *context)
{
    static const char *const KIND_NAMES[2] = {"Java Runtime Environment", "Java Development Kit"};
    static const JavaTargets *const KIND_TARGETS[2] = {&JRE_TARGETS, &JDK_TARGETS};
    char home[JAVA_HOME_BUFFER_SIZE];
    HKEY javasoft = NULL;
    int found = 0;
    int ended = 0;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft", 0, access, &javasoft) != 0)
        return 0;
    for (int kind = 0; kind < 2 && !ended; ++kind) {
        HKEY key;
        if (RegOpenKeyExA(javasoft, KIND_NAMES[kind], 0, access, &key) != 0)
            continue;
        found = 1;
        for (DWORD index = 0; !ended; ++index) {
            HKEY subkey;
            if (RegEnumKeyA(key, index, home, JAVA_HOME_BUFFER_SIZE) != 0)
                break;
            if (RegOpenKeyExA(key, home, 0, access, &subkey) != 0)
                continue;
            int end = ReadJavaHome(subkey, home);
            RegCloseKey(subkey);
            if (end < 0)
                continue;
            TellRun(RUN_EVENT_HOME_FOUND, home + 1, NULL, 0);
            // A home that others can change gets nothing: whatever we write
            // there, they can swap for a link, and whatever we run there runs
            // their code.
            int trusted = IsTreeTrusted(home + 1);
            if (!trusted)
                TellRun(RUN_EVENT_HOME_SKIPPED, home + 1, NULL, HOME_UNTRUSTED);
            ended = visit(home, end, trusted, KIND_TARGETS[kind], kind == 0, context);
        }
        RegCloseKey(key);
    }
    RegCloseKey(javasoft);
    return found;
}

static int SystemDirectoryInHome(JavaWork *work)
{
    return ReadSystemDirectory(work->home, JAVA_HOME_BUFFER_SIZE);
}

static int CopyIntoSystemDirectory(JavaWork *work, const char *source, const char *target)
{
    int result = COPY_FAILED;
    if (AppendWholePathComponent(work->home, target))
        result = CopyFileGuarded(source, work->home, 1);
    if (result == COPY_FAILED)
        TellRun(RUN_EVENT_NOT_PLACED, work->home, NULL, 0);
    return result;
}

// The bridge library for the last trusted JRE's own use; nothing depends on
// it, and with no such JRE there is nowhere to put it.
static void CopyIntoLastJre(JavaWork *work, const char *source, const char *target)
{
    if (work->last_jre_end == 0)
        return;
    work->last_jre_home[work->last_jre_end] = '\0';
    if (AppendWholePathComponent(work->last_jre_home, target))
        CopyIntoHomeAt(source, work->last_jre_home + 1, work->last_jre_end);
}

// The bridge libraries into the system directory, each also into the last
// trusted JRE; the first one twice, under its own name and as ocfpcsc164.dll,
// the pair counting once, by its later copy.
static void PlaceBridges(JavaWork *work)
{
    static const char *const SYSTEM_TARGETS[] = {"ocfpcsc1.dll", "ocfpcsc164.dll",
                                                 "ocfpcsc1_64.dll"};
    static const char *const JRE_BRIDGES[] = {"lib\\ext\\ocfpcsc1.dll",
                                              "lib\\ext\\ocfpcsc1_64.dll"};
    for (int bridge = 0; bridge < 2 && !work->aborted; ++bridge) {
        // Named as in the package by its first system target.
        const char *source = SYSTEM_TARGETS[bridge * 2];
        int result = COPY_FAILED;
        int into_jre = 1;
        for (int copy = bridge * 2; copy <= bridge + 1 && !work->aborted; ++copy) {
            if (!SystemDirectoryInHome(work)) {
                // With no system directory at first, the first library goes nowhere.
                into_jre = copy != 0;
                break;
            }
            result = CopyIntoSystemDirectory(work, source, SYSTEM_TARGETS[copy]);
            if (result == COPY_ABORTED)
                work->aborted = 1;
        }
        if (result == COPY_OK)
            ++work->bridges;
        if (into_jre)
            CopyIntoLastJre(work, source, JRE_BRIDGES[bridge]);
    }
}

static int Report(const JavaWork *work, int outcome, char *message, unsigned int message_size)
{
    if (work->aborted) {
        CopyTextBounded(message, message_size, TEXT_USER_ABORT);
        return RESULT_ABORTED;
    }
    if (outcome == OUTCOME_PACKAGE_INCOMPLETE) {
        CopyTextBounded(message, message_size, TEXT_PACKAGE_INCOMPLETE);
        return RESULT_ERROR;
    }
    if (outcome == OUTCOME_JAVA_NOT_FOUND) {
        CopyTextBounded(message, message_size,
                        "Nie wykryto instalacji środowiska JRE/JDK lub aplikacja nie była "
                        "uruchamiona z prawami administratora");
        return RESULT_WARNING;
    }
    if (work->vm <= 0) {
        CopyTextBounded(message, message_size,
                        "Nie zainstalowano sterowników OCF dla żadnego środowiska JRE/JDK");
        return RESULT_ERROR;
    }
    if (work->ol < work->vm || work->op < work->vm || work->jp < work->vm ||
        !work->policy_command_done || !work->properties_command_done) {
        FormatTextBounded(message, message_size,
                          "Niepełna instalacja sterowników OCF dla środowiska JRE/JDK; "
                          "kod operacji: VM%dOL%dOP%dJP%d",
                          work->vm, work->ol, work->op, work->jp);
        return RESULT_WARNING;
    }
    if (work->bridges <= 0) {
        CopyTextBounded(message, message_size,
                        "Błąd kopiowania biblioteki obsługi czytników PC/SC: ocfpcsc1.dll");
        return RESULT_ERROR;
    }
    return RESULT_OK;
}

int InstallJavaPluginComponents(char *message, unsigned int message_size)
{
    JavaWork work;
    int outcome = OUTCOME_NONE;

    memset(&work, 0, sizeof work);
    if (!SetCurrentDirectoryA("sun"))
        return Report(&work, OUTCOME_PACKAGE_INCOMPLETE, message, message_size);

    if (!VisitServedHomes(KEY_ALL_ACCESS, InstallIntoHome, &work))
        outcome = OUTCOME_JAVA_NOT_FOUND;
    PlaceBridges(&work);

    SetCurrentDirectoryA("..");
    return Report(&work, outcome, message, message_size);
}
