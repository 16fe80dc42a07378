#include "fileops.h"

enum { HEX_DIGITS = 2 * SHA256_SIZE, SIZE_DIGITS_MAX = 19 };

static int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The release writes only plain relative names: anything else would reach
// outside the package or mean something else to the ANSI calls.
static int CopyListedPath(const char *text, size_t count, char *path)
{
    size_t element_start = 0;
    if (count == 0 || count >= PATH_BUFFER_SIZE)
        return 0;
    for (size_t i = 0; i <= count; ++i) {
        char c = i < count ? text[i] : '/';
        if (c == '/') {
            size_t element = i - element_start;
            if (element == 0 || (element == 2 && text[i - 2] == '.' && text[i - 1] == '.'))
                return 0;
            element_start = i + 1;
            c = '\\';
        } else if (c < 0x20 || c > 0x7E || c == '\\' || c == ':') {
            return 0;
        }
        if (i < count)
            path[i] = c;
    }
    path[count] = '\0';
    return 1;
}

int ReadPackageListLine(const char *list, size_t length, size_t *offset,
                        unsigned char digest[SHA256_SIZE], unsigned long long *size, char *path)
{
    size_t start = *offset;
    size_t end = start;
    while (end < length && list[end] != '\n')
        ++end;
    if (end == length || end - start < HEX_DIGITS + 2)
        return 0;
    for (size_t i = 0; i < HEX_DIGITS; i += 2) {
        int high = HexValue(list[start + i]);
        int low = HexValue(list[start + i + 1]);
        if (high < 0 || low < 0)
            return 0;
        digest[i / 2] = (unsigned char)(high * 16 + low);
    }
    size_t digits = start + HEX_DIGITS + 1;
    size_t at = digits;
    *size = 0;
    if (list[start + HEX_DIGITS] != ' ')
        return 0;
    while (at < end && at - digits < SIZE_DIGITS_MAX && list[at] >= '0' && list[at] <= '9')
        *size = *size * 10 + (unsigned)(list[at++] - '0');
    if (at == digits || end - at < 2 || list[at] != ' ' || list[at + 1] != ' ')
        return 0;
    if (!CopyListedPath(list + at + 2, end - at - 2, path))
        return 0;
    *offset = end + 1;
    return 1;
}
