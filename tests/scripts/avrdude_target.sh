#!/usr/bin/env bash
# The README's recipe for real: avrdude programs the EEPROM of an ATmega328P and reads it back,
# in separate runs, and kr570convert verifies the read-back. The controller is
# tests/support/stk500_target.py, an STK500 version 1 programmer on a pseudo-terminal whose
# EEPROM is a file. Exit status 77 (a skip for CTest) when avrdude or objcopy is missing; the
# ci preset does not configure without them. The target runs in the system's Python, as the
# peer tests do.
#   avrdude_target.sh KR570CONVERT SOURCE_DIR
set -euo pipefail
tool=$1
source_dir=$2
python=/usr/bin/python3
[ -x "$python" ] || python=python3
for program in avrdude objcopy "$python"; do
    command -v "$program" >/dev/null || { echo "skipped: $program not found"; exit 77; }
done
target_script=$source_dir/tests/support/stk500_target.py

work=$(mktemp -d)
target_pid=
cleanup() {
    [ -z "$target_pid" ] || kill "$target_pid" 2>/dev/null || true
    [ -z "$target_pid" ] || wait "$target_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM
cd "$work"

fail() {
    echo "FAILED: $*"
    for log in avrdude.log target.log; do
        [ ! -s "$log" ] || { echo "--- $log"; tail -n 30 "$log"; }
    done
    exit 1
}

# start_target [--programmer TYPE]: a target on eeprom.bin; its terminal's name in $port. It
# ends by itself after 20 s without a byte, should the trap never run.
start_target() {
    rm -f port
    "$python" "$target_script" --port-file port --idle 20 "$@" eeprom.bin >>target.log 2>&1 &
    target_pid=$!
    for _ in $(seq 100); do
        [ -s port ] && break
        kill -0 "$target_pid" 2>/dev/null || fail "the target ended before it opened its terminal"
        sleep 0.1
    done
    [ -s port ] || fail "the target opened no terminal in 10 s"
    port=$(cat port)
}

stop_target() {
    kill "$target_pid" || fail "the target had ended"
    wait "$target_pid" || true
    target_pid=
}

# avrdude_run TYPE OPERATION...: one avrdude run, its messages in avrdude.log.
avrdude_run() {
    local type=$1
    shift
    echo "avrdude -c $type $*" >>avrdude.log
    avrdude -p m328p -c "$type" -P "$port" "$@" 2>>avrdude.log || fail "avrdude -c $type $*"
}

# The bytes expected: the 72 bytes of examples/default.hex, then erased EEPROM (0xff).
objcopy -I ihex -O binary "$source_dir/examples/default.hex" default.bin
[ "$(stat -c %s default.bin)" -eq 72 ] || fail "examples/default.hex does not hold 72 bytes"
head -c 952 /dev/zero | tr '\0' '\377' >erased.bin
cat default.bin erased.bin >expected-default.bin

# A new target: its EEPROM file is created erased. avrdude writes the HEX file (and verifies
# it), then a second run reads the EEPROM back as Intel HEX and as raw binary.
start_target
[ "$(stat -c %s eeprom.bin)" -eq 1024 ] || fail "the target's EEPROM file is not 1,024 bytes"
avrdude_run stk500v1 -U "eeprom:w:$source_dir/examples/default.hex:i"
grep -q 'device signature = 0x1e950f' avrdude.log ||
    fail "avrdude did not read the signature 1e 95 0f"
avrdude_run stk500v1 -U eeprom:r:readback.hex:i -U eeprom:r:readback.bin:r
objcopy -I ihex -O binary readback.hex readback-hex.bin
cmp readback-hex.bin expected-default.bin ||
    fail "the Intel HEX read-back is not default.hex and 0xff"
cmp readback.bin expected-default.bin || fail "the raw read-back is not default.hex and 0xff"
"$tool" -q --compare "$source_dir/examples/default.txt" readback.hex ||
    fail "kr570convert --compare: the read-back is not examples/default.txt"

# Other data in a later run: a unit's file from the README's loop (S-records) over the first 72
# bytes, and 16 bytes at the end of the EEPROM (Intel HEX), whose address has a high byte.
cp "$source_dir/examples/x-axis-halfstep.txt" base.txt
"$tool" -q --set TWI_slaveAddress=0x22 --to=srec base.txt unit.srec
objcopy -I srec -O binary unit.srec unit.bin
[ "$(stat -c %s unit.bin)" -eq 72 ] || fail "the unit's S-record file does not hold 72 bytes"
if cmp -s unit.bin default.bin; then
    fail "the unit's block is the default block: the second write would show nothing"
fi
printf 'the EEPROM ends.' >end.bin
objcopy -I binary -O ihex --change-addresses 0x3f0 end.bin end.hex
{ cat unit.bin; head -c 936 erased.bin; cat end.bin; } >expected-unit.bin
avrdude_run stk500v1 -U eeprom:w:unit.srec:s -U eeprom:w:end.hex:i

# A later read, by a new target on the same EEPROM file and through avrdude's arduino type (word
# addresses), to standard output: every byte, and the README's check of a unit.
stop_target
cmp eeprom.bin expected-unit.bin || fail "the EEPROM file does not hold what was written"
start_target --programmer arduino
avrdude_run arduino -U eeprom:r:-:i >readback2.hex
grep -q 'device signature = 0x1e950f' <(sed -n '/-c arduino/,$p' avrdude.log) ||
    fail "avrdude -c arduino did not read the signature 1e 95 0f"
objcopy -I ihex -O binary readback2.hex readback2.bin
cmp readback2.bin expected-unit.bin || fail "the read-back is not the second write"
"$tool" --compare base.txt - --ignore TWI_slaveAddress <readback2.hex ||
    fail "kr570convert --compare: the unit does not verify against base.txt"
status=0
"$tool" -q --compare "$source_dir/examples/default.txt" readback2.hex >/dev/null || status=$?
[ "$status" -eq 1 ] || fail "kr570convert --compare of the unit and default.txt: $status, not 1"
stop_target
echo "avrdude programmed the emulated ATmega328P, and its read-backs verify"
