#!/bin/bash
# Builds the installer and its sample package, makes a demo Windows machine in
# its own Wine prefix (build/demo/wineprefix) with one JRE and one JDK whose
# java.exe is this machine's real Java, and runs instalator.exe there.
#
# With a display (DISPLAY set and reachable) the installer opens for you to
# click through. Without one it runs under Xvfb and is driven as a user would:
# Yes, the default ticks and reader, "In&staluj", Retry at any conflict prompt,
# then "&Szczegóły >>". The report, the status labels, what was placed and the
# screenshots (build/demo/*.png) follow. Run it again: the second run meets the
# files of the first. Exits 0 when the run completed.
set -euo pipefail
source "$(dirname "$0")/lib/setup.sh"
source "$REPO_ROOT/scripts/lib/wine-session.sh"
cd "$REPO_ROOT"

DEMO_DIR="$REPO_ROOT/build/demo"
PREFIX="$DEMO_DIR/wineprefix"
PACKAGE="$REPO_ROOT/build/mingw/package"
JRE_HOME='C:\Java\jre1.8.0_demo'
JDK_HOME='C:\Java\jdk1.8.0_demo'

ensure_environment
log "building instalator.exe and its sample package"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2 >/dev/null
log "its OCF library, bridge libraries and driver installers are stand-ins (README, \"The installation package\")"

interactive=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    interactive=1
    export WINE_SESSION_DISPLAY="$DISPLAY"
    command -v xhost >/dev/null && xhost "+SI:localuser:$WINE_USER" >/dev/null || true
fi

mkdir -p "$DEMO_DIR"
chown "$WINE_USER:" "$DEMO_DIR"
trap wine_session_stop EXIT
wine_session_start "$PREFIX" reuse

wine_cmd() { as_wine_user "$WINE_LOADER" "$@" </dev/null 2>/dev/null; }
unix_path() { readlink -m "$(as_wine_user "$WINE_LOADER" winepath -u "$1" 2>/dev/null </dev/null)"; }

# The Java launcher runs as a Linux program: give it the Windows user's
# profile as its home, so CopyPolicyFile's files land where Windows has them.
user_home=$(unix_path 'C:\users\'"$WINE_USER")
as_wine_user mkdir -p "$user_home"

# The demo machine: a JRE and a JDK registered as their installers do, each
# with an original policy, and a script of the Wine user's that starts the real
# java, with that home, as their launcher (Wine shows root's java as
# Anonymous's, and the installer leaves such a Java home alone; nor does it
# pass JAVA_TOOL_OPTIONS on).
java_binary=$(readlink -f "$(command -v java)")
make_java_home() {  # WINDOWS_HOME LIB_PREFIX
    local home
    home=$(unix_path "$1")
    as_wine_user mkdir -p "$home/bin" "$home/$2lib/ext" "$home/$2lib/security"
    as_wine_user rm -f "$home/bin/java.exe"
    as_wine_user sh -c "printf '#!/bin/sh\nexec \"%s\" \"-Duser.home=%s\" \"\$@\"\n' \
        '$java_binary' '$user_home' > '$home/bin/java.exe' && chmod 755 '$home/bin/java.exe'"
    [ -f "$home/$2lib/security/java.policy" ] ||
        as_wine_user sh -c "printf '// Original policy of the demo Java\r\ngrant {\r\n};\r\n' \
            > '$home/$2lib/security/java.policy'"
}
make_java_home "$JRE_HOME" ""
make_java_home "$JDK_HOME" "jre/"
wine_cmd reg add 'HKLM\SOFTWARE\JavaSoft\Java Runtime Environment\1.8' /v JavaHome \
    /d "$JRE_HOME" /f >/dev/null
wine_cmd reg add 'HKLM\SOFTWARE\JavaSoft\Java Development Kit\1.8' /v JavaHome \
    /d "$JDK_HOME" /f >/dev/null

if [ $interactive = 1 ]; then
    log "starting the installer on $DISPLAY; close it to end the demo"
    (cd "$PACKAGE" && as_wine_user "$WINE_LOADER" instalator.exe </dev/null) || true
    status=0
else
    log "driving the installer under Xvfb ($DISPLAY)"
    status=0
    as_wine_user "$WINE_LOADER" "$REPO_ROOT/build/mingw/tools/demo_driver.exe" "$PACKAGE" \
        "$DEMO_DIR" </dev/null || status=$?
    for shot in before after unfolded; do
        [ -f "$DEMO_DIR/$shot.bmp" ] &&
            convert "$DEMO_DIR/$shot.bmp" "$DEMO_DIR/$shot.png" && rm -f "$DEMO_DIR/$shot.bmp"
    done
    echo
    [ -f "$DEMO_DIR/report.txt" ] && sed 's/\r$//' "$DEMO_DIR/report.txt"
    echo
fi

# Wine does not wait for a Linux program it started: give the launchers
# a moment to finish CopyPolicyFile's work.
for _ in $(seq 1 100); do
    [ -f "$user_home/.java.policy" ] && [ -f "$user_home/.opencard.properties" ] && break
    sleep 0.2
done

log "what the demo machine holds now"
list() {  # TITLE UNIX_DIR [find arguments...]
    local title=$1 directory=$2
    shift 2
    echo "$title:"
    if [ -d "$directory" ]; then
        (cd "$directory" && find . "$@" \( -type f -o -type l \) -printf '  %p  %s bytes\n' | sort)
    fi
}
list "JRE $JRE_HOME" "$(unix_path "$JRE_HOME")"
list "JDK $JDK_HOME" "$(unix_path "$JDK_HOME")"
list "system directory (OCF and PC/SC bridge libraries)" "$(unix_path 'C:\windows\system32')" \
    -maxdepth 1 \( -iname 'ocf*' \)
echo "policy backups:"
find "$(unix_path 'C:\Java')" -name '*.ocf-bak' -printf '  %p\n' | sort
list "user's home $user_home" "$user_home" -maxdepth 1 -name '.*'

wine_session_stop
trap - EXIT
if [ $interactive = 0 ]; then
    log "screenshots: $(ls "$DEMO_DIR"/*.png 2>/dev/null | tr '\n' ' ')"
fi
if [ $status -ne 0 ]; then
    log "the installer's run did not complete"
    exit 1
fi
log "demo finished"
