#!/usr/bin/env python3
"""Writes the seed corpus of each fuzz target into fuzz/corpus/<target>/.

The seeds are committed; run this again only to change them. Input layouts:
path_join: path NUL element. conflict_prompt: for the source, then the target,
a 32-bit size and six 16-bit date fields; a 16-bit buffer size choice (bit 15
set: (choice & 0x3FF) + 1 bytes, otherwise 512); source name NUL target name.
registry_value: 32-bit type, 32-bit stored size, 16-bit capacity (its low 12
bits count), 16-bit
length for the parent search, then the value's bytes. report: five result
bytes (below 250: byte % 6 - 1; otherwise a 32-bit result follows), a 16-bit
report size choice (bit 15 set: (choice & 0xFFF) + 1 bytes, otherwise 3552),
then per step a fill byte (bit 0 set: the message fills its buffer without a
terminator) and the message NUL. gemplus_search: the multi-string as it is.
java_home: 32-bit type, 32-bit stored size, the element to join NUL, then
the value's bytes. record: the record file as it is. pending: the UTF-16LE value as it is.
image: a 64-bit base, a 32-bit file size (modulo what is left + 1), the file, then the image.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    directory = os.path.join(HERE, "corpus", target)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


def path_join():
    cases = {
        "windows_java_lib": (b"C:\\WINDOWS", b"java\\lib"),
        "drive_root": (b"C:\\", b"ocf1.2.jar"),
        "empty_path": (b"", b"Users\\*"),
        "path_259": (b"a" * 259, b"file"),
        "path_258": (b"a" * 258, b"file"),
        "path_260": (b"a" * 260, b"file"),
        "long_element": (b"C:\\dir", b"e" * 400),
        "quoted_command": (b"\"C:\\Java", b"bin\\java.exe\" CopyPolicyFile .java.policy"),
        "leading_backslash": (b"C:\\a", b"\\b"),
    }
    for name, (path, element) in cases.items():
        write("path_join", name, path + b"\0" + element)


def facts(size, year, month, day, hour, minute, second):
    return struct.pack("<I6H", size, year, month, day, hour, minute, second)


def conflict_prompt():
    usual = facts(12345, 2024, 5, 17, 8, 3, 9)
    other = facts(678, 2003, 11, 2, 23, 59, 58)
    widest = facts(0x80000000, 65535, 65535, 65535, 65535, 65535, 65535)
    cases = {
        "short_names": (usual, other, 0, b"ocf.jar", b"C:\\WINDOWS\\system32\\ocf.jar"),
        "long_names": (usual, other, 0, b"s" * 300, b"t" * 300),
        "long_target": (usual, other, 0, b"opencard.properties",
                        b"C:\\" + b"katalog\\" * 40 + b"opencard.properties"),
        "long_source": (usual, other, 0, b"x\\" * 200, b"C:\\t.dll"),
        "widest_numbers": (widest, widest, 0, b"a" * 240, b"b" * 5),
        "percent_names": (usual, other, 0, b"%s%n%d", b"%%%x"),
        "tiny_buffer": (usual, other, 0x8000 | 9, b"src", b"dst"),
        "buffer_300": (usual, other, 0x8000 | 299, b"s" * 100, b"t" * 100),
        "polish_names": (usual, other, 0, "źródło.jar".encode("cp1250"),
                         "docelowy\\ŁÓDŹ.jar".encode("cp1250")),
    }
    for name, (source, target, choice, source_name, target_name) in cases.items():
        data = source + target + struct.pack("<H", choice) + source_name + b"\0" + target_name
        write("conflict_prompt", name, data)


def registry_value():
    home = b"C:\\Program Files\\Java\\jre1.8.0_202\0"
    cases = {
        "java_home": (1, len(home), 262, len(home) - 1, home),
        "expand_string": (2, len(home), 262, 10, home),
        "fills_buffer": (1, 262, 262, 261, b"d" * 261 + b"\0"),
        "one_short_of_full": (1, 261, 262, 260, b"d" * 260 + b"\0"),
        "no_terminator": (1, 20, 262, 20, b"C:\\Java\\jdk1.6.0_45x"),
        "empty_value": (1, 0, 262, 0, b""),
        "terminator_only": (1, 1, 262, 0, b"\0"),
        "extra_terminators": (1, 12, 262, 11, b"C:\\J\\\0\0\0\0\0\0\0"),
        "dword_type": (4, 4, 262, 4, b"\x01\x00\x00\x00"),
        "multi_string": (7, 14, 262, 13, b"C:\\a\0C:\\b\0\0\0\0\0"),
        "more_data": (1, 4000, 262, 262, b"C:\\" + b"z\\" * 200),
        "trailing_backslash": (1, 9, 262, 8, b"C:\\Java\\\0"),
    }
    for name, (kind, stored, capacity, parent_from, data) in cases.items():
        write("registry_value", name,
              struct.pack("<IIHH", kind, stored, capacity, parent_from) + data)


NOT_RUN, OK, ERROR, ABORTED, WARNING = -1, 0, 1, 2, 3


def report():
    removal_failed, removal_ok = 0, 1
    long_text = b"komunikat " * 59 + b"k"  # 591 characters
    cases = {
        "nothing_ran": ([removal_ok, NOT_RUN, NOT_RUN, NOT_RUN, NOT_RUN], 0, [b""] * 5, 0),
        "usual_run": ([removal_ok, NOT_RUN, NOT_RUN, WARNING, OK], 0,
                      [b"", b"", b"", b"Instalacja niepe\xb3na", b""], 0),
        "longest_report": ([removal_failed, WARNING, WARNING, WARNING, WARNING], 0,
                           [long_text] * 5, 0),
        "java_aborted": ([removal_failed, NOT_RUN, NOT_RUN, ABORTED, NOT_RUN], 0,
                         [b"Nie mo\xbfna usun\xb9\xe6", b"", b"", b"przerwano", b""], 0),
        "all_errors": ([removal_failed, ERROR, ERROR, ERROR, ERROR], 0,
                       [b"a", b"b", b"c", b"d", b"e"], 0),
        "unterminated": ([removal_failed, ERROR, WARNING, ERROR, WARNING], 0,
                         [b"x" * 600] * 5, 1),
        "small_report": ([removal_failed, ERROR, OK, WARNING, ERROR], 0x8000 | 99,
                         [b"m" * 50] * 5, 0),
    }
    for name, (results, size_choice, messages, fill) in cases.items():
        data = bytes(result + 1 for result in results) + struct.pack("<H", size_choice)
        for message in messages:
            data += bytes([fill]) + message + b"\0"
        write("report", name, data)


def gemplus_search():
    cases = {
        "gemplus_reader": b"Gemplus USB Smart Card Reader 0\0\0",
        "upper_case": b"Other Reader 0\0GEMPLUS GemPC Twin 00 00\0\0",
        "split_across_names": b"Reader GEMPLU\0S Reader\0\0",
        "gem_then_gemplus": b"GEMGEMPLUS\0\0",
        "no_gemplus": b"SCM Microsystems SCR3310 0\0Omnikey 3121 0\0\0",
        "unterminated": b"xx gEmPlUs",
        "near_miss": b"GEMPLUs\0gemplu\0\0",
        "empty": b"",
    }
    for name, data in cases.items():
        write("gemplus_search", name, data)


def java_home():
    jre = b"C:\\Program Files\\Java\\jre1.8.0_202\0"
    cases = {
        "jre_home": (1, len(jre), b"lib\\ext\\ocf1.2.jar", jre),
        "expand_string": (2, len(jre), b"lib\\security\\java.policy", jre),
        "fills_capacity": (1, 262, b"bin", b"h" * 261 + b"\0"),
        "longest_usable": (1, 261, b"lib", b"h" * 260 + b"\0"),
        "no_terminator": (1, 12, b"lib", b"C:\\Java\\jdk"),
        "empty_text": (1, 1, b"lib", b"\0"),
        "extra_terminators": (1, 16, b"lib", b"C:\\J\0\0\0\0\0\0\0\0\0\0\0"),
        "trailing_backslash": (1, 10, b"bin\\java.exe\" CopyPolicyFile .java.policy",
                               b"C:\\Java\\\0"),
        "long_element": (1, len(jre), b"e" * 300, jre),
        "binary_type": (3, len(jre), b"lib", jre),
    }
    for name, (kind, stored, element, value) in cases.items():
        write("java_home", name, struct.pack("<II", kind, stored) + element + b"\0" + value)


def record():
    digest = b"0123456789abcdef" * 4
    cases = {
        "two_files": b"KS " + digest + b" C:\\Windows\\system32\\ocfpcsc1.dll\r\n"
                     b"N- - C:\\Java\\lib\\security\\java.policy.ocf-bak\r\n",
        "dot_dot": b"K- - C:\\Java\\..\\x\r\n",
        "no_line_end": b"N- " + digest + b" C:\\x",
    }
    for name, data in cases.items():
        write("record", name, data)


def pending():
    cases = {
        "ours_and_others": "\\??\\C:\\j\\b.dll.ocf-new\0!\\??\\C:\\j\\b.dll\0"
                           "\\??\\C:\\t\\x.tmp\0\0\\??\\C:\\j\\a.jar\0\0"
                           "\\??\\C:\\P\\instalator.exe\0\0\0",
        "cut_short": "\\??\\C:\\j\\b.dll.ocf-new\0!\\??\\C:\\j",
    }
    for name, text in cases.items():
        write("pending", name, text.encode("utf-16-le"))


def small_program():
    """A PE32+ with one relocated pointer and an import address table."""
    f = bytearray(0x800)
    fields = [(0x3C, 0x40, "I"), (0x40, 0x4550, "I"), (0x46, 3, "H"), (0x54, 240, "H"),
              (0x58, 0x20B, "H"), (0x70, 0x140000000, "Q"), (0x94, 0x200, "I"),
              (0xC4, 16, "I"), (0xF0, 0x3000, "I"), (0xF4, 12, "I"), (0x128, 0x2000, "I"),
              (0x12C, 16, "I"), (0x150, 0x100, "I"), (0x154, 0x1000, "I"), (0x158, 0x200, "I"),
              (0x15C, 0x200, "I"), (0x178, 0x40, "I"), (0x17C, 0x2000, "I"),
              (0x180, 0x200, "I"), (0x184, 0x400, "I"), (0x1A0, 12, "I"),
              (0x1A4, 0x3000, "I"), (0x1A8, 0x200, "I"), (0x1AC, 0x600, "I"),
              (0x210, 0x140001080, "Q"), (0x600, 0x1000, "I"), (0x604, 12, "I"),
              (0x608, 0xA010, "H")]
    for i in range(0x200, 0x300):
        f[i] = (i * 7 + 1) & 0xFF
    for at, value, kind in fields:
        struct.pack_into("<" + kind, f, at, value)
    return f


def loaded(f, base):
    image = bytearray(0x4000)
    for to, at, size in [(0, 0, 0x200), (0x1000, 0x200, 0x100), (0x2000, 0x400, 0x40),
                         (0x3000, 0x600, 12)]:
        image[to:to + size] = f[at:at + size]
    struct.pack_into("<Q", image, 0x70, base)
    struct.pack_into("<Q", image, 0x1010, 0x140001080 + base - 0x140000000)
    struct.pack_into("<Q", image, 0x2000, 0x7FFA12345678)
    return image


def image():
    f = small_program()
    for name, base in {"relocated": 0x7FF612340000, "preferred": 0x140000000}.items():
        write("image", name, struct.pack("<QI", base, len(f)) + f + loaded(f, base))
    # Signed: the sections end at 0x7FC, two certificate entries follow at 0x800.
    struct.pack_into("<II", f, 0xE8, 0x800, 40)
    struct.pack_into("<I", f, 0x1A8, 0x1FC)
    table = struct.pack("<IHH8x", 16, 0x200, 2) + struct.pack("<IHH12x4x", 20, 0x200, 2)
    base = 0x7FF612340000
    write("image", "signed", struct.pack("<QI", base, len(f) + 40) + f + table + loaded(f, base))


if __name__ == "__main__":
    path_join()
    conflict_prompt()
    registry_value()
    report()
    gemplus_search()
    java_home()
    record()
    pending()
    image()
