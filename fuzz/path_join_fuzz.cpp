// AppendPathComponent on any path buffer content and any element: the result
// stays within 260 characters, begins with the old path and is the plain join
// cut at 260; the 261-byte buffer is never left, nor the element overread.
#include "fileops.h"
#include "fuzz_input.h"

#include <stdlib.h>

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    std::string path = input.Text();
    std::string element = input.Text();
    // A path buffer never holds more than 260 characters.
    if (path.size() > PATH_CHARS_MAX)
        path.resize(PATH_CHARS_MAX);

    // Exact-size heap blocks, so that a step outside shows under ASan.
    char *buffer = (char *)malloc(PATH_BUFFER_SIZE);
    memcpy(buffer, path.c_str(), path.size() + 1);
    char *element_copy = (char *)malloc(element.size() + 1);
    memcpy(element_copy, element.c_str(), element.size() + 1);

    AppendPathComponent(buffer, element_copy);

    std::string expected = path;
    if (path.size() < PATH_CHARS_MAX) {
        if (!path.empty() && path.back() != '\\')
            expected += '\\';
        expected += element;
        if (expected.size() > PATH_CHARS_MAX)
            expected.resize(PATH_CHARS_MAX);
    }
    size_t length = strnlen(buffer, PATH_BUFFER_SIZE);
    if (length > PATH_CHARS_MAX)
        abort();
    if (memcmp(buffer, path.data(), path.size()) != 0)
        abort();
    if (expected != std::string(buffer, length))
        abort();

    free(element_copy);
    free(buffer);
    return 0;
}
