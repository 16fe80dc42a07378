// The registry value arithmetic on values of any size, type and termination:
// RegistryStringLength agrees with a plain reference, ParentDirectoryLength
// lands just behind a backslash with none after it, and neither reads past
// the stored size or the buffer's capacity (the value lives in a heap block of
// exactly the smaller of the two, so ASan sees any step beyond).
#include "components.h"
#include "fuzz_input.h"

#include <stdlib.h>

#include <string>

namespace {

int ReferenceStringLength(const char *value, unsigned long stored, unsigned long capacity,
                          unsigned long type)
{
    if ((type != 1 && type != 2) || stored == 0 || stored >= capacity)
        return -1;
    const void *nul = memchr(value, 0, stored);
    return nul ? (int)((const char *)nul - value) : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    unsigned long type = input.Number(4);
    unsigned long stored = input.Number(4);
    // Buffers of up to 4 KiB keep the runs fast; the sizes that matter are near 262.
    unsigned long capacity = input.Number(2) & 0xFFF;
    unsigned long parent_from = input.Number(2);
    std::string bytes = input.Rest();

    size_t readable = stored < capacity ? stored : capacity;
    char *value = (char *)malloc(readable ? readable : 1);
    for (size_t i = 0; i < readable; ++i)
        value[i] = i < bytes.size() ? bytes[i] : (bytes.empty() ? 'x' : bytes.back());

    if (RegistryStringLength(value, stored, capacity, type) !=
        ReferenceStringLength(value, stored, capacity, type))
        abort();

    unsigned long length = parent_from % (readable + 1);
    unsigned long parent = ParentDirectoryLength(value, length);
    if (parent > length || (parent > 0 && value[parent - 1] != '\\') ||
        memchr(value + parent, '\\', length - parent) != NULL)
        abort();
    // Walking up from a parent (without its own backslash) always ends at 0.
    while (parent > 0) {
        unsigned long next = ParentDirectoryLength(value, parent - 1);
        if (next >= parent)
            abort();
        parent = next;
    }

    free(value);
    return 0;
}
