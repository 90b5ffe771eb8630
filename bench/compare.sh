#!/usr/bin/env bash
# Side-by-side figures for kr570convert on this machine. HEX to text of 128 MiB Intel HEX files
# (16- and 32-byte records, lower and upper case, LF and CR LF) is timed against reading the
# file with `cat FILE >/dev/null`, against srec_cat and objcopy and against a previous build;
# text to HEX of a 64 MiB configuration text and the typical six-line runs against the
# previous build. Every figure is a ratio of times taken
# in alternating rounds, so that all contenders see the same machine and the same load; the
# CPU, its flags that the tool can use and the load are printed with them.
#
# In each round every contender runs REPEATS times and counts with the median of those runs:
# a run of 40 ms is disturbed by the neighbours' bursts that a run of 2 s averages out.
#
#   bash bench/compare.sh
#   ROUNDS=5 REPEATS=5 MEBIBYTES=128 TEXT_MEBIBYTES=64 STARTS=400 PREVIOUS_REV=main \
#       bash bench/compare.sh
#   PREVIOUS=/path/to/old/kr570convert bash bench/compare.sh
#
# The previous build is PREVIOUS, or else the revision PREVIOUS_REV (default main) built with
# the release preset under build/previous-REVISION; the tool itself is the bench preset's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench}
rounds=${ROUNDS:-5}
repeats=${REPEATS:-5}
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

# --- the machine -----------------------------------------------------------------------------
model=$(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
flags=" $(grep -m1 '^flags' /proc/cpuinfo | cut -d: -f2-) "
present=()
for flag in sse2 ssse3 avx2 avx512f; do
    [[ $flags == *" $flag "* ]] && present+=("$flag")
done
decoder=scalar
[[ $flags == *" ssse3 "* ]] && decoder=ssse3
[[ $flags == *" avx2 "* ]] && decoder=avx2
echo "CPU: $model, $(nproc) cores; flags: ${present[*]}; HEX decoder used: $decoder"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "previous build: $previous_name"
echo "HEX files: $mebibytes MiB, $rounds alternating rounds of $repeats runs of each contender;" \
    "figures are medians of the rounds' ratios"
echo

now() { date +%s%N; }
# Wall time in nanoseconds of one run of a command, its output thrown away.
once() {
    local start
    start=$(now)
    "$@" >/dev/null 2>&1
    echo $(($(now) - start))
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The median wall time of `repeats` runs of a command.
took() {
    for _ in $(seq "$repeats"); do once "$@"; done | median
}
# The median over the rounds of column $1 divided by column $2 of file $3.
ratio() { awk -v a="$1" -v b="$2" '{ print $a / $b }' "$3" | median; }
ms() { awk -v c="$1" '{ print $c / 1e6 }' "$2" | median; }
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
verdict() { awk -v v="$1" -v limit="$2" -v op="$3" \
    'BEGIN { ok = (op == "<=") ? v <= limit : v >= limit; print ok ? "met" : "MISSED" }'; }

peak_worst=0
results=()
target_line() { results+=("$(printf '%-58s %8.2f  (target %s %s: %s)' "$1" "$2" "$3" "$4" \
    "$(verdict "$2" "$4" "$3")")"); }

# One HEX file shape: cat, ours and the previous build in every round; with peers, also
# srec_cat, objcopy and ours with the scalar scanner forced.
shape() {
    local bytes=$1 letters=$2 ends=$3 peers=$4 limit=$5
    local label="$bytes-byte records, $letters case, ${ends^^}"
    "$build/bench/generate_hex" big.hex "$mebibytes" "$bytes" "$letters" "$ends"
    cat big.hex >/dev/null # into the page cache, for every contender alike
    : >times
    for _ in $(seq "$rounds"); do
        local row
        row="$(took cat big.hex) $(took "$ours" -i big.hex -o out.txt)"
        row="$row $(took "$previous" -i big.hex -o out.txt)"
        if [ "$peers" = peers ]; then
            row="$row $(took srec_cat big.hex -Intel -crop 0 72 -o out.hex -Intel)"
            row="$row $(took objcopy -I ihex -O binary big.hex out.bin)"
            row="$row $(KR570_HEX_DECODER=scalar took "$ours" -i big.hex -o out.txt)"
        fi
        echo "$row" >>times
    done
    local kib
    kib=$(peak_kib "$ours" -i big.hex -o out.txt)
    ((kib > peak_worst)) && peak_worst=$kib
    printf '%s: cat %.0f ms, kr570convert %.0f ms, previous %.0f ms, peak %s KiB\n' \
        "$label" "$(ms 1 times)" "$(ms 2 times)" "$(ms 3 times)" "$kib"
    target_line "$label: time / cat" "$(ratio 2 1 times)" "<=" "$limit"
    results+=("$(printf '%-58s %8.2f' "$label: previous build's time / ours" "$(ratio 3 2 times)")")
    if [ "$peers" = peers ]; then
        printf '    srec_cat %.0f ms, objcopy %.0f ms, kr570convert with the scalar scanner %.0f ms\n' \
            "$(ms 4 times)" "$(ms 5 times)" "$(ms 6 times)"
        target_line "$label: srec_cat's time / ours" "$(ratio 4 2 times)" ">=" 40
        target_line "$label: objcopy's time / ours" "$(ratio 5 2 times)" ">=" 15
        results+=("$(printf '%-58s %8.2f' "$label: scalar scanner's time / ours" \
            "$(ratio 6 2 times)")")
    fi
    rm -f big.hex out.bin
}

shape 16 upper lf peers 2.5
shape 16 lower lf - 2.5
shape 16 upper crlf - 2.5
shape 16 lower crlf - 2.5
shape 32 upper lf - 3.5
shape 32 lower crlf - 3.5

# --- configuration text: text to HEX of a large text, against the previous build ------------
text_mebibytes=${TEXT_MEBIBYTES:-64}
"$build/bench/generate_text" big.txt "$text_mebibytes"
cat big.txt >/dev/null
: >text_times
for _ in $(seq "$rounds"); do
    echo "$(took "$ours" -i big.txt -o text.hex) $(took "$previous" -i big.txt -o text.hex)" \
        >>text_times
done
kib=$(peak_kib "$ours" -i big.txt -o text.hex)
((kib > peak_worst)) && peak_worst=$kib
printf '%s MiB configuration text to HEX: kr570convert %.0f ms, previous %.0f ms, peak %s KiB\n' \
    "$text_mebibytes" "$(ms 1 text_times)" "$(ms 2 text_times)" "$kib"
target_line "configuration text: previous build's time / ours" "$(ratio 2 1 text_times)" ">=" 2
rm -f big.txt

# --- the typical run: six lines either way, against the previous build ---------------------
"$ours" -i "$root/examples/default.txt" -o small.hex >/dev/null
small_kib=$(peak_kib "$ours" -i small.hex -o small.txt)
((small_kib > peak_worst)) && peak_worst=$small_kib
: >starts
# Each figure is the wall time of a batch of runs divided by their number: a run takes about a
# millisecond, about what starting `date` to read the clock takes, so single runs cannot be
# timed alone. Batches of the four commands alternate; the ratios are of their totals.
batch=20
per_run() {
    local start
    start=$(now)
    for _ in $(seq "$batch"); do "$@" >/dev/null 2>&1; done
    echo $((($(now) - start) / batch))
}
for _ in $(seq $((starts / batch))); do
    echo "$(per_run "$ours" -i "$root/examples/default.txt" -o small.hex)" \
        "$(per_run "$previous" -i "$root/examples/default.txt" -o small.hex)" \
        "$(per_run "$ours" -i small.hex -o small.txt)" \
        "$(per_run "$previous" -i small.hex -o small.txt)" >>starts
done
sum_ratio() { awk -v a="$1" -v b="$2" '{ x += $a; y += $b } END { print x / y }' starts; }
printf 'six-line runs: text to HEX %.0f us, HEX to text %.0f us a run (medians of the batches)\n' \
    "$(awk '{ print $1 / 1e3 }' starts | median)" "$(awk '{ print $3 / 1e3 }' starts | median)"
target_line "six-line text to HEX: time / previous build's" "$(sum_ratio 1 2)" "<=" 1.2
target_line "six-line HEX to text: time / previous build's" "$(sum_ratio 3 4)" "<=" 1.2
target_line "peak memory on any input, MiB" "$(awk -v k="$peak_worst" 'BEGIN { print k / 1024 }')" \
    "<=" 4

echo
printf '%s\n' "${results[@]}"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
