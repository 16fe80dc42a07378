#include "components.h"

int QuotedJavaHomeEnd(char *home, unsigned long stored_size, unsigned long type)
{
    int length = RegistryStringLength(home + 1, stored_size, JAVA_HOME_VALUE_CAPACITY, type);
    // An empty home would turn every target into a path on the current drive.
    if (length <= 0)
        return -1;
    // Cut back at the end of the text, not of the stored value: extra stored
    // terminators or a trailing backslash must not leave a piece of the
    // previous path behind.
    home[1 + length] = '\0';
    return 1 + length;
}
