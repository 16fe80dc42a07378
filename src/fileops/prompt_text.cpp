#include "fileops.h"

#include <string.h>

static const char PROMPT_HEADER[] =
    "Wykryto problem przy próbie skopiowania pliku do katalogu docelowego.\n"
    "Podany plik już istnieje.\n\nInformacje o plikach:\n\n";
// Both files' facts read the same, so the program carries their format once.
static const char FACTS_FORMAT[] = "%sNazwa: " NAME_BEGIN "%s" NAME_END
                                   "\nRozmiar: %d\nData modyfikacji: %d-%02d-%02d, %02d:%02d:%02d\n\n";

static const char ELLIPSIS[] = "...";

static void AppendFacts(char *buffer, size_t size, const char *title, const char *name,
                        const PromptFileFacts *facts)
{
    size_t used = strlen(buffer);
    // The prompt shows the low half as a signed number, as the platform's
    // formatter did: a file of 2 GiB or more shows a wrapped size.
    FormatTextBounded(buffer + used, size - used, FACTS_FORMAT, title, name,
                      (int)facts->size_low, facts->year, facts->month, facts->day, facts->hour,
                      facts->minute, facts->second);
}

// A cut prompt keeps its beginning, as one format into `buffer` would.
static void FormatPrompt(char *buffer, size_t size, const char *source_name,
                         const PromptFileFacts *source, const char *target_name,
                         const PromptFileFacts *target)
{
    CopyTextBounded(buffer, size, PROMPT_HEADER);
    AppendFacts(buffer, size, "ŹRÓDŁOWY\n", source_name, source);
    AppendFacts(buffer, size, "DOCELOWY\n", target_name, target);
}

// The last `kept` bytes of `name`, or fewer, so that they begin a character:
// from inside a double-byte character every character after would show wrong.
static const char *NameEnd(const char *name, size_t length, size_t kept)
{
    size_t start = 0;
    while (start < length - kept)
        start += CharacterSize(name, start, length);
    return name + start;
}

// Keeps the end of a name, which names the file, behind an ellipsis.
static void ShortenName(char *out, size_t out_size, const char *name, size_t budget)
{
    size_t length = strlen(name);
    if (budget > out_size - 1)
        budget = out_size - 1;
    if (length <= budget) {
        CopyTextBounded(out, out_size, name);
        return;
    }
    if (budget <= sizeof ELLIPSIS - 1) {
        CopyTextBounded(out, out_size, NameEnd(name, length, budget));
        return;
    }
    CopyTextBounded(out, out_size, ELLIPSIS);
    AppendTextBounded(out, out_size, NameEnd(name, length, budget - (sizeof ELLIPSIS - 1)));
}

void FormatConflictPrompt(char *buffer, size_t size, const PromptFileFacts *source,
                          const PromptFileFacts *target)
{
    if (buffer == NULL || size == 0)
        return;
    FormatPrompt(buffer, size, "", source, "", target);
    size_t fixed = strlen(buffer);
    size_t room = fixed < size - 1 ? size - 1 - fixed : 0;
    size_t source_length = strlen(source->name);
    size_t target_length = strlen(target->name);
    if (source_length + target_length <= room) {
        FormatPrompt(buffer, size, source->name, source, target->name, target);
        return;
    }
    // Share the room evenly; a name shorter than its half leaves the rest to the other.
    size_t source_budget = room / 2;
    size_t target_budget = room - source_budget;
    if (source_length < source_budget) {
        target_budget += source_budget - source_length;
        source_budget = source_length;
    } else if (target_length < target_budget) {
        source_budget += target_budget - target_length;
        target_budget = target_length;
    }
    char source_name[PROMPT_TEXT_SIZE];
    char target_name[PROMPT_TEXT_SIZE];
    ShortenName(source_name, sizeof source_name, source->name, source_budget);
    ShortenName(target_name, sizeof target_name, target->name, target_budget);
    FormatPrompt(buffer, size, source_name, source, target_name, target);
}
