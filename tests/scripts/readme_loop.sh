#!/usr/bin/env bash
# Runs the README's loop for programming a line of controllers exactly as written, with the real
# avrdude programming and reading back an emulated ATmega328P (tests/support/stk500_target.py):
# every unit of a five-unit table verifies, and a unit programmed with another unit's file on
# purpose stops the loop at that unit, which it names with the setting that differs. avrdude is
# given the target's terminal in place of the README's USB programmer. Exit status 77 (a skip for
# CTest) when avrdude is missing; the ci preset does not configure without it.
#   readme_loop.sh KR570CONVERT SOURCE_DIR
set -euo pipefail
tool=$1
source_dir=$2
python=/usr/bin/python3
[ -x "$python" ] || python=python3
command -v avrdude >/dev/null || { echo "skipped: avrdude not found"; exit 77; }

work=$(mktemp -d)
target_pid=
cleanup() {
    [ -z "$target_pid" ] || kill "$target_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
mkdir bin
ln -s "$tool" bin/kr570convert
export PATH="$work/bin:$PATH"

"$python" "$source_dir/tests/support/stk500_target.py" --port-file port --idle 60 eeprom.bin \
    >target.log 2>&1 &
target_pid=$!
for _ in $(seq 100); do
    [ -s port ] && break
    sleep 0.1
done
[ -s port ] || { echo "the emulated controller opened no terminal"; cat target.log; exit 1; }

# The README's avrdude with its USB programmer; here the emulated controller's terminal. Every
# file it is asked to write is noted, in order; with `mixed_up` set, the file of one unit is
# programmed where another's is asked for, as a hand that took the wrong file would.
mixed_up=
avrdude() {
    local arguments=()
    while (($#)); do
        case $1 in
            -c) arguments+=(-c stk500v1 -P "$(cat "$work/port")"); shift ;;
            -U) local operation=$2
                if [[ $operation == eeprom:w:* ]]; then
                    echo "${operation#eeprom:w:}" >>"$work/programmed"
                    [ -z "$mixed_up" ] || operation=${operation/${mixed_up%=*}/${mixed_up#*=}}
                fi
                arguments+=("$1" "$operation"); shift ;;
            *) arguments+=("$1") ;;
        esac
        shift
    done
    command avrdude -q -q "${arguments[@]}" 2>>"$work/avrdude.log"
}

cp "$source_dir/examples/x-axis-halfstep.txt" base.txt
printf '%s\n' 'unit,TWI_slaveAddress,ontime' 'x-axis,0x21,96' 'y-axis,0x22,' '# spare unit' \
    'z-axis,0x23,100' 'a-axis,0x24,' 'b-axis,0x25,120' >line.csv

loop=$(awk '/^### Programming a line of controllers/ { section = 1 }
            section && /^```sh/ { inside = 1; next }
            inside && /^```/ { exit }
            inside { print }' "$source_dir/README.md")
[ -n "$loop" ] || { echo "no loop under 'Programming a line of controllers' in README.md"; exit 1; }

# Every unit verifies.
output=$(printf '\n%.0s' {1..20} | eval "$loop" 2>&1)
echo "$output"
[ "$(grep -c '^The 24 settings are equal' <<<"$output")" -eq 5 ] || { echo "not every unit verified"; exit 1; }
! grep -q FAILED <<<"$output" || exit 1
kr570convert -q units/z-axis.hex - | grep -q '^TWI_slaveAddress 0x23$' || { echo "z-axis has another address"; exit 1; }

# The third unit is programmed with the second one's file: the loop stops there and says why.
: >programmed
mixed_up=units/z-axis.hex=units/y-axis.hex
output=$(printf '\n%.0s' {1..20} | eval "$loop" 2>&1)
echo "$output"
grep -q '^unit z-axis FAILED$' <<<"$output" || { echo "the wrong unit was not caught"; exit 1; }
grep -q '^TWI_slaveAddress: 0x23 (A) != 0x22 (B)$' <<<"$output" || { echo "no differing address"; exit 1; }
grep -q 'differ between A (base.txt with unit z-axis of line.csv) and B (-): TWI_slaveAddress, ontime$' \
    <<<"$output" || { echo "no verdict naming the settings"; exit 1; }
[ "$(cat programmed)" = "$(printf 'units/%s.hex:i\n' x-axis y-axis z-axis)" ] ||
    { echo "the loop went on past the wrong unit:"; cat programmed; exit 1; }
echo "the README's loop programs and verifies five units, and stops at a wrong one"
