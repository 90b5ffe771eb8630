#!/usr/bin/env bash
# Side-by-side figures for kr570convert on this machine, for what users run: the six-line
# conversions in both directions against a previous build, a whole 50,000-byte EEPROM image
# against the six-line run, a 128 MiB Intel HEX file against srec_cat, objcopy and cat, and
# peak memory on large and pathological inputs. Every figure is a ratio of times taken in
# alternating rounds, so that all contenders see the same machine and the same load; the CPU
# and the load are printed with them.
#
#   bash bench/compare.sh
#   ROUNDS=5 REPEATS=3 MEBIBYTES=128 STARTS=400 PREVIOUS_REV=main bash bench/compare.sh
#   PREVIOUS=/path/to/old/kr570convert bash bench/compare.sh
#
# The previous build is PREVIOUS, or else the revision PREVIOUS_REV (default main) built with
# the release preset under build/previous-REVISION; the tool itself is the bench preset's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench}
rounds=${ROUNDS:-5}
repeats=${REPEATS:-3}
mebibytes=${MEBIBYTES:-128}
starts=${STARTS:-400}

missing=()
command -v srec_cat >/dev/null 2>&1 || missing+=(srecord)
command -v objcopy >/dev/null 2>&1 || missing+=(binutils)
[ -x /usr/bin/time ] || missing+=(time)
dpkg -s libbenchmark-dev >/dev/null 2>&1 || missing+=(libbenchmark-dev)
if ((${#missing[@]} > 0)); then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" </dev/null
fi
(cd "$root" && cmake --workflow --preset bench >/dev/null)
ours=$build/kr570convert

if [ -n "${PREVIOUS:-}" ]; then
    previous=$PREVIOUS
    previous_name=$PREVIOUS
else
    revision=$(git -C "$root" rev-parse --short "${PREVIOUS_REV:-main}")
    previous_root=$root/build/previous-$revision
    previous=$previous_root/build/release/kr570convert
    previous_name="revision $revision (${PREVIOUS_REV:-main})"
    if [ ! -x "$previous" ]; then
        rm -rf "$previous_root"
        mkdir -p "$previous_root"
        git -C "$root" archive "$revision" | tar -x -C "$previous_root"
        (cd "$previous_root" && cmake --workflow --preset release >/dev/null)
    fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "CPU: $(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "previous build: $previous_name"
echo

now() { date +%s%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The median wall time in nanoseconds of `repeats` runs of a command, its output thrown away.
took() {
    local start
    for _ in $(seq "$repeats"); do
        start=$(now)
        "$@" >/dev/null 2>&1
        echo $(($(now) - start))
    done | median
}
# The wall time of a batch of runs divided by their number: a six-line run takes about a
# millisecond, about what starting `date` to read the clock takes, so single runs cannot be
# timed alone.
batch=20
per_run() {
    local start
    start=$(now)
    for _ in $(seq "$batch"); do "$@" >/dev/null 2>&1; done
    echo $((($(now) - start) / batch))
}
ratio() { awk -v a="$1" -v b="$2" '{ print $a / $b }' "$3" | median; }
ms() { awk -v c="$1" '{ print $c / 1e6 }' "$2" | median; }
# Peak memory in KiB of a run, whatever its exit status (an input may hold no configuration).
peak_kib() { { /usr/bin/time -f %M "$@" 2>&1 >/dev/null || true; } | tail -n 1; }
results=()
target_line() {
    local ok
    ok=$(awk -v v="$2" -v limit="$4" -v op="$3" \
        'BEGIN { print ((op == "<=") ? v <= limit : v >= limit) ? "met" : "MISSED" }')
    results+=("$(printf '%-62s %8.2f  (target %s %s: %s)' "$1" "$2" "$3" "$4" "$ok")")
}

# --- what users run: six lines either way, and a whole device image -------------------------
cp "$root/examples/default.txt" six.txt
"$ours" -q six.txt six.hex
"$build/bench/generate_hex" image.hex image
: >starts
for _ in $(seq $((starts / batch))); do
    echo "$(per_run "$ours" six.txt out.hex) $(per_run "$previous" six.txt out.hex)" \
        "$(per_run "$ours" six.hex out.txt) $(per_run "$previous" six.hex out.txt)" \
        "$(per_run "$ours" image.hex out.txt)" >>starts
done
printf 'six-line runs: text to HEX %.0f us, HEX to text %.0f us; whole image %.0f us a run\n' \
    "$(awk '{ print $1 / 1e3 }' starts | median)" "$(awk '{ print $3 / 1e3 }' starts | median)" \
    "$(awk '{ print $5 / 1e3 }' starts | median)"
target_line "six-line text to HEX: time / previous build's" "$(ratio 1 2 starts)" "<=" 1.1
target_line "six-line HEX to text: time / previous build's" "$(ratio 3 4 starts)" "<=" 1.1
target_line "whole 50,000-byte image (137 KB HEX): time / six-line run's" \
    "$(ratio 5 3 starts)" "<=" 1.5

# --- a file no device gives: 128 MiB of Intel HEX, against the peers -------------------------
"$build/bench/generate_hex" big.hex "$mebibytes" 16 upper lf
cat big.hex >/dev/null # into the page cache, for every contender alike
: >times
for _ in $(seq "$rounds"); do
    echo "$(took cat big.hex) $(took "$ours" big.hex out.txt)" \
        "$(took srec_cat big.hex -Intel -crop 0 72 -o out.hex -Intel)" \
        "$(took objcopy -I ihex -O binary big.hex out.bin)" >>times
done
printf '%s MiB HEX: cat %.0f ms, kr570convert %.0f ms, srec_cat %.0f ms, objcopy %.0f ms\n' \
    "$mebibytes" "$(ms 1 times)" "$(ms 2 times)" "$(ms 3 times)" "$(ms 4 times)"
target_line "$mebibytes MiB HEX: srec_cat's time / ours" "$(ratio 3 2 times)" ">=" 10
results+=("$(printf '%-62s %8.2f' "$mebibytes MiB HEX: objcopy's time / ours" "$(ratio 4 2 times)")")
results+=("$(printf '%-62s %8.2f' "$mebibytes MiB HEX: time / cat's" "$(ratio 2 1 times)")")

# --- memory: the largest and the most awkward inputs ----------------------------------------
"$build/bench/generate_text" big.txt 64
head -c $((256 << 20)) /dev/zero | tr '\0' 'x' >line.txt
peak=0
for run in "big.hex out.txt" "big.txt out.hex" "line.txt out.hex" "--from=hex line.txt out.txt" \
    "six.hex out.txt" "image.hex out.txt"; do
    # shellcheck disable=SC2086
    kib=$(peak_kib "$ours" -q $run)
    ((kib > peak)) && peak=$kib
done
target_line "peak memory on any of them, MiB" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" \
    "<=" 4

echo
printf '%s\n' "${results[@]}"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
