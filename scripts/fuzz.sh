#!/bin/bash
# Builds the libFuzzer targets of fuzz/ with clang (ASan, UBSan) and runs each
# on its seed corpus: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# (default 600 s each, every target). New inputs collect in build/fuzz/corpus/,
# inputs that fail in build/fuzz/crashes/ (replay one: build/fuzz/fuzz/fuzz_NAME FILE).
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

status=0
for target in "${targets[@]}"; do
    work="build/fuzz/corpus/$target"
    crashes="build/fuzz/crashes/$target"
    mkdir -p "$work" "$crashes"
    printf '==> fuzzing %s for %s s\n' "$target" "$seconds"
    # The first corpus directory receives new inputs; the committed seeds stay untouched.
    if ! "build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" \
        "$work" "fuzz/corpus/$target" >"build/fuzz/$target.log" 2>&1; then
        status=1
        tail -n 40 "build/fuzz/$target.log"
        echo "fuzz_$target FAILED; inputs in $crashes/" >&2
    else
        grep -E '^stat::number_of_executed_units|^Done' "build/fuzz/$target.log" || true
    fi
done
exit $status
