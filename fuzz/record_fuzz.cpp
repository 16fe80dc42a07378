// ReadRecord on any bytes, as the elevated uninstall reads a record: it never
// reads past the text, and every record that it takes holds full paths free
// of "." and ".." elements and writes back to the very same text.
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
        if (written != std::string(text, size))
            abort();
    }
    free(record);
    free(text);
    return 0;
}
