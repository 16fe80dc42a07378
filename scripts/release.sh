#!/bin/bash
# Builds the installation package and packs it for release:
#   scripts/release.sh [PFX [TIMESTAMP_URL]]
# With PFX, the released instalator.exe is signed through scripts/sign.sh (the
# build's own copy stays unsigned); the certificate's password comes from
# RELEASE_SIGN_PASSWORD or is asked for. Writes
# build/release/instalator-2.8-win64.zip (the package directory: instalator.exe
# beside Drivers, msie, ns and sun) and build/release/SHA256SUMS.
set -euo pipefail
source "$(dirname "$0")/lib/setup.sh"
cd "$REPO_ROOT"

# The version is the project's, in CMakeLists.txt: the release is named by its
# first two numbers, as the dialog's title shows it.
version=$(sed -n 's/^project(instalator VERSION \([0-9]*\.[0-9]*\)[.0-9]* .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project VERSION in CMakeLists.txt" >&2; exit 2; }
name=instalator-$version-win64
package_dir=build/mingw/package
release=build/release
pfx=${1:-}
timestamp_url=${2:-}

password=""
if [ -n "$pfx" ]; then
    [ -r "$pfx" ] || { echo "cannot read $pfx" >&2; exit 2; }
    password=${RELEASE_SIGN_PASSWORD-}
    if [ -z "${RELEASE_SIGN_PASSWORD+set}" ]; then
        read -rsp "Password of $pfx: " password
        echo
    fi
fi

ensure_packages
log "building the package"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2 --target instalator package_drivers package_msie package_ns \
    package_sun >/dev/null

# Only what the package consists of: a leftover beside it would ship too.
contents=$(cd "$package_dir" && LC_ALL=C ls -A | tr '\n' ' ')
if [ "$contents" != "Drivers instalator.exe msie ns sun " ]; then
    echo "unexpected contents of $package_dir: $contents" >&2
    exit 1
fi

mkdir -p "$release"
staging=$release/$name
rm -rf "$staging"
cp -r "$package_dir" "$staging"
if [ -n "$pfx" ]; then
    log "signing"
    scripts/sign.sh "$pfx" "$password" "$timestamp_url" "$staging/instalator.exe" >/dev/null
fi
python3 scripts/lib/release_zip.py "$staging" "$release/$name.zip"
rm -rf "$staging"
(cd "$release" && sha256sum "$name.zip" >SHA256SUMS)
log "$release/$name.zip"
cat "$release/SHA256SUMS"
