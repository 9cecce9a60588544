#!/usr/bin/env bash
# Fuzzes each target of the host-fuzz preset for a longer while, one after another:
#   scripts/fuzz.sh [seconds per target, default 600] [target ...]
# Targets: entry_parser settings_readers provisioning_run (default: all). Each run starts
# from a copy of the committed seeds in build/host-fuzz/fuzz-long/<target>, kept between
# runs so that a later run goes on from what an earlier one found; findings go to
# build/host-fuzz/fuzz-long/<target>/findings and the whole output to .../log. Prints
# libFuzzer's final stats per target; stops at the first finding and shows its report.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(entry_parser settings_readers provisioning_run)

scripts/setup.sh
cmake --preset host-fuzz >/dev/null
cmake --build --preset host-fuzz

for target in "${targets[@]}"; do
    work=build/host-fuzz/fuzz-long/$target
    mkdir -p "$work/corpus" "$work/findings"
    cp -n tests/fuzz/corpus/"$target"/* "$work/corpus/"
    echo "== $target for ${seconds}s"
    if ! build/host-fuzz/tests/fuzz/"${target}"_fuzz -max_total_time="$seconds" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$work/findings/" "$work/corpus" \
        >"$work/log" 2>&1; then
        tail -n 60 "$work/log"
        echo "$target: finding in $work/findings" >&2
        exit 1
    fi
    grep -E '^(Done|stat::)' "$work/log"
    echo "corpus: $(ls "$work/corpus" | wc -l) inputs"
done
