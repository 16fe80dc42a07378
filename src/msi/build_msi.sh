#!/bin/bash
# Builds the MSI with wixl and msibuild (msitools) from a package folder:
#   build_msi.sh PACKAGE_DIR ACTION_DLL VERSION PRODUCT_CODE OUTPUT
# Every file of PACKAGE_DIR (instalator.exe beside sun, Drivers, msie and ns)
# goes in, listed in a sorted order so that the same files give the same
# tables.
set -euo pipefail
[ $# -eq 5 ] || { echo "usage: $0 PACKAGE_DIR ACTION_DLL VERSION PRODUCT_CODE OUTPUT" >&2; exit 2; }
package=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -f "$package/instalator.exe" ] || { echo "no instalator.exe in $package" >&2; exit 1; }
(cd "$package" && find . -type f | LC_ALL=C sort | sed 's|^\./||') |
    wixl-heat -p "" --component-group PackageFiles --var var.PackageDir \
        --directory-ref INSTALLFOLDER >"$work/package.wxs"
# wixl reads sources by relative names only.
ln -s "$package" "$work/package"
cp "$2" "$work/action.dll"
(cd "$work" && wixl -a x64 -D PackageDir=package -D ActionDll=action.dll -D Version="$3" \
    -D ProductCode="$4" -o out.msi "$here/instalator.wxs" package.wxs)
# Where wixl 0.101 falls short: a rollback action it writes as an immediate
# one, the older version removed only after InstallFinalize, components it
# leaves 32-bit (the registry's in the 32-bit view), the summary's language.
msibuild "$work/out.msi" -q "UPDATE CustomAction SET Type=3393 WHERE Action='RollbackInstaller'" \
    -q "UPDATE InstallExecuteSequence SET Sequence=1501 WHERE Action='RemoveExistingProducts'" \
    -q "UPDATE Component SET Attributes=256" \
    -q "UPDATE Component SET Attributes=260 WHERE Component='HiddenRegistration'" \
    -s "Instalator czytnika kart mikroprocesorowych $3" "Instalator czytnika kart" "x64;1045"
mkdir -p "$(dirname "$5")"
mv -f "$work/out.msi" "$5"
