#!/bin/bash
# Signs the installer with Authenticode (SHA-256), in place:
#   scripts/sign.sh PFX PASSWORD [TIMESTAMP_URL] [EXE]
# TIMESTAMP_URL is an RFC 3161 time-stamping service ("" for none); EXE is
# build/mingw/package/instalator.exe unless given. The password reaches
# osslsigncode on its standard input, not on its command line.
set -euo pipefail
if [ $# -lt 2 ]; then
    echo "usage: $0 PFX PASSWORD [TIMESTAMP_URL] [EXE]" >&2
    exit 2
fi
REPO_ROOT=$(cd "$(dirname "$0")/.." && pwd)
pfx=$1
password=$2
timestamp_url=${3:-}
exe=${4:-$REPO_ROOT/build/mingw/package/instalator.exe}

timestamp=()
if [ -n "$timestamp_url" ]; then
    timestamp=(-ts "$timestamp_url")
fi
signed="$exe.signing"
rm -f "$signed"
printf '%s' "$password" | osslsigncode sign -pkcs12 "$pfx" -readpass - -h sha256 \
    -n "Instalator czytnika kart mikroprocesorowych" "${timestamp[@]}" \
    -in "$exe" -out "$signed" >/dev/null
mv -f "$signed" "$exe"
echo "signed $exe"
