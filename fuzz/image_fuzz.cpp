// ImageMatchesFile on any file and image, as the program compares a file that
// another may have written: it never reads outside either buffer.
#include "fuzz_input.h"
#include "wayback.h"

#include <stdlib.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    unsigned long long base = input.Number(4) | (unsigned long long)input.Number(4) << 32;
    size_t rest = size > 12 ? size - 12 : 0;
    size_t file_size = input.Number(4) % (rest + 1);
    // Each in its own allocation of exactly its size, so that a read past it shows.
    unsigned char *file = (unsigned char *)malloc(file_size);
    unsigned char *image = (unsigned char *)malloc(rest - file_size);
    memcpy(file, data + 12, file_size);
    memcpy(image, data + 12 + file_size, rest - file_size);
    ImageMatchesFile(file, file_size, image, rest - file_size, base);
    free(image);
    free(file);
    return 0;
}
