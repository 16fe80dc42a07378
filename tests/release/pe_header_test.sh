#!/bin/bash
# The shipped program's PE header and size: ASLR (dynamic base with a
# relocation section, high-entropy VA), DEP (NX compatible), no link time
# stamp, imports from the system DLLs only, and at most 60 KiB (61,440 bytes) on disk.
#   pe_header_test.sh PROGRAM OBJDUMP
set -euo pipefail
program=$1 objdump=$2
budget=61440
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

header=$("$objdump" -p "$program")
sections=$("$objdump" -h "$program")
characteristics=$(echo "$header" | sed -n '/^DllCharacteristics/,/^SizeOfStackReserve/p')
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
    grep -qw "$flag" <<<"$characteristics" || fail "DllCharacteristics lack $flag"
done
# A dynamic base without relocations cannot be moved, so ASLR would not apply.
grep -qw '\.reloc' <<<"$sections" || fail "no .reloc section"
# Not through a pipe: grep -q stops reading at its match, and a writer past
# the pipe's 64 KiB would end on SIGPIPE, which pipefail takes for a failure.
grep -q '^Time/Date.*1970' <<<"$header" || fail "the link time stamp is set: $(echo "$header" | grep '^Time/Date')"

imports=$(echo "$header" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
[ -n "$imports" ] || fail "no import table found"
for dll in $imports; do
    case $dll in
        KERNEL32.DLL | USER32.DLL | ADVAPI32.DLL | MSVCRT.DLL | COMCTL32.DLL) ;;
        *) fail "imports from $dll" ;;
    esac
done

size=$(stat -c %s "$program")
echo "$(basename "$program"): $size bytes of $budget; imports: $(echo $imports)"
echo "$sections" | while read -r index name section_size _; do
    if [[ $index =~ ^[0-9]+$ ]]; then
        printf '  %-8s %6d bytes\n' "$name" $((16#$section_size))
    fi
done
[ "$size" -le "$budget" ] || fail "$size bytes, over the budget of $budget"
exit $failed
