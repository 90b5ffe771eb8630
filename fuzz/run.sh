#!/usr/bin/env bash
# A fuzzing run of every harness the fuzz preset builds, each for SECONDS (default 600).
#
#   bash fuzz/run.sh [--no-merge] [SECONDS]
#
# Builds the fuzz preset, then runs each executable in build/fuzz/fuzz/ in turn, from its
# work folder build/fuzz/corpus-HARNESS (where new inputs go), every seed folder under
# fuzz/corpus/ and the shipped examples/. Afterwards the new inputs that add coverage are
# merged (libFuzzer -merge=1) into fuzz/corpus/HARNESS/, which later runs of every harness take
# as seeds; --no-merge leaves the source tree alone. Prints the executions and the merged
# inputs per harness. A crash, a leak, a timeout or a sanitizer report goes to
# build/fuzz/artifacts/, its log is shown, and the script ends with status 1 once every harness
# has run.
set -euo pipefail
cd "$(dirname "$0")/.."

merge=1
if [[ ${1:-} == --no-merge ]]; then
    merge=0
    shift
fi
seconds=${1:-600}
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds == 0)); then
    echo "usage: bash fuzz/run.sh [--no-merge] [SECONDS]" >&2
    exit 2
fi

cmake --workflow --preset fuzz </dev/null

harnesses=()
for file in build/fuzz/fuzz/*; do
    if [[ -f $file && -x $file ]]; then
        harnesses+=("$file")
    fi
done
if ((${#harnesses[@]} == 0)); then
    echo "no harness in build/fuzz/fuzz/" >&2
    exit 1
fi

seeds=()
for folder in fuzz/corpus/*/; do
    seeds+=("${folder%/}")
done
seeds+=(examples)

mkdir -p build/fuzz/artifacts
failed=()
summary=()
for harness in "${harnesses[@]}"; do
    name=$(basename "$harness")
    work=build/fuzz/corpus-$name
    log=build/fuzz/$name.log
    mkdir -p "$work"
    echo "fuzzing $name for ${seconds}s"
    if ! "$harness" "$work" "${seeds[@]}" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/artifacts/$name-" </dev/null >"$log" 2>&1; then
        tail -n 60 "$log"
        failed+=("$name")
    fi
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    merged=0
    if ((merge)); then
        target=fuzz/corpus/$name
        mkdir -p "$target"
        before=$(find "$target" -type f | wc -l)
        "$harness" -merge=1 "$target" "$work" </dev/null >"build/fuzz/$name-merge.log" 2>&1 ||
            { tail -n 20 "build/fuzz/$name-merge.log"; failed+=("$name (merge)"); }
        merged=$(($(find "$target" -type f | wc -l) - before))
        # A harness that found nothing new leaves no empty folder behind.
        rmdir "$target" 2>/dev/null || true
    fi
    summary+=("$(printf '%-24s %14s executions %6s inputs merged' "$name" "${executions:-?}" \
        "$merged")")
done

printf '%s\n' "${summary[@]}"
if ((${#failed[@]} > 0)); then
    echo "failed: ${failed[*]} (inputs in build/fuzz/artifacts/, logs in build/fuzz/)" >&2
    exit 1
fi
