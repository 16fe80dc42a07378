#include "components.h"

#include "fileops.h"

#include <windows.h>
#include <string.h>

enum NetscapeOutcome {
    NS_NONE,
    NS_PACKAGE_INCOMPLETE,
    NS_NOT_FOUND,
    NS_COPY_ERROR,
    NS_PROFILES_INCOMPLETE
};

struct NetscapeRun {
    int outcome;
    int aborted;
    int copy_result;
    int profiles_found;  // PF
    int profiles_placed; // OP
    char failed_path[PATH_BUFFER_SIZE];
};

// Reads "Install Directory" into `path`; its length, or -1 when the value names
// no usable directory (missing, too long, not a terminated string, empty).
static int ReadInstallDirectory(HKEY key, char *path)
{
    DWORD type = REG_NONE;
    DWORD size = PATH_BUFFER_SIZE;
    if (RegQueryValueExA(key, "Install Directory", NULL, &type, (BYTE *)path, &size) !=
        ERROR_SUCCESS)
        return -1;
    int length = RegistryStringLength(path, size, PATH_BUFFER_SIZE, type);
    // An empty value would make every target relative to the package.
    return length > 0 ? length : -1;
}

// Copies the configuration into every profile directory of "Users" under the
// profile parent that `path` holds.
static void PlaceInProfiles(char *path, NetscapeRun *run)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = INVALID_HANDLE_VALUE;
    // Whole, or the cut-back at its "*" would not leave the "Users" directory.
    if (AppendWholePathComponent(path, "Users\\*"))
        search = FindFirstFileA(path, &entry);
    if (search != INVALID_HANDLE_VALUE) {
        size_t users_length = strlen(path) - 1;
        do {
            // A profile is a plain directory: read-only, hidden or system
            // ones are not the browser's.
            if (IsDotEntry(entry.cFileName) || entry.dwFileAttributes != FILE_ATTRIBUTE_DIRECTORY)
                continue;
            ++run->profiles_found;
            path[users_length] = '\0';
            int result = COPY_FAILED;
            if (AppendWholePathComponent(path, entry.cFileName) &&
                AppendWholePathComponent(path, ".opencard.properties"))
                result = CopyFileGuarded("opencard.properties", path, 0);
            if (result == COPY_ABORTED) {
                run->aborted = 1;
                break;
            }
            if (result == COPY_OK)
                ++run->profiles_placed;
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    if (run->profiles_found <= 0 || run->profiles_placed < run->profiles_found)
        run->outcome = NS_PROFILES_INCOMPLETE;
}

// 1 when the copy went well; otherwise the abort or the failure is noted.
static int Placed(NetscapeRun *run, int result)
{
    if (result == COPY_ABORTED) {
        run->aborted = 1;
    } else if (result != COPY_OK) {
        run->outcome = NS_COPY_ERROR;
        run->copy_result = result;
    }
    return result == COPY_OK;
}

// Runs inside "ns" with the Netscape key open.
static void PlaceNetscapeFiles(HKEY key, NetscapeRun *run)
{
    char path[PATH_BUFFER_SIZE];
    int length = ReadInstallDirectory(key, path);
    if (length < 0) {
        run->outcome = NS_NOT_FOUND;
        return;
    }

    // A path cut by the bound would name another file: a failed copy.
    int result = COPY_FAILED;
    CopyTextBounded(run->failed_path, PATH_BUFFER_SIZE, "jars\\*");
    if (AppendWholePathComponent(path, "Program\\java\\classes"))
        result = CopyTree("jars\\*", path, 1, run->failed_path);
    if (!Placed(run, result))
        return;

    // Cut back to the end of the value's text rather than to its stored size:
    // a trailing backslash or extra terminators then change nothing.
    path[length] = '\0';
    result = COPY_FAILED;
    CopyTextBounded(run->failed_path, PATH_BUFFER_SIZE, "ocfpcsc1.dll");
    if (AppendWholePathComponent(path, "Program\\java\\bin\\ocfpcsc1.dll"))
        result = CopyFileGuarded("ocfpcsc1.dll", path, 0);
    if (!Placed(run, result))
        return;

    // Profiles live in "Users" beside the install directory; a value that ends
    // in a backslash is its own parent.
    path[ParentDirectoryLength(path, (unsigned long)length)] = '\0';
    PlaceInProfiles(path, run);
}

int InstallNetscapeComponents(char *message, unsigned int message_size)
{
    NetscapeRun run = {};
    run.outcome = NS_PACKAGE_INCOMPLETE;
    if (SetCurrentDirectoryA("ns")) {
        run.outcome = NS_NONE;
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Netscape\\Netscape Navigator\\Main", 0,
                          KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            PlaceNetscapeFiles(key, &run);
            RegCloseKey(key);
        } else {
            run.outcome = NS_NOT_FOUND;
        }
        SetCurrentDirectoryA("..");
    }

    if (run.aborted) {
        CopyTextBounded(message, message_size, TEXT_USER_ABORT);
        return RESULT_ABORTED;
    }
    switch (run.outcome) {
    case NS_PACKAGE_INCOMPLETE:
        CopyTextBounded(message, message_size, TEXT_PACKAGE_INCOMPLETE);
        return RESULT_ERROR;
    case NS_NOT_FOUND:
        CopyTextBounded(message, message_size,
                        "Nie wykryto zainstalownej przeglądarki Netscape 4.x");
        return RESULT_WARNING;
    case NS_COPY_ERROR:
        FormatCopyError(message, message_size, run.copy_result, run.failed_path);
        return RESULT_ERROR;
    case NS_PROFILES_INCOMPLETE:
        if (run.profiles_found <= 0) {
            CopyTextBounded(message, message_size,
                            "Nie skopiowano pliku opencard.properties do żadnego z profilów "
                            "użytkowników przeglądarki Netscape");
            return RESULT_ERROR;
        }
        FormatTextBounded(message, message_size,
                          "Niepełna kopia pliku opencard.properties dla profilów użytkowników "
                          "przeglądarki Netscape; kod operacji: OP%dPF%d",
                          run.profiles_placed, run.profiles_found);
        return RESULT_WARNING;
    default:
        return RESULT_OK;
    }
}
