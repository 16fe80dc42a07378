// The Java home buffer on "JavaHome" values of any size, type and termination:
// QuotedJavaHomeEnd cuts back right after the value's text (or refuses an
// unusable or empty value) and never touches a byte outside the 263-byte
// buffer; AppendWholePathComponent then reports 1 exactly when the joined text
// is the whole plain join.
#include "components.h"
#include "fileops.h"
#include "fuzz_input.h"

#include <stdlib.h>

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    unsigned long type = input.Number(4);
    unsigned long stored = input.Number(4);
    std::string element = input.Text();
    std::string value = input.Rest();

    char *home = (char *)malloc(JAVA_HOME_BUFFER_SIZE);
    home[0] = '"';
    for (size_t i = 1; i < JAVA_HOME_BUFFER_SIZE; ++i)
        home[i] = i - 1 < value.size() ? value[i - 1] : 'v';
    std::string before(home, JAVA_HOME_BUFFER_SIZE);

    int end = QuotedJavaHomeEnd(home, stored, type);
    int text_length = RegistryStringLength(before.data() + 1, stored, JAVA_HOME_VALUE_CAPACITY, type);
    if (text_length <= 0) {
        if (end != -1 || before != std::string(home, JAVA_HOME_BUFFER_SIZE))
            abort();
        free(home);
        return 0;
    }
    if (end != 1 + text_length || home[0] != '"' || home[end] != '\0' ||
        memcmp(home, before.data(), end) != 0)
        abort();

    // The joins of a home start from byte 1, where a path buffer begins.
    char *path = home + 1;
    std::string old(path);
    std::string plain = old;
    if (!old.empty() && old.back() != '\\')
        plain += '\\';
    plain += element;
    int whole = AppendWholePathComponent(path, element.c_str());
    if (whole != (plain == std::string(path)) || strlen(path) > PATH_CHARS_MAX)
        abort();

    free(home);
    return 0;
}
