#include "shell.h"

#include "fileops.h"

#include <string.h>

enum {
    SWITCH_QUIET,
    SWITCH_COMPONENTS,
    SWITCH_READER,
    SWITCH_LOG,
    SWITCH_HELP,
    SWITCH_UNINSTALL,
    SWITCH_CHECK,
    SWITCH_COUNT
};
// Per SWITCH_*, as NthText reads them.
static const char SWITCH_NAMES[] = "quiet\0components\0reader\0log\0?\0uninstall\0check";
static_assert(READER_ROW_COUNT <= 10, "a row's number is one digit");

static char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

// 1 when the `length` characters of `text` are all of `name`, whatever the
// case of ASCII letters.
static int SameName(const char *text, size_t length, const char *name)
{
    if (strlen(name) != length)
        return 0;
    for (size_t i = 0; i < length; ++i) {
        if (LowerAscii(text[i]) != LowerAscii(name[i]))
            return 0;
    }
    return 1;
}

static wchar_t LowerAsciiWide(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? (wchar_t)(c - L'A' + L'a') : c;
}

// Past `program` at the start of `line`, in any ASCII case, when a blank or
// the end follows it; null otherwise.
static const wchar_t *PastProgram(const wchar_t *line, const wchar_t *program)
{
    while (*program != L'\0' && LowerAsciiWide(*line) == LowerAsciiWide(*program)) {
        ++line;
        ++program;
    }
    return *program == L'\0' && (*line == L'\0' || *line == L' ' || *line == L'\t') ? line
                                                                                      : NULL;
}

int HoldsArguments(const wchar_t *command_line, const wchar_t *program)
{
    // CreateProcess without a command line of the caller's gives us the
    // program's path as it stands, unquoted, spaces and all.
    const wchar_t *at = program != NULL ? PastProgram(command_line, program) : NULL;
    if (at == NULL && *command_line == L'"') {
        at = command_line + 1;
        while (*at != L'\0' && *at++ != L'"') {
        }
    } else if (at == NULL) {
        at = command_line;
        while (*at != L'\0' && *at != L' ' && *at != L'\t')
            ++at;
    }
    while (*at == L' ' || *at == L'\t')
        ++at;
    return *at != L'\0';
}

void StartCommandChoice(CommandChoice *choice)
{
    memset(choice, 0, sizeof *choice);
    choice->reader_row = -1;
    choice->log_argument = -1;
}

// COMPONENT_* bits of a comma-separated list; 0 when an item is not known.
static int ReadComponents(const char *value)
{
    int components = 0;
    for (;;) {
        size_t length = strcspn(value, ",");
        if (SameName(value, length, "java"))
            components |= COMPONENT_JAVA;
        else if (SameName(value, length, "drivers"))
            components |= COMPONENT_DRIVERS;
        else
            return 0;
        if (value[length] == '\0')
            return components;
        value += length + 1;
    }
}

// The row by its number or by the text that the list shows; -1 for neither.
static int ReadReaderRow(const char *value)
{
    for (int row = 0; row < READER_ROW_COUNT; ++row) {
        if (SameName(value, strlen(value), READER_LIST[row].text) ||
            (value[0] == '0' + row && value[1] == '\0'))
            return row;
    }
    return -1;
}

void ReadCommandArgument(CommandChoice *choice, const char *argument, int index)
{
    const char *reason = NULL;
    const char *name = argument + 1;
    const char *value = NULL;
    int which = SWITCH_COUNT;
    ++choice->count;
    if (argument[0] == '/' || argument[0] == '-') {
        size_t name_length = strcspn(name, ":");
        value = name[name_length] == ':' ? name + name_length + 1 : NULL;
        which = 0;
        while (which < SWITCH_COUNT && !SameName(name, name_length, NthText(SWITCH_NAMES, which)))
            ++which;
    }
    int takes_value = which == SWITCH_COMPONENTS || which == SWITCH_READER || which == SWITCH_LOG;
    if (which == SWITCH_COUNT) {
        reason = "Nieznany przełącznik";
    } else if (choice->seen & (1 << which)) {
        reason = "Przełącznik podany drugi raz";
    } else if (takes_value && (value == NULL || value[0] == '\0')) {
        reason = "Przełącznik bez wartości";
    } else if (!takes_value && value != NULL) {
        reason = "Niezrozumiała wartość przełącznika";
    } else if (which == SWITCH_QUIET) {
        choice->quiet = 1;
    } else if (which == SWITCH_HELP) {
        choice->help = 1;
    } else if (which == SWITCH_UNINSTALL) {
        choice->uninstall = 1;
    } else if (which == SWITCH_CHECK) {
        choice->check = 1;
    } else if (which == SWITCH_LOG) {
        choice->log_argument = index;
    } else if (which == SWITCH_COMPONENTS) {
        if ((choice->components = ReadComponents(value)) == 0)
            reason = "Niezrozumiała wartość przełącznika";
    } else if ((choice->reader_row = ReadReaderRow(value)) < 0) {
        reason = "Niezrozumiała wartość przełącznika";
    }
    if (which != SWITCH_COUNT)
        choice->seen |= 1 << which;
    if (reason == NULL && choice->help && choice->count > 1)
        reason = "Przełącznik /? nie łączy się z innymi";
    if (reason == NULL && choice->uninstall &&
        (choice->seen & (1 << SWITCH_COMPONENTS | 1 << SWITCH_READER)))
        reason = "Przełącznik /uninstall łączy się tylko z /quiet i /log";
    if (reason == NULL && choice->check &&
        (choice->seen & (1 << SWITCH_COMPONENTS | 1 << SWITCH_READER | 1 << SWITCH_UNINSTALL)))
        reason = "Przełącznik /check łączy się tylko z /quiet i /log";
    if (reason != NULL && choice->reason[0] == '\0')
        FormatTextBounded(choice->reason, sizeof choice->reason, "%s: %s", reason, argument);
}
