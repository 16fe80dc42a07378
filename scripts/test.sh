#!/bin/bash
# Builds everything and runs the whole test suite: the pure logic natively
# under sanitizers and briefly fuzzed, then the Windows tests under Wine as an
# unprivileged user. Ends with how long each stage took.
set -euo pipefail
source "$(dirname "$0")/lib/setup.sh"
source "$REPO_ROOT/scripts/lib/wine-session.sh"
cd "$REPO_ROOT"

stage_names=()
stage_times=()
stage_start=0
now_ms() { date +%s%3N; }
begin_stage() {
    log "$1"
    stage_names+=("$1")
    stage_start=$(now_ms)
}
end_stage() {
    stage_times+=($(($(now_ms) - stage_start)))
}
seconds() { printf '%d.%d' $(($1 / 1000)) $(($1 % 1000 / 100)); }
print_stages() {
    local total=0
    printf '\n%-40s %8s\n' "stage" "seconds"
    for i in "${!stage_times[@]}"; do
        printf '%-40s %8s\n' "${stage_names[$i]}" "$(seconds "${stage_times[$i]}")"
        total=$((total + stage_times[i]))
    done
    printf '%-40s %8s\n' "total" "$(seconds $total)"
}
finish() {
    wine_session_stop
    print_stages
}
trap finish EXIT

begin_stage "packages, locale, Wine user"
ensure_environment
end_stage

begin_stage "native build (ASan, UBSan)"
cmake --preset native >/dev/null
cmake --build --preset native -j2
end_stage

begin_stage "native tests"
native_status=0
ctest --preset native || native_status=$?
end_stage

# Each target replays its corpus and fuzzes 10 s, two at a time (two cores);
# long runs are scripts/fuzz.sh's.
begin_stage "fuzzing (10 s per target, 2 at a time)"
FUZZ_JOBS=2 scripts/fuzz.sh 10 || native_status=$?
end_stage

begin_stage "Windows build (MinGW-w64)"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2
end_stage

begin_stage "Wine session (fresh prefix)"
wine_session_start "$REPO_ROOT/build/mingw/wineprefix" template
mkdir -p build/mingw/test-artifacts
chown "$WINE_USER:" build/mingw/test-artifacts
end_stage

# No retry: a test that fails once has found something. The Wine tests run
# one at a time (lock wine_prefix); the host-only release checks beside them.
begin_stage "Windows tests under Wine, release checks"
windows_status=0
ctest --preset mingw -j2 || windows_status=$?
end_stage

if [ $native_status -ne 0 ] || [ $windows_status -ne 0 ]; then
    log "FAILED (native: $native_status, windows: $windows_status)"
    exit 1
fi
log "all tests passed"
