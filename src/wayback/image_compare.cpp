// The program's file against its image in memory. Both buffers are read as
// bytes that another may have written: no offset or size field is trusted.
#include "wayback.h"

#include <string.h>

namespace {

enum : unsigned long long { NO_SITE = ~0ULL, BAD_SITE = ~0ULL - 1, SITE_TO_READ = ~0ULL - 2 };

// PE is little-endian, as is every machine that this builds for.
unsigned long long Read64(const unsigned char *at)
{
    unsigned long long value;
    memcpy(&value, at, 8);
    return value;
}

unsigned Read32(const unsigned char *at)
{
    unsigned value;
    memcpy(&value, at, 4);
    return value;
}

unsigned Read16(const unsigned char *at)
{
    unsigned short value;
    memcpy(&value, at, 2);
    return value;
}

// The base relocations in the order the linker writes them; a site is an
// image offset, BAD_SITE for an entry of another kind or a cut block. Both
// are above every offset, so a walk never takes them and ends without NO_SITE.
struct Sites {
    const unsigned char *at, *block_end, *end;
    unsigned long long page;
};

unsigned long long NextSite(Sites *sites)
{
    for (;;) {
        if (sites->at == sites->block_end) {
            size_t left = (size_t)(sites->end - sites->at);
            unsigned long long size = left >= 8 ? Read32(sites->at + 4) : 0;
            if (left == 0)
                return NO_SITE;
            if (size < 8 || size % 2 != 0 || size > left)
                return BAD_SITE;
            sites->page = Read32(sites->at);
            sites->block_end = sites->at + size;
            sites->at += 8;
            continue;
        }
        unsigned entry = (unsigned)Read16(sites->at);
        sites->at += 2;
        // IMAGE_REL_BASED_DIR64; ABSOLUTE only pads a block.
        if (entry >> 12 == 10)
            return sites->page + (entry & 0xFFF);
        if (entry >> 12 != 0)
            return BAD_SITE;
    }
}

} // namespace

int ImageMatchesFile(const unsigned char *file, size_t file_size, const unsigned char *image,
                     size_t image_size, unsigned long long actual_base)
{
    // The PE32+ headers as far as they are needed, each within both buffers.
    if (file_size < 0x40)
        return 0;
    unsigned long long nt = Read32(file + 0x3C);
    unsigned long long common = image_size < file_size ? image_size : file_size;
    if (nt + 24 + 112 + 16 * 8 > common || Read32(file + nt) != 0x4550 ||
        Read16(file + nt + 24) != 0x20B || Read32(file + nt + 24 + 108) < 16)
        return 0;
    unsigned long long sections = Read16(file + nt + 6);
    unsigned long long table = nt + 24 + Read16(file + nt + 20);
    unsigned long long headers = Read32(file + nt + 24 + 60);
    unsigned long long base_field = nt + 24 + 24;
    const unsigned char *directory = file + nt + 24 + 112;
    unsigned long long delta = actual_base - Read64(file + base_field);
    unsigned long long iat = Read32(directory + 12 * 8);
    unsigned long long iat_size = Read32(directory + 12 * 8 + 4);
    unsigned long long relocations = Read32(directory + 5 * 8);
    unsigned long long relocations_size = Read32(directory + 5 * 8 + 4);
    if (table + sections * 40 > headers || headers > common ||
        relocations + relocations_size > image_size)
        return 0;
    // The loader writes the base it chose into the image's headers.
    for (unsigned long long i = 0; i < headers; ++i) {
        if (file[i] != image[i] && i - base_field >= 8)
            return 0;
    }
    Sites walk = {image + relocations, image + relocations, image + relocations + relocations_size,
                  0};
    unsigned long long site = SITE_TO_READ;
    unsigned long long after = 0;
    unsigned long long raw_end = headers;
    unsigned long long rva_end = 0;
    // Every byte of the file lies in the headers or in one section's raw data.
    for (const unsigned char *section = file + table; sections-- > 0; section += 40) {
        unsigned long long mapped = Read32(section + 8);
        unsigned long long rva = Read32(section + 12);
        unsigned long long raw = Read32(section + 16);
        if (raw == 0)
            continue;
        if (Read32(section + 20) != raw_end || raw_end + raw > file_size ||
            rva < rva_end)
            return 0;
        const unsigned char *from = file + raw_end;
        raw_end += raw;
        if (mapped > raw)
            mapped = raw;
        rva_end = rva + mapped;
        if (rva_end > image_size)
            return 0;
        for (unsigned long long i = 0; i < raw; ++i) {
            // Read here only, at a byte after the last site: a site in the
            // file's last bytes is refused, which no linker writes.
            if (site == SITE_TO_READ) {
                site = NextSite(&walk);
                if (site < after)
                    return 0;
            }
            if (i >= mapped) {
                // The file's padding is not mapped, so nothing vouches for it.
                if (from[i] != 0)
                    return 0;
            } else if (rva + i == site) {
                if (i + 8 > mapped || Read64(from + i) + delta !=
                                          Read64(image + rva + i))
                    return 0;
                i += 7;
                after = site + 8;
                site = SITE_TO_READ;
            } else if (from[i] != image[rva + i] && rva + i - iat >= iat_size) {
                return 0;
            }
        }
    }
    if (site != NO_SITE)
        return 0;
    // A signature: the certificate table that the headers name, 8-aligned
    // after the sections, zero padding before it, and nothing after it.
    unsigned long long at = raw_end, end = raw_end;
    unsigned long long signature = Read32(directory + 4 * 8 + 4);
    if (signature != 0) {
        at = Read32(directory + 4 * 8);
        end = at + signature;
        if (at != ((raw_end + 7) & ~7ULL) || end != file_size)
            return 0;
    }
    for (; raw_end < at; ++raw_end) {
        if (file[raw_end] != 0)
            return 0;
    }
    // WIN_CERTIFICATE entries, each 8-aligned, the last one ending the table.
    while (at < end) {
        unsigned long long length = end - at >= 8 ? Read32(file + at) : 0;
        if (length < 8)
            return 0;
        at += (length + 7) & ~7ULL;
    }
    return at == file_size;
}
