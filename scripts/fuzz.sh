#!/bin/bash
# Builds the libFuzzer targets of fuzz/ with clang (ASan, UBSan) and runs each
# on its seed corpus: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# (default 600 s each, every target; FUZZ_JOBS targets at a time, default 1).
# New inputs collect in build/fuzz/corpus/, inputs that fail in
# build/fuzz/crashes/ (replay one: build/fuzz/fuzz/fuzz_NAME FILE).
set -euo pipefail
REPO_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$REPO_ROOT"

seconds=${1:-600}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=($(sed -n 's/^add_fuzz_target(\(.*\))$/\1/p' fuzz/CMakeLists.txt))
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null

jobs=${FUZZ_JOBS:-1}

# Replays the corpus, then fuzzes until the time is up.
fuzz() {
    local target=$1
    local work="build/fuzz/corpus/$target"
    local crashes="build/fuzz/crashes/$target"
    mkdir -p "$work" "$crashes"
    # The first corpus directory receives new inputs; the committed seeds stay untouched.
    "build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" \
        "$work" "fuzz/corpus/$target" >"build/fuzz/$target.log" 2>&1
}

report() {
    local target=$1 result=$2
    if [ "$result" -ne 0 ]; then
        tail -n 40 "build/fuzz/$target.log"
        echo "fuzz_$target FAILED; inputs in build/fuzz/crashes/$target/" >&2
        return 1
    fi
    printf '==> fuzz_%s: ' "$target"
    grep -E '^stat::number_of_executed_units' "build/fuzz/$target.log" || echo
}

status=0
for ((first = 0; first < ${#targets[@]}; first += jobs)); do
    batch=("${targets[@]:first:jobs}")
    printf '==> fuzzing %s for %s s\n' "${batch[*]}" "$seconds"
    pids=()
    for target in "${batch[@]}"; do
        fuzz "$target" &
        pids+=($!)
    done
    for i in "${!batch[@]}"; do
        result=0
        wait "${pids[$i]}" || result=$?
        report "${batch[$i]}" "$result" || status=1
    done
done
exit $status
