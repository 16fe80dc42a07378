#!/usr/bin/env python3
"""Packs a directory into a zip that depends only on the names and contents of
its files: entries sorted by name, one fixed time, fixed permissions, fixed
compression. Two runs over equal trees give byte-identical zips.

    release_zip.py DIRECTORY ZIP
"""
import os
import sys
import zipfile

# The earliest time a zip entry can hold.
FIXED_TIME = (1980, 1, 1, 0, 0, 0)
UNIX = 3
FILE_ATTRIBUTES = 0o100644 << 16
DIRECTORY_ATTRIBUTES = (0o040755 << 16) | 0x10  # with the MS-DOS directory bit


def entries(root):
    """(name in the zip, path on disk) of every directory and file under root."""
    found = []
    for directory, subdirectories, files in os.walk(root):
        relative = os.path.relpath(directory, root)
        prefix = "" if relative == "." else relative.replace(os.sep, "/") + "/"
        for name in subdirectories:
            found.append((prefix + name + "/", os.path.join(directory, name)))
        for name in files:
            path = os.path.join(directory, name)
            if os.path.islink(path) or not os.path.isfile(path):
                sys.exit(f"release_zip: not a regular file: {path}")
            found.append((prefix + name, path))
    return sorted(found)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: release_zip.py DIRECTORY ZIP")
    root, target = sys.argv[1], sys.argv[2]
    partial = target + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for name, path in entries(root):
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.create_system = UNIX
            if name.endswith("/"):
                info.external_attr = DIRECTORY_ATTRIBUTES
                archive.writestr(info, b"")
            else:
                info.external_attr = FILE_ATTRIBUTES
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as source:
                    archive.writestr(info, source.read(), compresslevel=9)
    os.replace(partial, target)


if __name__ == "__main__":
    main()
