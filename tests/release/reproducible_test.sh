#!/bin/bash
# Builds the installer from the same sources in a second directory, of another
# name and depth than this build's, and requires a byte-identical result.
#   reproducible_test.sh SOURCE_DIR BINARY_DIR SCRATCH_DIR TARGET BUILT_PROGRAM
set -euo pipefail
source_dir=$1 binary_dir=$2 scratch=$3 target=$4 built=$5
relative=${built#"$binary_dir/"}

rm -rf "$scratch"
# This build is the first of the two: one more build is enough (and halves the time).
copy="$scratch/second/copy-of-the-sources"
mkdir -p "$copy"
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
(cd "$copy" && cmake --preset mingw >/dev/null &&
    cmake --build --preset mingw -j2 --target "$target" >/dev/null)

sums=$(sha256sum "$built" "$copy/build/mingw/$relative")
echo "$sums"
distinct=$(echo "$sums" | cut -d' ' -f1 | sort -u | wc -l)
if [ "$distinct" -ne 1 ]; then
    echo "FAIL: the builds differ" >&2
    cmp -l "$built" "$copy/build/mingw/$relative" | head -20 >&2 || true
    exit 1
fi
rm -rf "$scratch"
echo "identical"
