#include "fileops.h"

#include <string.h>
#include <windows.h>

const char CONFLICT_PROMPT_CAPTION[] = "Problem kopiowania pliku";

static void ClearReadOnly(const char *path, DWORD attributes)
{
    SetFileAttributesA(path, attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
}

static HANDLE OpenForInspection(const char *path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

static void DescribeFile(PromptFileFacts *facts, const char *name,
                         const BY_HANDLE_FILE_INFORMATION *information)
{
    SYSTEMTIME time = {};
    FileTimeToSystemTime(&information->ftLastWriteTime, &time);
    facts->name = name;
    facts->size_low = information->nFileSizeLow;
    facts->year = time.wYear;
    facts->month = time.wMonth;
    facts->day = time.wDay;
    facts->hour = time.wHour;
    facts->minute = time.wMinute;
    facts->second = time.wSecond;
}

static int SameSizeAndTime(const BY_HANDLE_FILE_INFORMATION *a, const BY_HANDLE_FILE_INFORMATION *b)
{
    return a->ftLastWriteTime.dwLowDateTime == b->ftLastWriteTime.dwLowDateTime &&
           a->ftLastWriteTime.dwHighDateTime == b->ftLastWriteTime.dwHighDateTime &&
           a->nFileSizeHigh == b->nFileSizeHigh && a->nFileSizeLow == b->nFileSizeLow;
}

static int AskAboutConflict(const char *source, const char *target,
                            const BY_HANDLE_FILE_INFORMATION *source_info,
                            const BY_HANDLE_FILE_INFORMATION *target_info)
{
    PromptFileFacts source_facts;
    PromptFileFacts target_facts;
    DescribeFile(&source_facts, source, source_info);
    DescribeFile(&target_facts, target, target_info);
    char text[PROMPT_TEXT_SIZE];
    wchar_t shown_text[PROMPT_TEXT_SIZE];
    wchar_t shown_caption[sizeof CONFLICT_PROMPT_CAPTION];
    FormatConflictPrompt(text, sizeof text, &source_facts, &target_facts);
    WidenPolishText(text, shown_text, PROMPT_TEXT_SIZE);
    WidenPolishText(CONFLICT_PROMPT_CAPTION, shown_caption, sizeof CONFLICT_PROMPT_CAPTION);
    return MessageBoxW(NULL, shown_text, shown_caption,
                       MB_ABORTRETRYIGNORE | MB_ICONQUESTION | MB_DEFBUTTON2);
}

// The refusal `error` of a copy onto `target` means someone holds it open (a
// running Java or browser loads the bridge library and the OCF jar). Denied
// access alone may be read-only or the rights; an open that shares nothing
// tells whether the file is open elsewhere.
int TargetInUse(const char *target, unsigned long error)
{
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_USER_MAPPED_FILE)
        return 1;
    if (error != ERROR_ACCESS_DENIED)
        return 0;
    HANDLE file = CreateFileA(target, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return 0;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

// Unattended, a file in use is written beside its target and takes its place
// at the next restart, when nothing holds it.
static int PlaceAtRestart(const char *source, const char *target, const size_t *link_base)
{
    static const char BESIDE[] = ".ocf-new";
    char beside[PATH_BUFFER_SIZE];
    // A home registered twice: its file waits once.
    if (RestartReplacementRecorded(target))
        return COPY_OK;
    if (strlen(target) + sizeof BESIDE - 1 > PATH_CHARS_MAX ||
        UnattendedAnswers()->count == RESTART_REPLACEMENTS_MAX)
        return COPY_FAILED;
    CopyTextBounded(beside, sizeof beside, target);
    AppendTextBounded(beside, sizeof beside, BESIDE);
    if ((link_base != NULL && !IsTargetFreeOfLinks(beside, *link_base)) ||
        !CopyFileA(source, beside, FALSE))
        return COPY_FAILED;
    ClearReadOnly(beside, GetFileAttributesA(beside));
    if (!MoveFileExA(beside, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) {
        DeleteFileA(beside);
        return COPY_FAILED;
    }
    RecordRestartReplacement(target);
    TellRun(RUN_EVENT_PLACED_AT_RESTART, target, source, 0);
    return COPY_OK;
}

// `link_base`: null, or the length of the folder from which on no link may
// lead the write elsewhere; checked again before every write, since the
// prompt can stay open as long as someone likes.
static int CopyGuarded(const char *source, const char *target, int compare_mode,
                       const size_t *link_base)
{
    int result = COPY_OK;
    int retry;
    int retried = 0;
    int told = 0;
    do {
        retry = 0;
        if (link_base != NULL && !IsTargetFreeOfLinks(target, *link_base))
            return COPY_FAILED;
        // Without its way back the file stays as it is.
        if (!told && !TellRun(RUN_EVENT_WILL_CHANGE, target, NULL, CHANGE_NOW))
            return COPY_FAILED;
        told = 1;
        if (CopyFileA(source, target, FALSE)) {
            DWORD attributes = GetFileAttributesA(target);
            if (attributes != INVALID_FILE_ATTRIBUTES)
                ClearReadOnly(target, attributes);
            TellRun(RUN_EVENT_PLACED, target, source, 0);
            break;
        }
        DWORD refused = GetLastError();
        // A refusal that nobody settles; unattended, a file in use is placed.
        int settled = 0;

        BY_HANDLE_FILE_INFORMATION source_info;
        BY_HANDLE_FILE_INFORMATION target_info;
        HANDLE source_file = OpenForInspection(source);
        HANDLE target_file = OpenForInspection(target);
        if (source_file == INVALID_HANDLE_VALUE || target_file == INVALID_HANDLE_VALUE ||
            !GetFileInformationByHandle(source_file, &source_info) ||
            !GetFileInformationByHandle(target_file, &target_info)) {
            result = COPY_FAILED;
            settled = 1;
        } else if (!(compare_mode && SameSizeAndTime(&source_info, &target_info))) {
            // Unattended: Retry once, then as if nobody answered.
            int answer = IDRETRY;
            if (!UnattendedAnswers())
                answer = AskAboutConflict(source, target, &source_info, &target_info);
            else if (retried)
                answer = 0;
            retried = 1;
            if (answer == IDABORT) {
                result = COPY_ABORTED;
            } else if (answer == IDRETRY) {
                retry = 1;
                if (link_base != NULL && !IsTargetFreeOfLinks(target, *link_base)) {
                    result = COPY_FAILED;
                    retry = 0;
                } else {
                    ClearReadOnly(target, target_info.dwFileAttributes);
                    DeleteFileA(target);
                }
            } else if (answer == 0) {
                // Nobody answered: the file is not placed, so this is no success.
                result = COPY_FAILED;
                settled = 1;
            }
        }

        if (source_file != INVALID_HANDLE_VALUE)
            CloseHandle(source_file);
        if (target_file != INVALID_HANDLE_VALUE)
            CloseHandle(target_file);
        // Only now: our own handle on the target would look like another's.
        if (settled && UnattendedAnswers() && TargetInUse(target, refused))
            result = PlaceAtRestart(source, target, link_base);
    } while (retry);
    return result;
}

int CopyFileGuarded(const char *source, const char *target, int compare_mode)
{
    return CopyGuarded(source, target, compare_mode, NULL);
}

int CopyFileGuardedFreeOfLinks(const char *source, const char *target, int compare_mode,
                               size_t base_length)
{
    return CopyGuarded(source, target, compare_mode, &base_length);
}
