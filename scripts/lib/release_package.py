#!/usr/bin/env python3
"""Makes the directory that a release zips: the built package with the real
files of a payload in place of the stand-ins, checked before anything ships.

    release_package.py PACKAGE_DIR STAGING_DIR [--payload DIR] [--sample]

The payload has the package's layout. Its files replace the package's files of
the same name (as on Windows, whatever their case); a folder at msie/ocf or
ns/jars replaces that stand-in tree whole; anything else is added. A symlink in
the payload is refused, never followed, and so is a name that Windows cannot
hold as it is. Each problem is one line "path: what is wrong" on the error
stream; the exit status is then 1 and STAGING_DIR is gone. --sample lets the
stand-ins through, on purpose.
"""
import argparse
import os
import shutil
import struct
import sys
import zipfile

# Every stand-in of the sample package carries this text; the stand-in jar as
# the name of an entry, which a jar keeps uncompressed.
STAND_IN_MARKER = b"INSTALATOR-SAMPLE-STAND-IN"
# The trees that the installer copies whole, stand-ins in the sample package.
TREES = ("msie/ocf", "ns/jars")
# Every file that the installer reads from the package (README, "The
# installation package"), the five driver installers of the reader types too.
FILES = (
    "sun/ocf1.2.jar", "sun/opencard.properties", "sun/java.policy", "sun/ocfpcsc1.dll",
    "sun/ocfpcsc1_64.dll", "sun/CopyPolicyFile.class", "sun/.java.policy",
    "sun/.opencard.properties",
    "Drivers/twin.bat", "Drivers/410.exe", "Drivers/twin64.bat", "Drivers/twin8.bat",
    "Drivers/twin8_64.bat",
    "msie/ocfpcsc1.dll",
    "ns/ocfpcsc1.dll", "ns/opencard.properties",
)
# The release builds (and may sign) the installer itself.
PROGRAM = "instalator.exe"
MACHINE_X64 = 0x8664
MACHINE_X86 = 0x014C
IMAGE_FILE_DLL = 0x2000
# Windows keeps these names for devices, whatever the extension (Windows
# documentation, "Naming Files, Paths, and Namespaces").
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL"} | {
    port + digit for port in ("COM", "LPT") for digit in "0123456789"}
FORBIDDEN = set('\\:*?"<>|') | {chr(code) for code in range(32)}


def entry_for(directory, name):
    """The path in directory that Windows would open for name."""
    for existing in os.listdir(directory):
        if existing.lower() == name.lower():
            return os.path.join(directory, existing)
    return os.path.join(directory, name)


def name_problem(name):
    """Why Windows cannot hold name as it is, or None."""
    if any(character in FORBIDDEN for character in name):
        return "a character that Windows forbids in names"
    if any(not " " <= character <= "~" for character in name):
        return ("a character outside printable ASCII: the installer opens its files through "
                "the ANSI calls, whose code page differs from machine to machine")
    if name.endswith((" ", ".")):
        return f"ends in a space or dot, which Windows drops: it would be {name.rstrip(' .')}"
    if name.split(".")[0].rstrip(" ").upper() in DEVICE_NAMES:
        return "a name that Windows keeps for a device"
    return None


def printable(name):
    """name on one line: control characters and undecodable bytes escaped."""
    return "".join(c if c.isprintable() else repr(c)[1:-1] for c in name)


def merge(source, target, relative, findings):
    """Puts the payload folder source into the package folder target."""
    seen = {}  # names as Windows compares them (trailing spaces and dots dropped, any case)
    for name in sorted(os.listdir(source)):
        path = os.path.join(source, name)
        shown = relative + printable(name)
        key = name.rstrip(" .").lower()
        problem = name_problem(name)
        if os.path.islink(path):
            problem = "a symbolic link; the release follows none"
        elif not problem and key in seen:
            problem = f"the same name for Windows as {seen[key]}"
        seen.setdefault(key, shown)
        if problem:
            findings.append(f"{shown}: {problem}")
            continue
        place = entry_for(target, name)
        shown = relative + os.path.basename(place)
        if os.path.isdir(path):
            if os.path.lexists(place) and not os.path.isdir(place):
                findings.append(f"{shown}: a folder in the payload, a file in the package")
                continue
            if shown in TREES and os.path.isdir(place):
                shutil.rmtree(place)
            os.makedirs(place, exist_ok=True)
            merge(path, place, shown + "/", findings)
        elif not os.path.isfile(path):
            findings.append(f"{shown}: neither a file nor a folder in the payload")
        elif shown == PROGRAM:
            findings.append(f"{shown}: the release builds the installer; the payload must not carry one")
        elif os.path.isdir(place):
            findings.append(f"{shown}: a file in the payload, a folder in the package")
        else:
            shutil.copyfile(path, place)


def jar_problem(path):
    try:
        with zipfile.ZipFile(path) as jar:
            damaged = jar.testzip()
    except Exception as error:  # whatever stops the reading makes it unreadable
        return f"not a readable jar ({error})"
    return None if damaged is None else f"not a readable jar (entry {damaged} is damaged)"


def x64_dll_problem(path):
    with open(path, "rb") as file:
        dos_header = file.read(64)
        if len(dos_header) < 64 or dos_header[:2] != b"MZ":
            return "not an x64 DLL (no MZ header)"
        file.seek(struct.unpack_from("<I", dos_header, 0x3C)[0])
        file_header = file.read(24)
    if len(file_header) < 24 or file_header[:4] != b"PE\0\0":
        return "not an x64 DLL (no PE header)"
    machine, = struct.unpack_from("<H", file_header, 4)
    characteristics, = struct.unpack_from("<H", file_header, 22)
    if machine != MACHINE_X64:
        kind = ", 32-bit x86" if machine == MACHINE_X86 else ""
        return f"not an x64 DLL (machine 0x{machine:04x}{kind})"
    if not characteristics & IMAGE_FILE_DLL:
        return "not an x64 DLL (a program, not a library)"
    return None


CONTENT_CHECKS = {"sun/ocf1.2.jar": jar_problem, "sun/ocfpcsc1_64.dll": x64_dll_problem}


def check(root):
    findings = []
    for name in FILES:
        path = os.path.join(root, name)
        if not os.path.isfile(path):
            findings.append(f"{name}: missing")
        elif os.path.getsize(path) == 0:
            findings.append(f"{name}: empty")
        elif name in CONTENT_CHECKS:
            problem = CONTENT_CHECKS[name](path)
            if problem:
                findings.append(f"{name}: {problem}")
    for tree in TREES:
        if not any(files for _, _, files in os.walk(os.path.join(root, tree))):
            findings.append(f"{tree}: missing, or holds no file")
    return findings


def stand_ins(root):
    found = []
    for directory, _, files in os.walk(root):
        for name in files:
            path = os.path.join(directory, name)
            with open(path, "rb") as file:
                if STAND_IN_MARKER in file.read():
                    found.append(os.path.relpath(path, root).replace(os.sep, "/"))
    return sorted(found)


def main():
    parser = argparse.ArgumentParser(description="Stages the package for a release.")
    parser.add_argument("package")
    parser.add_argument("staging")
    parser.add_argument("--payload", help="the real files, in the package's layout")
    parser.add_argument("--sample", action="store_true", help="let the stand-ins through")
    args = parser.parse_args()
    if args.payload and not os.path.isdir(args.payload):
        sys.exit(f"release refused: no payload folder {args.payload}")

    shutil.rmtree(args.staging, ignore_errors=True)
    shutil.copytree(args.package, args.staging)
    findings = []
    if args.payload:
        merge(args.payload, args.staging, "", findings)
    findings += check(args.staging)
    left = stand_ins(args.staging)
    if args.sample:
        print(f"a sample: {len(left)} stand-ins of the sample package kept on purpose")
    else:
        findings += [f"{name}: a stand-in of the sample package" for name in left]
    if findings:
        shutil.rmtree(args.staging)
        print("release refused:", *findings, sep="\n  ", file=sys.stderr)
        if left and not args.sample:
            print('Put the real files in with --payload DIR (README, "The installation package"),\n'
                  "or ask for a sample zip with --sample.", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
