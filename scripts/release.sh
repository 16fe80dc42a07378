#!/bin/bash
# Builds the installation package and packs it for release:
#   scripts/release.sh [--payload DIR] [--sample] (PFX [TIMESTAMP_URL] | --unsigned)
# DIR holds the real files in the package's layout (README, "The installation
# package"); they take the place of the sample package's stand-ins. The release
# refuses while a stand-in is left or a file that the installer reads is unfit,
# naming each; --sample asks for a sample zip, named so, on purpose.
# instalator.exe is built in build/release-program carrying the list of the
# staged package's files with their SHA-256 (scripts/lib/package_list.py), by
# which it checks the package when it runs. It is then signed with PFX through
# scripts/sign.sh; the certificate's password comes from RELEASE_SIGN_PASSWORD
# or is asked for. Without a certificate it stops, unless --unsigned asks for
# a release whose list nobody can trust (README, Release), named so. Writes
# build/release/instalator-<version>-win64[-sample][-unsigned].zip
# (the package directory: instalator.exe beside Drivers, msie, ns and sun) and
# build/release/SHA256SUMS: the zip's line, then a line for every file of the
# package. build/release/instalator-<version>-win64[...].msi carries the same
# package for Windows Installer (src/msi), signed as the program is.
set -euo pipefail
source "$(dirname "$0")/lib/setup.sh"

usage() {
    echo "usage: $0 [--payload DIR] [--sample] (PFX [TIMESTAMP_URL] | --unsigned)" >&2
    exit 2
}
stage_options=()
suffix=""
unsigned=""
while [ $# -gt 0 ]; do
    case $1 in
        --payload)
            [ $# -ge 2 ] || usage
            [ -d "$2" ] || { echo "no payload folder $2" >&2; exit 2; }
            stage_options+=(--payload "$(cd "$2" && pwd)")
            shift 2 ;;
        --sample)
            stage_options+=(--sample)
            suffix=-sample
            shift ;;
        --unsigned)
            unsigned=1
            shift ;;
        -*) usage ;;
        *) break ;;
    esac
done
pfx=${1:+$(realpath -- "$1")}
timestamp_url=${2:-}
[ -z "$pfx" ] || [ -z "$unsigned" ] || usage
if [ -z "$pfx$unsigned" ]; then
    echo "no certificate: give PFX, or --unsigned for a release whose package list" >&2
    echo "anyone who can change the package can rewrite (README, Release)" >&2
    exit 2
fi
cd "$REPO_ROOT"

# The version is the project's, in CMakeLists.txt: the release is named by its
# first two numbers, as the dialog's title shows it.
version=$(sed -n 's/^project(instalator VERSION \([0-9]*\.[0-9]*\)[.0-9]* .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project VERSION in CMakeLists.txt" >&2; exit 2; }
name=instalator-$version-win64$suffix${unsigned:+-unsigned}
# Its own build directory: only a release's program carries a list, the
# list of the package staged below with its payload.
build_dir=build/release-program
package_dir=$build_dir/package
package_list=$REPO_ROOT/$build_dir/package-list.txt
release=build/release

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
cmake --preset mingw -B "$build_dir" -DINSTALATOR_PACKAGE_LIST="$package_list" >/dev/null
cmake --build "$build_dir" -j2 --target package_drivers package_msie package_ns package_sun \
    >/dev/null
# The program is built once the package is staged; an earlier one must not ship.
rm -f "$package_dir/instalator.exe"

# Only what the package consists of: a leftover beside it would ship too.
contents=$(cd "$package_dir" && LC_ALL=C ls -A | tr '\n' ' ')
if [ "$contents" != "Drivers msie ns sun " ]; then
    echo "unexpected contents of $package_dir: $contents" >&2
    exit 1
fi

mkdir -p "$release"
staging=$release/$name
log "checking the package${stage_options[*]:+ (${stage_options[*]})}"
python3 scripts/lib/release_package.py "$package_dir" "$staging" "${stage_options[@]}"
log "building instalator.exe with the list of the package"
python3 scripts/lib/package_list.py "$staging" "$package_list"
cmake --build "$build_dir" -j2 --target instalator >/dev/null
cp "$package_dir/instalator.exe" "$staging/instalator.exe"
if [ -n "$pfx" ]; then
    log "signing"
    printf '%s\n' "$password" | scripts/sign.sh "$pfx" "$timestamp_url" "$staging/instalator.exe" \
        >/dev/null
fi
if ! python3 scripts/lib/carried_list.py "$staging/instalator.exe" | cmp -s - "$package_list"; then
    echo "$staging/instalator.exe does not carry the list of the package beside it" >&2
    exit 1
fi
python3 scripts/lib/release_zip.py "$staging" "$release/$name.zip"
log "building the MSI"
cmake -B "$build_dir" -DINSTALATOR_MSI_PACKAGE="$REPO_ROOT/$staging" >/dev/null
cmake --build "$build_dir" -j2 --target instalator_msi >/dev/null
cp "$build_dir/instalator.msi" "$release/$name.msi"
if [ -n "$pfx" ]; then
    printf '%s\n' "$password" | scripts/sign.sh "$pfx" "$timestamp_url" "$release/$name.msi" \
        >/dev/null
fi
# Unpacked beside it, the zip and every file of the package check with
# sha256sum -c; the program's own line is its signed one.
{
    (cd "$release" && sha256sum "$name.zip")
    sed -E 's/^([0-9a-f]{64}) [0-9]+  /\1  /' "$package_list"
    (cd "$staging" && sha256sum instalator.exe)
} >"$release/SHA256SUMS"
rm -rf "$staging"
cat "$release/SHA256SUMS"
if [ -n "$unsigned" ]; then
    log "$release/$name.zip: unsigned, nothing shows that the program and its list are ours"
else
    log "$release/$name.zip"
fi
log "$release/$name.msi"
