// ReadRecord on any bytes, as the elevated uninstall reads a record: it never
// reads past the text, and every record that it takes holds full paths free
// of "." and ".." elements, and what it writes back reads as the same record.
#include "fuzz_input.h"
#include "shell.h"

#include <ctype.h>
#include <stdlib.h>

#include <string>

// A full path by its own elements: a drive, then names that are neither
// empty, "." nor "..", nor hold a character Windows refuses.
static bool IsWholePath(const std::string &path)
{
    if (path.size() < 4 || !isalpha((unsigned char)path[0]) || path.compare(1, 2, ":\\") != 0)
        return false;
    for (unsigned char c : path.substr(2))
        if (c < 32 || strchr(":*?\"<>|/", c) != NULL)
            return false;
    const std::string names = path.substr(2) + "\\";
    return names.find("\\\\") == std::string::npos && names.find("\\.\\") == std::string::npos &&
           names.find("\\..\\") == std::string::npos;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Exactly its own bytes, so that a read one past the end shows.
    char *text = (char *)malloc(size);
    memcpy(text, data, size);
    RunRecord *record = (RunRecord *)malloc(sizeof(RunRecord));
    if (ReadRecord(text, size, record)) {
        std::string written;
        char line[RECORD_LINE_SIZE];
        for (int i = 0; i < record->count; ++i) {
            const char *path = record->entry[i].path;
            if (!IsWholePath(path) ||
                FormatRecordLine(&record->entry[i], line, sizeof line) == 0)
                abort();
            written += line;
        }
        RunRecord again;
        if (!ReadRecord(written.data(), written.size(), &again) || again.count != record->count ||
            (again.count > 0 && memcmp(again.entry, record->entry, sizeof *again.entry * (size_t)again.count) != 0))
            abort();
        FreeRecord(&again);
    }
    FreeRecord(record);
    free(record);
    free(text);
    return 0;
}
