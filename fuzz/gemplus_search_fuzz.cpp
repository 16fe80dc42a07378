// ReaderListHasGemplus on any multi-string (terminated or not, of any length):
// it agrees with a plain reference, std::string::find of "gemplus" in each
// reader name with bit 0x20 set on every byte, and reads nothing past
// `length` (the list lives in a heap block of exactly that size).
#include "components.h"
#include "fuzz_input.h"

#include <stdlib.h>

#include <string>

namespace {

int ReferenceSearch(const std::string &list)
{
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find('\0', start);
        if (end == std::string::npos)
            end = list.size();
        std::string folded = list.substr(start, end - start);
        for (char &c : folded)
            c = (char)(c | 0x20);
        if (folded.find("gemplus") != std::string::npos)
            return 1;
        start = end + 1;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    std::string list = input.Rest();
    char *block = (char *)malloc(list.size() ? list.size() : 1);
    memcpy(block, list.data(), list.size());
    if (ReaderListHasGemplus(block, (unsigned long)list.size()) != ReferenceSearch(list))
        abort();
    free(block);
    return 0;
}
