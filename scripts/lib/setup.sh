# Shared set-up of the scripts: packages, the Polish locale and the
# unprivileged user that runs Wine. Safe to run again.

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WINE_USER=winetest
WINE_LOADER=/usr/lib/wine/wine64

REQUIRED_PACKAGES="cmake make g++ g++-mingw-w64-x86-64-posix wine wine64 xvfb x11-utils
 imagemagick locales googletest default-jdk-headless clang libclang-rt-14-dev osslsigncode
 binutils-mingw-w64-x86-64 wixl msitools"

log() { printf '==> %s\n' "$*"; }

ensure_packages() {
    local missing=""
    for package in $REQUIRED_PACKAGES; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing="$missing $package"
    done
    if [ -n "$missing" ]; then
        log "installing:$missing"
        if [ "$(id -u)" != 0 ]; then
            echo "run as root to install the missing packages" >&2
            return 1
        fi
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
    fi
}

ensure_locale() {
    # pl_PL gives the installer's own ANSI code page 1250; en_US gives 1252, the
    # code page of a Western Windows, on which the Polish text must show too;
    # ja_JP gives 932, whose characters may end in the byte of a backslash.
    local missing=0
    for name in pl_PL en_US ja_JP; do
        locale -a 2>/dev/null | grep -qi "^$name.utf8\$" && continue
        log "generating the $name.UTF-8 locale"
        sed -i "s/^# *$name.UTF-8 UTF-8/$name.UTF-8 UTF-8/" /etc/locale.gen
        grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" >> /etc/locale.gen
        missing=1
    done
    [ $missing -eq 0 ] || locale-gen >/dev/null
}

ensure_wine_user() {
    if ! id "$WINE_USER" >/dev/null 2>&1; then
        log "creating the unprivileged Wine user $WINE_USER"
        useradd --create-home --shell /bin/sh "$WINE_USER"
    fi
    # The user must reach the build tree, wherever the clone lies.
    local directory="$REPO_ROOT"
    while [ "$directory" != "/" ]; do
        if ! runuser -u "$WINE_USER" -- test -x "$directory"; then
            chmod o+x "$directory"
        fi
        directory=$(dirname "$directory")
    done
}

ensure_environment() {
    ensure_packages
    ensure_locale
    ensure_wine_user
}
