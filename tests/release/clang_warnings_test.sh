#!/bin/bash
# A second compiler keeps the code honest: clang for x86_64-w64-mingw32
# compiles every source of the installer without a single warning.
#   clang_warnings_test.sh SOURCE_DIR GENERATED_DIR
set -euo pipefail
source_dir=$1
includes=(-I "$2")
for dir in "$source_dir"/src/* "$source_dir"/resources; do
    [ -d "$dir" ] && includes+=(-I "$dir")
done
compile() {
    local source=$1 language
    case $source in *.c) language=(-x c -std=c11) ;; *) language=(-x c++ -std=c++17 -fno-exceptions -fno-rtti) ;; esac
    # Warnings are errors; clang's execution character set is UTF-8 only,
    # which changes no diagnostic.
    if ! clang --target=x86_64-w64-mingw32 "${language[@]}" -Wall -Wextra -Wpedantic -Werror \
        -DWINVER=0x0601 -D_WIN32_WINNT=0x0601 "${includes[@]}" -c "$source" -o /dev/null; then
        echo "FAIL: $source" >&2
        return 1
    fi
}
failed=0
count=0
running=0
# Two at a time: the machine has two cores.
while IFS= read -r source; do
    compile "$source" &
    running=$((running + 1))
    count=$((count + 1))
    if [ $running -ge 2 ]; then
        wait -n || failed=1
        running=$((running - 1))
    fi
done < <(find "$source_dir/src" -name '*.cpp' -o -name '*.c' | sort)
while [ $running -gt 0 ]; do
    wait -n || failed=1
    running=$((running - 1))
done
echo "clang compiled $count installer sources"
[ "$count" -gt 0 ] || failed=1
exit $failed
