#include "components.h"

static const char GEMPLUS_PATTERN[] = "GEMPLUS";
static const unsigned long GEMPLUS_LENGTH = sizeof GEMPLUS_PATTERN - 1;

int ReaderListHasGemplus(const char *list, unsigned long length)
{
    unsigned long position = 0;
    unsigned long matched = 0;
    if (list == 0)
        return 0;
    while (position < length && matched < GEMPLUS_LENGTH) {
        // Bit 0x20 folds exactly the pattern's letters; a NUL separator never
        // matches, so a match cannot run across two reader names.
        if ((list[position] | 0x20) == (GEMPLUS_PATTERN[matched] | 0x20)) {
            ++position;
            ++matched;
        } else if (matched == 0) {
            ++position;
        } else {
            position = position - matched + 1;
            matched = 0;
        }
    }
    return matched == GEMPLUS_LENGTH;
}
