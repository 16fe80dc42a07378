// DropPendingRenames on any value, as PendingFileRenameOperations holds what
// any program wrote: it never reads past the value, and what it leaves of an
// edited one is a list of whole pairs that a second pass keeps as it is and,
// claimed whole, drops to the empty list.
#include "fuzz_input.h"
#include "shell.h"

#include <stdlib.h>

#include <string>

namespace {

RunRecord g_record;

int ClaimSome(const unsigned short *source, size_t length, int how, void *)
{
    std::string path;
    for (size_t i = 0; i < length; ++i)
        path += (char)source[i];
    return OwnPendingRename(path.c_str(), how & PENDING_DELETION, "C:\\P", &g_record) !=
               PENDING_OTHERS ||
           (length > 0 && source[0] % 3 == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto none = [](const unsigned short *, size_t, int, void *) { return 0; };
    const auto all = [](const unsigned short *, size_t, int, void *) { return 1; };
    // A kept file names its original by a digest.
    static const char RECORD[] =
        "K- - 00000000000000000000000000000000000000000000000000000000000000aa C:\\j\\a.jar\r\n"
        "N- - C:\\j\\b.dll\r\n";
    if (g_record.count == 0 && !ReadRecord(RECORD, sizeof RECORD - 1, &g_record))
        abort();
    size_t count = size / 2;
    // Its own allocation, so that a read past the end shows.
    unsigned short *value = (unsigned short *)malloc(count * 2 + 1);
    memcpy(value, data, count * 2);
    size_t kept = DropPendingRenames(value, count, ClaimSome, NULL);
    if (kept > count)
        abort();
    if (kept != 0 && kept < count && (value[kept - 1] != 0 ||
                         DropPendingRenames(value, kept, none, NULL) != kept ||
                         DropPendingRenames(value, kept, all, NULL) != 1))
        abort();
    free(value);
    return 0;
}
