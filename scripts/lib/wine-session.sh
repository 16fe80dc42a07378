# A Wine session for tests and the demo: Xvfb on a free display, a fresh
# private prefix owned by the unprivileged user, a persistent wineserver.
# wine_session_stop ends every process that wine_session_start began.

XVFB_PID=""
WINE_SESSION_PREFIX=""

as_wine_user() {
    runuser -u "$WINE_USER" -- env \
        WINEPREFIX="$WINE_SESSION_PREFIX" \
        WINEDEBUG="${WINEDEBUG:--all}" \
        WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winscard=n}" \
        LANG=pl_PL.UTF-8 LC_ALL=pl_PL.UTF-8 \
        HOME="$(getent passwd "$WINE_USER" | cut -d: -f6)" \
        DISPLAY="$DISPLAY" \
        "$@"
}

# Xvfb takes a free display itself, by its lock file, and names it when it is
# ready: two sessions started at the same moment never share one (a display
# picked by looking first could be taken twice, and the first session to stop
# would end the other's).
start_xvfb() {
    local number_file
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -ac 3>"$number_file" \
        >/dev/null 2>&1 &
    XVFB_PID=$!
    local waited=0
    until [ -s "$number_file" ]; do
        sleep 0.1
        waited=$((waited + 1))
        if [ $waited -gt 100 ] || ! kill -0 "$XVFB_PID" 2>/dev/null; then
            echo "Xvfb did not start" >&2
            rm -f "$number_file"
            return 1
        fi
    done
    export DISPLAY=":$(head -n 1 "$number_file")"
    rm -f "$number_file"
}

# wine_session_start PREFIX_DIR [reuse|template]
# With "reuse" an existing prefix is kept as it is. With "template" the prefix
# is a fresh copy of PREFIX_DIR-template, made by wineboot the first time
# (a copy takes a second or two, wineboot ten or more). With
# WINE_SESSION_DISPLAY set, that X display is used instead of a private Xvfb.
wine_session_start() {
    WINE_SESSION_PREFIX="$1"
    if [ -n "${WINE_SESSION_DISPLAY:-}" ]; then
        export DISPLAY="$WINE_SESSION_DISPLAY"
    else
        start_xvfb
    fi
    local template="$WINE_SESSION_PREFIX-template"
    if [ "${2:-}" = reuse ] && [ -f "$WINE_SESSION_PREFIX/system.reg" ]; then
        log "reusing the Wine prefix $WINE_SESSION_PREFIX"
    elif [ "${2:-}" = template ] && [ -f "$template/system.reg" ]; then
        log "copying the Wine prefix $template"
        rm -rf "$WINE_SESSION_PREFIX"
        cp -a "$template" "$WINE_SESSION_PREFIX"
    else
        rm -rf "$WINE_SESSION_PREFIX"
        mkdir -p "$WINE_SESSION_PREFIX"
        chown "$WINE_USER:" "$WINE_SESSION_PREFIX"
        log "making the Wine prefix $WINE_SESSION_PREFIX"
        # Mono and Gecko are not needed, and their installers would open windows.
        WINEDLLOVERRIDES="mscoree,mshtml=" as_wine_user wineboot -i >/dev/null 2>&1
        as_wine_user wineserver -w
        if [ "${2:-}" = template ]; then
            rm -rf "$template"
            cp -a "$WINE_SESSION_PREFIX" "$template"
        fi
    fi
    # A persistent server keeps each test's start fast.
    as_wine_user wineserver -p
    # Wine closes its desktop (explorer.exe) a second after the last program
    # has left it; the next program to need it starts it again, and the
    # desktop keeps that program's standard error. A program that lives as
    # long as the session keeps the desktop open. It must hold the desktop
    # before any test runs: on a busy machine it came seconds late, a GUI test
    # restarted the desktop, and the keeper then held that test's output open
    # until the test's timeout.
    as_wine_user "$WINE_LOADER" cmd /c ping -n 86400 127.0.0.1 </dev/null >/dev/null 2>&1 &
    wait_for_session_process '^ping -n 86400 127\.0\.0\.1' || return 1
    # Without a window manager, hiding a window waits unless Wine manages none.
    as_wine_user "$WINE_LOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        </dev/null >/dev/null 2>&1
    as_wine_user "$WINE_LOADER" cmd /c exit </dev/null >/dev/null 2>&1
    wait_for_session_process 'explorer\.exe /desktop'
}

# Waits up to a minute for a process of this session's prefix whose command
# line matches the pattern (other sessions run as the same user).
wait_for_session_process() {
    local waited=0 pid
    while :; do
        for pid in $(pgrep -u "$WINE_USER" -f "$1"); do
            tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null |
                grep -qxF "WINEPREFIX=$WINE_SESSION_PREFIX" && return 0
        done
        waited=$((waited + 1))
        if [ $waited -gt 600 ]; then
            echo "Wine session: no process matching '$1' started" >&2
            return 1
        fi
        sleep 0.1
    done
}

wine_session_stop() {
    if [ -n "$WINE_SESSION_PREFIX" ]; then
        as_wine_user wineserver -k >/dev/null 2>&1 || true
        as_wine_user wineserver -w >/dev/null 2>&1 || true
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}
