#!/bin/bash
# CopyPolicyFile with the build machine's Java: each case runs the class in a
# copy of the package's "sun" directory with a home directory of its own.
# Usage: copy_policy_file_test.sh <java> <directory of CopyPolicyFile.class> <package/sun sources>
set -u
JAVA=$1
CLASS_DIR=$2
SUN_SOURCES=$3
WORK=$(mktemp -d)
trap 'chmod -R u+w "$WORK"; rm -rf "$WORK"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# run_case <home> <args...>: runs in $WORK/sun, leaves status, stdout, stderr.
run_case() {
    local home=$1
    shift
    (cd "$WORK/sun" && "$JAVA" -Duser.home="$home" CopyPolicyFile "$@" >"$WORK/out" 2>"$WORK/err")
    status=$?
}

expect_one_line_failure() {
    local what=$1
    [ "$status" -ne 0 ] || fail "$what: exit status 0"
    [ "$(wc -l <"$WORK/err")" -eq 1 ] || fail "$what: expected one line, got: $(cat "$WORK/err")"
    grep -q '^CopyPolicyFile: ' "$WORK/err" || fail "$what: message without the program's name"
}

mkdir -p "$WORK/sun" "$WORK/home"
cp "$CLASS_DIR/CopyPolicyFile.class" "$SUN_SOURCES/.java.policy" \
    "$SUN_SOURCES/.opencard.properties" "$WORK/sun/"

# Java 8 bytecode (major version 52) or older, so that old runtimes run it.
major=$(od -An -j6 -N2 -tu1 "$CLASS_DIR/CopyPolicyFile.class" | awk '{print $1 * 256 + $2}')
[ "$major" -le 52 ] || fail "class file version $major is newer than Java 8"

# What the user had in the home directory, and what is there afterwards:
# "-" is no file, "dir" a folder, "package" the package's own file.
put() { case $2 in -) ;; dir) mkdir "$1" ;; *) echo "$2" >"$1" ;; esac; }
found() { if [ -d "$1" ]; then echo dir; elif [ -e "$1" ]; then cat "$1"; else echo -; fi; }
#   case | user's file | backup before | exit | user's file after | backup after
while IFS='|' read -r what file backup exit_ok file_after backup_after; do
    home=$WORK/table/$what
    mkdir -p "$home"
    put "$home/.java.policy" "$file"
    put "$home/.java.policy.ocf-bak" "$backup"
    run_case "$home" .java.policy
    if [ "$exit_ok" = yes ]; then
        [ "$status" -eq 0 ] || fail "$what: exit status $status: $(cat "$WORK/err")"
    else
        expect_one_line_failure "$what"
    fi
    [ "$file_after" = package ] && file_after=$(cat "$WORK/sun/.java.policy")
    [ "$(found "$home/.java.policy")" = "$file_after" ] || fail "$what: wrong policy left"
    [ "$(found "$home/.java.policy.ocf-bak")" = "$backup_after" ] || fail "$what: wrong backup"
done <<'TABLE'
no file yet|-|-|yes|package|-
first replacement|user's own|-|yes|package|user's own
backup of an earlier run|user's own, later|user's own|yes|package|user's own
folder in the backup's place|user's own|dir|no|user's own|dir
TABLE

echo "older copy" >"$WORK/home/.opencard.properties"
run_case "$WORK/home" .opencard.properties
[ "$status" -eq 0 ] || fail ".opencard.properties: exit status $status: $(cat "$WORK/err")"
cmp -s "$WORK/sun/.opencard.properties" "$WORK/home/.opencard.properties" ||
    fail ".opencard.properties: not copied over the older copy"
[ "$(cat "$WORK/home/.opencard.properties.ocf-bak")" = "older copy" ] ||
    fail ".opencard.properties: the older copy has no backup"
grep -q 'Pcsc10CardTerminalFactory' "$WORK/home/.opencard.properties" ||
    fail ".opencard.properties names no PC/SC terminal factory"
grep -q 'loadLibrary.ocfpcsc1' "$WORK/sun/.java.policy" ||
    fail ".java.policy does not let OCF load its bridge library"

run_case "$WORK/home"
expect_one_line_failure "no argument"
run_case "$WORK/home" .java.policy .opencard.properties
expect_one_line_failure "two arguments"
for name in java.policy ../sun/.java.policy CopyPolicyFile.class ""; do
    run_case "$WORK/home" "$name"
    expect_one_line_failure "unknown name '$name'"
done

mkdir -p "$WORK/fresh"
rm "$WORK/sun/.opencard.properties"
run_case "$WORK/fresh" .opencard.properties
expect_one_line_failure "missing source"
[ ! -e "$WORK/fresh/.opencard.properties" ] || fail "missing source: a file was written"

# A home that is a plain file, and one that does not exist: nothing to write
# into, whoever runs the test.
touch "$WORK/not-a-directory"
run_case "$WORK/not-a-directory" .java.policy
expect_one_line_failure "home is a file"
run_case "$WORK/no/such/home" .java.policy
expect_one_line_failure "missing home"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all CopyPolicyFile checks passed"
