#!/bin/bash
# Signs a copy of the installer with scripts/sign.sh and a throwaway
# self-signed certificate, its password on standard input; checks the signature
# with osslsigncode (and that a tampered copy fails the check), then runs the
# signed copy under Wine: declined, then a quiet install whose registered copy
# must be the signed file, and the registered uninstall.
#   signing_test.sh INSTALLER DECLINE_START WINE_RUN SCRATCH_DIR WINE_PREFIX
set -euo pipefail
installer=$1 decline_start=$2 wine_run=$3 scratch=$4 prefix=$5
repo_root=$(cd "$(dirname "$0")/../.." && pwd)

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"
export PASSWORD="throwaway $RANDOM"
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/CN=Instalator test signer" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.pfx -passout env:PASSWORD

cp "$installer" instalator.exe
echo "$PASSWORD" | "$repo_root/scripts/sign.sh" signer.pfx "" "$scratch/instalator.exe"
osslsigncode verify -CAfile cert.pem -in instalator.exe >verify.log 2>&1 || {
    cat verify.log; echo "FAIL: the signature does not verify" >&2; exit 1; }
grep -q "Signature verification: ok" verify.log
if cmp -s "$installer" instalator.exe; then
    echo "FAIL: signing left the file unchanged" >&2; exit 1
fi

cp instalator.exe tampered.exe
offset=$(( $(stat -c %s tampered.exe) / 3 ))
byte=$(od -An -tu1 -j "$offset" -N1 tampered.exe)
printf "\\$(printf %03o $((255 - byte)))" | dd of=tampered.exe bs=1 seek="$offset" conv=notrunc 2>/dev/null
if osslsigncode verify -CAfile cert.pem -in tampered.exe >/dev/null 2>&1; then
    echo "FAIL: a tampered copy still verifies" >&2; exit 1
fi

# Wine's test user must read the signed copy, in a package of its own.
cp -r "$(dirname "$installer")" package
cp instalator.exe package/
chmod -R a+rX "$scratch"
"$wine_run" "$decline_start" "Z:${scratch//\//\\}\\instalator.exe"

fail() { echo "FAIL: $*" >&2; exit 1; }
placed() { sha256sum "$prefix"/drive_c/windows/system32/ocf* 2>/dev/null || true; }
before=$(placed)
# No Java home: the step's warning, exit 1, yet the bridges are placed.
status=0
"$wine_run" "Z:${scratch//\//\\}\\package\\instalator.exe" /quiet || status=$?
[ "$status" -eq 1 ] && [ "$(placed)" != "$before" ] ||
    fail "the signed program's install: exit $status"
cmp instalator.exe "$prefix/drive_c/Program Files/Instalator czytnika kart/instalator.exe" ||
    fail "the registered copy is not the signed program"
"$wine_run" "C:\\Program Files\\Instalator czytnika kart\\instalator.exe" /uninstall /quiet ||
    fail "the registered uninstall: exit $?"
[ "$(placed)" = "$before" ] || fail "files not brought back: $before / $(placed)"
# The copy and its folder go at the restart.
"$wine_run" wineboot -r
echo "signed copy verified, ran, installed and was uninstalled"
