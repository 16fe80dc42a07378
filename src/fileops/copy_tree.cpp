#include "fileops.h"

#include <windows.h>
#include <string.h>

// Splits the pattern into its prefix (up to and including the last backslash)
// and its wildcard tail. A pattern without a backslash has an empty prefix.
static void SplitPattern(const char *pattern, char *prefix, const char **tail)
{
    size_t prefix_length = SeparatorEnd(pattern, strlen(pattern));
    *tail = pattern + prefix_length;
    if (prefix_length > PATH_CHARS_MAX)
        prefix_length = PATH_CHARS_MAX;
    memcpy(prefix, pattern, prefix_length);
    prefix[prefix_length] = '\0';
}

// A path that would be cut by the 260-character bound names another file or
// directory: the entry then counts as a failed copy, named by its source path.
static int CopyDirectoryEntry(const char *prefix, const char *tail, const char *target_dir,
                              const char *name, char *failed_path_out)
{
    char target_subdir[PATH_BUFFER_SIZE];
    char subdir_pattern[PATH_BUFFER_SIZE];
    CopyTextBounded(target_subdir, sizeof target_subdir, target_dir);
    CopyTextBounded(subdir_pattern, sizeof subdir_pattern, prefix);
    int whole = AppendWholePathComponent(subdir_pattern, name);
    size_t source_length = strlen(subdir_pattern);
    whole = whole && AppendWholePathComponent(subdir_pattern, tail) &&
            AppendWholePathComponent(target_subdir, name);
    if (!whole) {
        subdir_pattern[source_length] = '\0';
        CopyTextBounded(failed_path_out, PATH_BUFFER_SIZE, subdir_pattern);
        return COPY_FAILED;
    }
    if (!CreateDirectoryA(target_subdir, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) {
        CopyTextBounded(failed_path_out, PATH_BUFFER_SIZE, target_subdir);
        return TREE_MKDIR_FAILED;
    }
    return CopyTree(subdir_pattern, target_subdir, 1, failed_path_out);
}

static int CopyFileEntry(const char *prefix, const char *target_dir, const char *name,
                         char *failed_path_out)
{
    char source_file[PATH_BUFFER_SIZE];
    char target_file[PATH_BUFFER_SIZE];
    int result = COPY_FAILED;
    CopyTextBounded(source_file, sizeof source_file, prefix);
    CopyTextBounded(target_file, sizeof target_file, target_dir);
    if (AppendWholePathComponent(source_file, name) && AppendWholePathComponent(target_file, name))
        result = CopyFileGuarded(source_file, target_file, 0);
    if (result != COPY_OK)
        CopyTextBounded(failed_path_out, PATH_BUFFER_SIZE, source_file);
    return result;
}

int CopyTree(const char *source_pattern, const char *target_dir, int recursive,
             char *failed_path_out)
{
    if (failed_path_out != NULL)
        failed_path_out[0] = '\0';

    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(source_pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return TREE_SOURCE_ERROR;

    char prefix[PATH_BUFFER_SIZE];
    const char *tail;
    SplitPattern(source_pattern, prefix, &tail);

    int result = COPY_OK;
    do {
        if (IsDotEntry(entry.cFileName))
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (recursive)
                result = CopyDirectoryEntry(prefix, tail, target_dir, entry.cFileName,
                                            failed_path_out);
        } else {
            result = CopyFileEntry(prefix, target_dir, entry.cFileName, failed_path_out);
        }
        if (result != COPY_OK)
            break;
    } while (FindNextFileA(search, &entry));

    if (result == COPY_OK && GetLastError() != ERROR_NO_MORE_FILES)
        result = TREE_SOURCE_ERROR;
    FindClose(search);
    return result;
}
