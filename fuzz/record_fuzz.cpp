// ReadRecord on any bytes, as the elevated uninstall reads a record: it never
// reads past the text, and every record that it takes holds full paths free
// of "." and ".." elements, and what it writes back reads as the same record.
#include "fuzz_input.h"
#include "shell.h"

#include <stdlib.h>

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Its own allocation, so that a read past the end shows.
    char *text = (char *)malloc(size + 1);
    memcpy(text, data, size);
    RunRecord *record = (RunRecord *)malloc(sizeof(RunRecord));
    if (ReadRecord(text, size, record)) {
        std::string written;
        char line[RECORD_LINE_SIZE];
        for (int i = 0; i < record->count; ++i) {
            const char *path = record->entry[i].path;
            if (!IsRecordPath(path, strlen(path)) || strstr(path, "\\..\\") != NULL ||
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
