#!/bin/bash
# Signs the installer or its MSI with Authenticode (SHA-256), in place:
#   scripts/sign.sh PFX [TIMESTAMP_URL] [EXE_OR_MSI]
# TIMESTAMP_URL is an RFC 3161 time-stamping service ("" for none); the file
# is build/mingw/package/instalator.exe unless given (osslsigncode signs an
# .msi too). The certificate's password
# comes from RELEASE_SIGN_PASSWORD, else as one line on standard input (asked
# for at a terminal); never as an argument, where every user of the machine
# could read it. It reaches osslsigncode on its standard input too.
set -euo pipefail
usage() {
    echo "usage: [RELEASE_SIGN_PASSWORD=...] $0 PFX [TIMESTAMP_URL] [EXE]" \
        "(the password on standard input or in RELEASE_SIGN_PASSWORD)" >&2
    exit 2
}
[ $# -ge 1 ] && [ $# -le 3 ] || usage
REPO_ROOT=$(cd "$(dirname "$0")/.." && pwd)
pfx=$1
timestamp_url=${2:-}
exe=${3:-$REPO_ROOT/build/mingw/package/instalator.exe}
# A password in the place where it used to go must not pass for a URL.
case $timestamp_url in "" | *://*) ;; *) usage ;; esac

if [ -n "${RELEASE_SIGN_PASSWORD+set}" ]; then
    password=$RELEASE_SIGN_PASSWORD
elif [ -t 0 ]; then
    read -rsp "Password of $pfx: " password
    echo >&2
else
    IFS= read -r password || [ -n "$password" ] || { echo "no password on standard input" >&2; exit 2; }
fi

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
