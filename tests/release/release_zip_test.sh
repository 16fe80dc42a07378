#!/bin/bash
# The zip step of scripts/release.sh over two copies of the built package that
# differ only in file times, permissions and location: the zips must be
# byte-identical, sorted, and unpack to the whole package.
#   release_zip_test.sh RELEASE_ZIP_PY PACKAGE_DIR SCRATCH_DIR
set -euo pipefail
release_zip=$1 package=$2 scratch=$3

rm -rf "$scratch"
one=$scratch/one
other=$scratch/second/copy-of-the-package
mkdir -p "$scratch/second"
cp -r "$package" "$one"
cp -r "$package" "$other"
find "$other" -exec touch -d '2011-11-11 11:11:11' {} +
find "$other" -type f -exec chmod 600 {} +
find "$other" -type d -exec chmod 700 {} +

python3 "$release_zip" "$one" "$scratch/one.zip"
python3 "$release_zip" "$other" "$scratch/other.zip"
if ! cmp "$scratch/one.zip" "$scratch/other.zip"; then
    echo "FAIL: the zips of equal trees differ" >&2
    exit 1
fi

python3 - "$scratch/one.zip" <<'PYTHON'
import sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
if names != sorted(names):
    sys.exit("FAIL: entries not sorted")
if "instalator.exe" not in names:
    sys.exit("FAIL: instalator.exe is not at the top of the zip")
PYTHON
mkdir "$scratch/unpacked"
python3 -m zipfile -e "$scratch/one.zip" "$scratch/unpacked"
diff -r "$package" "$scratch/unpacked" || { echo "FAIL: the zip is not the package" >&2; exit 1; }
rm -rf "$scratch"
echo "identical zips of the whole package"
