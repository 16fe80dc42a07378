#!/bin/bash
# Builds the installer from the same sources in two directories of different
# names and depths and requires byte-identical results, also identical to the
# program of this build.
#   reproducible_test.sh SOURCE_DIR BINARY_DIR SCRATCH_DIR TARGET BUILT_PROGRAM
set -euo pipefail
source_dir=$1 binary_dir=$2 scratch=$3 target=$4 built=$5
relative=${built#"$binary_dir/"}

rm -rf "$scratch"
copies=("$scratch/one" "$scratch/second/copy-of-the-sources")
for copy in "${copies[@]}"; do
    mkdir -p "$copy"
    tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
    (cd "$copy" && cmake --preset mingw >/dev/null &&
        cmake --build --preset mingw -j2 --target "$target" >/dev/null)
done

sums=$(sha256sum "$built" "${copies[0]}/build/mingw/$relative" "${copies[1]}/build/mingw/$relative")
echo "$sums"
distinct=$(echo "$sums" | cut -d' ' -f1 | sort -u | wc -l)
if [ "$distinct" -ne 1 ]; then
    echo "FAIL: the builds differ" >&2
    cmp -l "${copies[0]}/build/mingw/$relative" "${copies[1]}/build/mingw/$relative" | head -20 >&2 || true
    exit 1
fi
rm -rf "$scratch"
echo "identical"
