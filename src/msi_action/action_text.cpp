#include "msi_action.h"

int ActionResultOfExit(unsigned long exit_code, int uninstall, int *restart)
{
    *restart = exit_code == 3010 || exit_code == 1641;
    if (exit_code == 0 || *restart || (uninstall && exit_code == 1605))
        return ACTION_SUCCESS;
    return exit_code == 1618 ? ACTION_ANOTHER_INSTALL : ACTION_FAILURE;
}

// Appends `count` characters of `text` (all when negative) at `*at`; 0 when
// they and the terminator do not fit.
static int Append(wchar_t *buffer, int size, int *at, const wchar_t *text, int count)
{
    for (int i = 0; count < 0 ? text[i] != L'\0' : i < count; ++i) {
        if (*at >= size - 1)
            return 0;
        buffer[(*at)++] = text[i];
    }
    buffer[*at] = L'\0';
    return 1;
}

static const wchar_t LOG_NAME[] = L"instalator.log";

int ComposeProgramCommand(const wchar_t *data, const wchar_t *windows, const wchar_t *arguments,
                          int beside_msi_log, wchar_t *command, wchar_t *folder, int size)
{
    int folder_length = 0, log_start, log_folder_end = -1, at = 0, folder_at = 0;
    while (data[folder_length] != L'\0' && data[folder_length] != L'|')
        ++folder_length;
    log_start = data[folder_length] == L'|' ? folder_length + 1 : folder_length;
    for (int i = log_start; data[i] != L'\0'; ++i) {
        if (data[i] == L'\\')
            log_folder_end = i + 1;
    }
    if (folder_length == 0 ||
        !Append(folder, size, &folder_at, data, folder_length) ||
        (data[folder_length - 1] != L'\\' && !Append(folder, size, &folder_at, L"\\", -1)))
        return 0;
    if (!Append(command, size, &at, L"\"", -1) || !Append(command, size, &at, folder, -1) ||
        !Append(command, size, &at, L"instalator.exe\" ", -1) ||
        !Append(command, size, &at, arguments, -1) || !Append(command, size, &at, L" /log:\"", -1))
        return 0;
    if (beside_msi_log && log_folder_end > log_start) {
        if (!Append(command, size, &at, data + log_start, log_folder_end - log_start))
            return 0;
    } else if (!Append(command, size, &at, windows, -1) ||
               !Append(command, size, &at, L"\\Temp\\", -1)) {
        return 0;
    }
    return Append(command, size, &at, LOG_NAME, -1) && Append(command, size, &at, L"\"", -1);
}
