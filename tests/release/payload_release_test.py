#!/usr/bin/env python3
"""The release's staging step over the built package and payloads made here,
zipped as scripts/release.sh zips: what ships is exactly what the installer
will find; a stand-in left or an unfit file is refused by name.
    payload_release_test.py RELEASE_PACKAGE_PY RELEASE_ZIP_PY PACKAGE_DIR SCRATCH_DIR
"""
import io
import os
import shutil
import struct
import subprocess
import sys
import zipfile

release_package, release_zip, package, scratch = sys.argv[1:5]
STAND_IN_TREES = ("msie/ocf/", "ns/jars/")


def pe(machine):
    """A PE header as far as the file header: e_lfanew, signature, machine, DLL flag."""
    return b"MZ" + bytes(58) + struct.pack("<I", 64) + b"PE\0\0" + struct.pack(
        "<HHIIIHH", machine, 0, 0, 0, 0, 0xF0, 0x2022)


def jar():
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr("opencard/core/service/CardService.class", b"\xca\xfe\xba\xbe" * 50)
    return data.getvalue()


class Link(str):
    """A symlink in a payload, to this target."""


FULL_PAYLOAD = {"sun/ocf1.2.jar": jar(), "msie/ocf/opencard/core/Card.class": b"\xca\xfe",
                "ns/jars/ocf.jar": jar(), "Drivers/readme.txt": b"added"}
for bridge in ("sun/ocfpcsc1.dll", "sun/ocfpcsc1_64.dll", "msie/ocfpcsc1.dll", "ns/ocfpcsc1.dll"):
    FULL_PAYLOAD[bridge] = pe(0x8664)
for driver in ("410.exe", "twin.bat", "twin64.bat", "twin8.bat", "twin8_64.bat"):
    FULL_PAYLOAD["Drivers/" + driver] = b"driver installer " + driver.encode()
EVERY_STAND_IN = ["Drivers/" + name for name in ("410.exe", "twin.bat", "twin64.bat", "twin8.bat",
                                                 "twin8_64.bat")] + [
    tree + name for tree in STAND_IN_TREES for name in
    ("README.txt", "opencard/core.txt", "opencard/terminal/pcsc/Pcsc10CardTerminalFactory.txt")] + [
    "msie/ocfpcsc1.dll", "ns/ocfpcsc1.dll", "sun/ocf1.2.jar", "sun/ocfpcsc1.dll", "sun/ocfpcsc1_64.dll"]

CASES = [  # title, changes to the full payload (None: no payload), options, findings expected
    ("a full payload ships", {}, [], []),
    ("the sample package is refused", None, [], [n + ": a stand-in" for n in EVERY_STAND_IN]),
    ("a sample on purpose ships", None, ["--sample"], []),
    ("a stand-in left", {"Drivers/410.exe": None}, [], ["Drivers/410.exe: a stand-in"]),
    ("a 32-bit bridge", {"sun/ocfpcsc1_64.dll": pe(0x14C)}, [],
     ["sun/ocfpcsc1_64.dll: not an x64 DLL (machine 0x014c, 32-bit x86)"]),
    ("an unreadable jar", {"sun/ocf1.2.jar": b"PK not a jar"}, [], ["sun/ocf1.2.jar: not a readable jar"]),
    ("a symlink", {"Drivers/twin.cmd": Link("twin8_64.bat")}, [], ["Drivers/twin.cmd: a symbolic link"]),
    ("a loop", {"sun/up": Link("..")}, [], ["sun/up: a symbolic link"]),
    ("device names", {"Drivers/CON": b"x", "ns/lpt1.txt": b"x"}, [],
     ["Drivers/CON: a name that Windows keeps", "ns/lpt1.txt: a name that Windows keeps"]),
    ("a trailing space or dot", {"Drivers/twin8_64.bat ": b"unchecked", "sun/java.policy.": b"x"}, [],
     ["Drivers/twin8_64.bat : ends in a space or dot, which Windows drops: it would be twin8_64.bat",
      "sun/java.policy.: ends in a space or dot"]),
    ("names Windows cannot hold", {"sun/a:b": b"x", "sun/tab\t": b"x", "sun/\u0105.txt": b"x",
                                   "Drivers/README.TXT": b"x"}, [],
     ["sun/a:b: a character that Windows forbids", "sun/tab\\t: a character that Windows forbids",
      "sun/\u0105.txt: a character outside printable ASCII",
      "Drivers/readme.txt: the same name for Windows as Drivers/README.TXT"]),
]


def files_of(root):
    found = {}
    for directory, _, names in os.walk(root):
        for name in names:
            path = os.path.join(directory, name)
            with open(path, "rb") as file:
                found[os.path.relpath(path, root)] = file.read()
    return found


def write_payload(files):
    root = os.path.join(scratch, "payload")
    shutil.rmtree(root, ignore_errors=True)
    for name, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(root, name)), exist_ok=True)
        if isinstance(data, Link):
            os.symlink(data, os.path.join(root, name))
            continue
        with open(os.path.join(root, name), "wb") as file:
            file.write(data)
    return root


failures = 0
for title, changes, options, expected in CASES:
    shipped = files_of(package)
    if changes is not None:
        payload = {name: data for name, data in {**FULL_PAYLOAD, **changes}.items() if data is not None}
        options = options + ["--payload", write_payload(payload)]
        shipped = {n: d for n, d in shipped.items() if not n.startswith(STAND_IN_TREES)}
        shipped.update(payload)
    staging, zipped = os.path.join(scratch, "staging"), os.path.join(scratch, "release.zip")
    run = subprocess.run([sys.executable, release_package, package, staging, *options],
                         capture_output=True, text=True)
    findings = [line.strip() for line in run.stderr.splitlines() if line.startswith("  ")]
    ok = run.returncode == (1 if expected else 0) and len(findings) == len(expected) and all(
        any(finding.startswith(e) for finding in findings) for e in expected)
    if ok and not expected:
        subprocess.run([sys.executable, release_zip, staging, zipped], check=True)
        with zipfile.ZipFile(zipped) as archive:
            ok = shipped == {n: archive.read(n) for n in archive.namelist() if not n.endswith("/")}
    print(("ok   " if ok else "FAIL ") + title)
    if not ok:
        print(run.stdout + run.stderr)
        failures += 1
shutil.rmtree(scratch, ignore_errors=True)
sys.exit(1 if failures else 0)
