#!/usr/bin/env bash
# Installs what is missing, builds the fuzz targets (tests/fuzz: clang's libFuzzer with the
# address and undefined-behaviour sanitizers) and runs each for the given seconds (default 60)
# on a copy of its seed corpus in tests/fuzz/corpus, which stays as it is. Fails on any crash,
# sanitizer report or broken property; the input that shows it is kept in
# build/fuzz/run/<target>/findings. Prints each target's executions and coverage.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
targets=(ConversionsFuzz SettingsFileFuzz)

scripts/install-deps.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]}"

failed=()
for target in "${targets[@]}"; do
    run=build/fuzz/run/$target
    rm -rf "$run"
    mkdir -p "$run/corpus" "$run/findings"
    cp tests/fuzz/corpus/"$target"/* "$run/corpus/"
    echo "== $target for ${seconds} s"
    # -close_fd_mask=2: the program's own warnings about unusable settings would flood the
    # log; libFuzzer and the sanitizers still report on a copy of stderr.
    status=0
    "build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
        -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="$run/findings/" "$run/corpus" \
        >"$run/log" 2>&1 || status=$?
    if ((status != 0)); then
        tail -n 60 "$run/log"
        failed+=("$target")
        continue
    fi
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$run/log" | tail -n1)
    stat() { grep -E "^stat::$1:" "$run/log" | awk '{print $2}'; }
    echo "$target: $(stat number_of_executed_units) executions ($(stat average_exec_per_sec)/s)," \
        "$(grep -oE 'cov: [0-9]+' <<<"$done_line"), $(grep -oE 'ft: [0-9]+' <<<"$done_line")," \
        "corpus $(grep -oE 'corp: [0-9]+' <<<"$done_line" | awk '{print $2}') inputs"
    sed -n "s/^largest allocation/$target: largest allocation/p" "$run/log"
done

if ((${#failed[@]} > 0)); then
    echo "Fuzzing found faults in: ${failed[*]} (inputs in build/fuzz/run/<target>/findings)" >&2
    exit 1
fi
