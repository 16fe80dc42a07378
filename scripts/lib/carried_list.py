#!/usr/bin/env python3
"""Prints the package list that a built instalator.exe carries (its RCDATA
resource 201, IDR_PACKAGE_LIST); exit status 1 when it carries none.

    carried_list.py PROGRAM
"""
import struct
import sys

RT_RCDATA = 10
IDR_PACKAGE_LIST = 201


def carried_list(image):
    """The bytes of resource RT_RCDATA/IDR_PACKAGE_LIST (any language), or None."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    # PE32+: the resource table is the third data directory.
    resources_rva, = struct.unpack_from("<I", image, optional + 112 + 2 * 8)
    if not resources_rva:
        return None

    def offset_of(rva):
        for index in range(sections):
            size, address, raw_size, raw = struct.unpack_from(
                "<4I", image, optional + optional_size + 40 * index + 8)
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw
        raise ValueError(f"RVA 0x{rva:x} in no section")

    base = offset_of(resources_rva)
    entry = 0
    for wanted in (RT_RCDATA, IDR_PACKAGE_LIST, None):
        named, numbered = struct.unpack_from("<HH", image, base + entry + 12)
        for index in range(named + numbered):
            name, target = struct.unpack_from("<II", image, base + entry + 16 + 8 * index)
            if wanted is None or name == wanted:
                entry = target & 0x7FFFFFFF
                break
        else:
            return None
    data_rva, size = struct.unpack_from("<II", image, base + entry)
    return image[offset_of(data_rva):offset_of(data_rva) + size]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: carried_list.py PROGRAM")
    with open(sys.argv[1], "rb") as program:
        carried = carried_list(program.read())
    if carried is None:
        sys.exit(1)
    sys.stdout.buffer.write(carried)


if __name__ == "__main__":
    main()
