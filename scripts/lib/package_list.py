#!/usr/bin/env python3
"""Writes the list of a package's files that instalator.exe carries and checks
its private copy against: one line "<sha256> <size>  <path>" per file,
sha256sum's own with the size in bytes (release.sh takes it out for
SHA256SUMS), paths relative to the package with forward slashes, sorted by
path; the installer itself is left out.

    package_list.py PACKAGE_DIR LIST_FILE
"""
import hashlib
import os
import sys

PROGRAM = "instalator.exe"


def package_files(root):
    """Every file of the package but the installer, as sorted relative paths."""
    found = []
    for directory, subdirectories, files in os.walk(root):
        subdirectories.sort()
        relative = os.path.relpath(directory, root)
        prefix = "" if relative == "." else relative.replace(os.sep, "/") + "/"
        for name in files:
            if prefix + name != PROGRAM:
                found.append(prefix + name)
    return sorted(found)


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as stream:
        for block in iter(lambda: stream.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest()


def list_lines(root):
    return "".join(f"{sha256_of(os.path.join(root, path))} "
                   f"{os.path.getsize(os.path.join(root, path))}  {path}\n"
                   for path in package_files(root))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: package_list.py PACKAGE_DIR LIST_FILE")
    text = list_lines(sys.argv[1])
    # Left as it is when unchanged, so that the program is not built again.
    if os.path.isfile(sys.argv[2]):
        with open(sys.argv[2], encoding="ascii", newline="\n") as stream:
            if stream.read() == text:
                return
    with open(sys.argv[2], "w", encoding="ascii", newline="\n") as stream:
        stream.write(text)


if __name__ == "__main__":
    main()
