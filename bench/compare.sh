#!/usr/bin/env bash
# Times kr570convert against srec_cat and objcopy on one large Intel HEX file, and the
# typical six-line run against /bin/true. Prints medians, ratios and peak memory.
#   bench/compare.sh            (ROUNDS=5 MEBIBYTES=128 STARTS=300 by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench}
rounds=${ROUNDS:-5}
mebibytes=${MEBIBYTES:-128}
starts=${STARTS:-300}

missing=()
command -v srec_cat >/dev/null 2>&1 || missing+=(srecord)
command -v objcopy >/dev/null 2>&1 || missing+=(binutils)
[ -x /usr/bin/time ] || missing+=(time)
dpkg -s libbenchmark-dev >/dev/null 2>&1 || missing+=(libbenchmark-dev)
if ((${#missing[@]} > 0)); then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" </dev/null
fi
if [ ! -x "$build/kr570convert" ] || [ ! -x "$build/bench/generate_hex" ]; then
    (cd "$root" && cmake --workflow --preset bench >/dev/null)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/bench/generate_hex" big.hex "$mebibytes"
size=$(stat -c %s big.hex)
cat big.hex >/dev/null  # into the page cache, for every contender alike

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Median wall time in nanoseconds of a command over the rounds.
timed() {
    for _ in $(seq "$rounds"); do
        local start end
        start=$(now)
        "$@" >/dev/null 2>&1
        end=$(now)
        echo $((end - start))
    done | median
}

peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }

ours=$(timed "$build/kr570convert" -i big.hex -o out.txt)
srec=$(timed srec_cat big.hex -Intel -crop 0 72 -o out.hex -Intel)
objc=$(timed objcopy -I ihex -O binary big.hex out.bin)

ours_kib=$(peak_kib "$build/kr570convert" -i big.hex -o out.txt)
srec_kib=$(peak_kib srec_cat big.hex -Intel -crop 0 72 -o out.hex -Intel)
objc_kib=$(peak_kib objcopy -I ihex -O binary big.hex out.bin)

"$build/kr570convert" -i "$root/examples/default.txt" -o small.hex >/dev/null
small_kib=$(peak_kib "$build/kr570convert" -i small.hex -o small.txt)

rate() { awk -v b="$size" -v ns="$1" 'BEGIN { printf "%.0f", b / (ns / 1e9) / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

echo "HEX file: $((size >> 20)) MiB, median of $rounds rounds"
printf '%-14s %10s %10s %14s\n' tool "ms" "MB/s" "peak KiB"
printf '%-14s %10d %10s %14s\n' kr570convert $((ours / 1000000)) "$(rate "$ours")" "$ours_kib"
printf '%-14s %10d %10s %14s\n' srec_cat $((srec / 1000000)) "$(rate "$srec")" "$srec_kib"
printf '%-14s %10d %10s %14s\n' objcopy $((objc / 1000000)) "$(rate "$objc")" "$objc_kib"
echo "kr570convert is $(ratio "$srec" "$ours")x srec_cat and $(ratio "$objc" "$ours")x objcopy"
echo "peak memory on the six-line file: $small_kib KiB"

# Start-up: the typical run is all start-up. Alternate the two so that both see the same
# machine, and compare the totals.
true_ns=0
ours_ns=0
for _ in $(seq "$starts"); do
    start=$(now)
    /bin/true
    end=$(now)
    true_ns=$((true_ns + end - start))
    start=$(now)
    "$build/kr570convert" -i "$root/examples/default.txt" -o small.hex >/dev/null
    end=$(now)
    ours_ns=$((ours_ns + end - start))
done
echo "text -> HEX of the default text: $((ours_ns / starts / 1000)) us a run," \
    "/bin/true $((true_ns / starts / 1000)) us: $(ratio "$ours_ns" "$true_ns")x"
