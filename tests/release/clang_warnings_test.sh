#!/bin/bash
# A second compiler keeps the code honest: clang for x86_64-w64-mingw32
# compiles every source of the installer without a single warning.
#   clang_warnings_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
includes=()
for dir in "$source_dir"/src/* "$source_dir"/resources; do
    [ -d "$dir" ] && includes+=(-I "$dir")
done
failed=0
count=0
while IFS= read -r source; do
    case $source in *.c) language=(-x c -std=c11) ;; *) language=(-x c++ -std=c++17 -fno-exceptions -fno-rtti) ;; esac
    # Warnings are errors; clang's execution character set is UTF-8 only,
    # which changes no diagnostic.
    if ! clang --target=x86_64-w64-mingw32 "${language[@]}" -Wall -Wextra -Wpedantic -Werror \
        -DWINVER=0x0601 -D_WIN32_WINNT=0x0601 "${includes[@]}" -c "$source" -o /dev/null; then
        echo "FAIL: $source" >&2
        failed=1
    fi
    count=$((count + 1))
done < <(find "$source_dir/src" -name '*.cpp' -o -name '*.c' | sort)
echo "clang compiled $count installer sources"
[ "$count" -gt 0 ] || failed=1
exit $failed
