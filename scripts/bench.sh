#!/bin/bash
# Benchmarks (figures, not tests; not run by CI). As root, like scripts/test.sh:
#   scripts/bench.sh
# Tree copy: CopyTree of a generated tree (1,000 files in 40 directories,
# 0 to 64 KiB) against xcopy /E /I /Y in the same Wine prefix and native cp -r.
# Java Plug-in step: InstallJavaPluginComponents with 1, 4 and 16 registered
# JREs, with the recording test launcher as java.exe, without and with the way
# back's record ("Java step per home with the record": what each of 16 homes
# adds to one, the run's fixed part left out); then the walk that
# decides whether a home is ours (IsTreeTrusted) over one home of 1,000 files
# in 100 folders, against the step's time per home.
# Start-up: from process start to the main dialog being visible (the
# confirmation prompt answered at once), against a minimal program that shows
# one message box. /check: RunCheck with twenty registered JREs, against a bare
# loop of the security reads and file reads that it must make
# ("check / bare reads"). Every figure is the median of 5 runs.
set -euo pipefail
source "$(dirname "$0")/lib/setup.sh"
source "$REPO_ROOT/scripts/lib/wine-session.sh"
cd "$REPO_ROOT"
RUNS=5

ensure_environment
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2 >/dev/null

BENCH=$REPO_ROOT/build/bench
rm -rf "$BENCH"
mkdir -p "$BENCH/source" "$BENCH/out"

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) printf "%.1f", v[(NR + 1) / 2]; else printf "%.1f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# 8 directories with 4 subdirectories each: 40 directories, 25 files in each;
# a third of the files below 1 KiB, a third up to 16 KiB, a third up to 64 KiB.
make_tree() {
    local root=$1 index=0 directory
    RANDOM=2026
    for top in 1 2 3 4 5 6 7 8; do
        for sub in "" /s1 /s2 /s3 /s4; do
            directory="$root/d$top$sub"
            mkdir -p "$directory"
            for file in $(seq 1 25); do
                local size
                case $((index % 3)) in
                    0) size=$((RANDOM % 1024)) ;;
                    1) size=$((1024 + RANDOM % 15361)) ;;
                    *) size=$((16384 + (RANDOM * 2 + RANDOM % 2) % 49153)) ;;
                esac
                head -c "$size" /dev/urandom >"$directory/f$file.bin"
                index=$((index + 1))
            done
        done
    done
}

make_tree "$BENCH/source/tree"
mkdir -p "$BENCH/source/empty"
chown -R "$WINE_USER:" "$BENCH"

trap wine_session_stop EXIT
wine_session_start "$BENCH/wineprefix" >/dev/null

log "tree copy: $(find "$BENCH/source/tree" -type f | wc -l) files," \
    "$(find "$BENCH/source/tree" -mindepth 1 -type d | wc -l) directories," \
    "$(du -sk --apparent-size "$BENCH/source/tree" | cut -f1) KiB"
copy_output=$(as_wine_user "$WINE_LOADER" build/mingw/bench/copy_tree_bench.exe \
    "$(windows_path "$BENCH/source")" "$(windows_path "$BENCH/out")" $RUNS </dev/null)
echo "$copy_output"
copy_tree_ms=$(echo "$copy_output" | awk '/^CopyTree/ { print $NF }')
xcopy_ms=$(echo "$copy_output" | awk '/^xcopy / { print $NF }')
xcopy_start_ms=$(echo "$copy_output" | awk '/^xcopy-0/ { print $NF }')
cp_runs=""
for run in $(seq 1 $RUNS); do
    start=$(date +%s%N)
    cp -r "$BENCH/source/tree" "$BENCH/out/cp_$run"
    end=$(date +%s%N)
    cp_runs="$cp_runs $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", (b - a) / 1e6 }')"
done
cp_ms=$(echo "$cp_runs" | median)
printf '%-9s runs:%s  median_ms: %s\n' "cp -r" "$cp_runs" "$cp_ms"
printf 'tree copy medians: CopyTree %s ms, xcopy %s ms, cp -r %s ms;' "$copy_tree_ms" "$xcopy_ms" "$cp_ms"
printf ' CopyTree/xcopy %s, CopyTree/cp %s, xcopy/cp %s (xcopy of an empty tree: %s ms)\n' \
    "$(ratio "$copy_tree_ms" "$xcopy_ms")" "$(ratio "$copy_tree_ms" "$cp_ms")" \
    "$(ratio "$xcopy_ms" "$cp_ms")" "$xcopy_start_ms"
rm -rf "$BENCH/out"

log "Java Plug-in step (test launcher as java.exe), and the walk of one home"
as_wine_user "$WINE_LOADER" build/mingw/bench/java_plugin_bench.exe \
    "$(windows_path "$REPO_ROOT/build/mingw/package")" \
    "$(windows_path "$REPO_ROOT/build/mingw/tests/doubles/recording_program.exe")" \
    'C:\bench_java' $RUNS </dev/null

log "/check with twenty Java homes, against the bare reads it must make"
as_wine_user "$WINE_LOADER" build/mingw/bench/check_bench.exe \
    "$(windows_path "$REPO_ROOT/build/mingw/package")" 'C:\bench_check' $RUNS </dev/null

log "start-up (process start to window visible)"
installer=$REPO_ROOT/build/mingw/package/instalator.exe
as_wine_user "$WINE_LOADER" build/mingw/bench/startup_bench.exe "$(windows_path "$installer")" \
    "$(windows_path "$REPO_ROOT/build/mingw/bench/minimal_message_box.exe")" $RUNS </dev/null
