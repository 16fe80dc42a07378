#!/bin/bash
# Signs a copy of the installer with scripts/sign.sh and a throwaway
# self-signed certificate, its password on standard input; checks the signature
# with osslsigncode (and that a tampered copy fails the check), then runs the
# signed copy under Wine.
#   signing_test.sh INSTALLER DECLINE_START WINE_RUN SCRATCH_DIR
set -euo pipefail
installer=$1 decline_start=$2 wine_run=$3 scratch=$4
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

# Wine's test user must read the signed copy.
chmod -R a+rX "$scratch"
"$wine_run" "$decline_start" "Z:${scratch//\//\\}\\instalator.exe"
echo "signed copy verified and ran"
