// FormatConflictPrompt with names of any length and any size and date fields:
// the text is always terminated within its buffer; when the fixed text fits,
// it holds both sizes and both dates in full and both names between their
// marks, whole when they fit together and otherwise shortened from the front
// to no less than half of the room each (or their whole length); when it does
// not fit, it is the fixed text cut at the buffer.
#include "fileops.h"
#include "fuzz_input.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

namespace {

const char HEAD[] =
    "Wykryto problem przy próbie skopiowania pliku do katalogu docelowego.\n"
    "Podany plik już istnieje.\n\nInformacje o plikach:\n\nŹRÓDŁOWY\nNazwa: " NAME_BEGIN;
const char ELLIPSIS[] = "...";

struct FileCase {
    std::string name;
    PromptFileFacts facts;
};

void ReadFacts(FuzzInput &input, PromptFileFacts *facts)
{
    facts->size_low = input.Number(4);
    // SYSTEMTIME fields are 16-bit.
    facts->year = (int)input.Number(2);
    facts->month = (int)input.Number(2);
    facts->day = (int)input.Number(2);
    facts->hour = (int)input.Number(2);
    facts->minute = (int)input.Number(2);
    facts->second = (int)input.Number(2);
}

// "\nRozmiar: ...\n\n" of one file: its size and its date.
std::string FactsLines(const PromptFileFacts &f)
{
    char text[160];
    snprintf(text, sizeof text, "\nRozmiar: %d\nData modyfikacji: %d-%02d-%02d, %02d:%02d:%02d\n\n",
             (int)f.size_low, f.year, f.month, f.day, f.hour, f.minute, f.second);
    return text;
}

bool EndsWith(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// `shown` is `name`, or its end, or "..." and its end; at least `least` long.
bool ShowsName(const std::string &shown, const std::string &name, size_t least)
{
    if (shown.size() < least)
        return false;
    if (shown == name)
        return true;
    std::string end = shown;
    if (shown.size() > 3 && shown.compare(0, 3, ELLIPSIS) == 0)
        end = shown.substr(3);
    return shown.size() <= name.size() && EndsWith(name, end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    FileCase source, target;
    ReadFacts(input, &source.facts);
    ReadFacts(input, &target.facts);
    uint32_t size_choice = input.Number(2);
    size_t buffer_size = (size_choice & 0x8000) ? (size_choice & 0x3FF) + 1 : PROMPT_TEXT_SIZE;
    source.name = input.Text();
    target.name = input.Text();
    source.facts.name = source.name.c_str();
    target.facts.name = target.name.c_str();

    char *buffer = (char *)malloc(buffer_size);
    memset(buffer, 'X', buffer_size);
    FormatConflictPrompt(buffer, buffer_size, &source.facts, &target.facts);

    size_t length = strnlen(buffer, buffer_size);
    if (length >= buffer_size)
        abort();
    std::string text(buffer, length);
    free(buffer);

    const std::string middle_lines =
        NAME_END + FactsLines(source.facts) + "DOCELOWY\nNazwa: " NAME_BEGIN;
    const std::string tail = NAME_END + FactsLines(target.facts);
    const std::string fixed = HEAD + middle_lines + tail;
    if (fixed.size() > buffer_size - 1) {
        if (text != fixed.substr(0, buffer_size - 1))
            abort();
        return 0;
    }
    if (text.compare(0, sizeof HEAD - 1, HEAD) != 0 || !EndsWith(text, tail))
        abort();

    size_t room = buffer_size - 1 - fixed.size();
    bool both_fit = source.name.size() + target.name.size() <= room;
    size_t source_least = both_fit ? source.name.size() : std::min(source.name.size(), room / 2);
    size_t target_least = both_fit ? target.name.size() : std::min(target.name.size(), room / 2);
    // Names may hold the middle lines themselves: some split must work.
    std::string names = text.substr(sizeof HEAD - 1, text.size() - (sizeof HEAD - 1) - tail.size());
    for (size_t at = names.find(middle_lines); at != std::string::npos;
         at = names.find(middle_lines, at + 1)) {
        std::string source_shown = names.substr(0, at);
        std::string target_shown = names.substr(at + middle_lines.size());
        if (ShowsName(source_shown, source.name, source_least) &&
            ShowsName(target_shown, target.name, target_least) &&
            (!both_fit || (source_shown == source.name && target_shown == target.name)))
            return 0;
    }
    abort();
}
