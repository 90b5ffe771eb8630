#!/usr/bin/env bash
# Runs the README's loop for programming a line of controllers exactly as written, with
# avrdude played by a function that keeps the programmed file as the device's EEPROM and reads
# it back with cat. Every unit must verify, and a unit whose read-back is wrong must be caught.
#   readme_loop.sh KR570CONVERT SOURCE_DIR
set -euo pipefail
tool=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$tool" "$work/bin/kr570convert"
export PATH="$work/bin:$PATH"
cd "$work"
cp "$source_dir/examples/x-axis-halfstep.txt" base.txt

# The loop, as the README shows it.
loop=$(awk '/^### Programming a line of controllers/ { section = 1 }
            section && /^```sh/ { inside = 1; next }
            inside && /^```/ { exit }
            inside { print }' "$source_dir/README.md")
[ -n "$loop" ] || { echo "no loop under 'Programming a line of controllers' in README.md"; exit 1; }

# avrdude -p PART -c PROGRAMMER -U eeprom:w:FILE:i, or -U eeprom:r:-:i to standard output.
avrdude() {
    local operation=${6#eeprom:}
    case $operation in
        w:*) cp "$(cut -d: -f2 <<<"$operation")" device.hex ;;
        r:-:i) cat device.hex ;;
        *) echo "avrdude stand-in: unexpected $operation" >&2; return 1 ;;
    esac
}

output=$(eval "$loop" </dev/null 2>&1)
echo "$output"
[ "$(grep -c '^The 23 settings are equal' <<<"$output")" -eq 4 ] || { echo "not every unit verified"; exit 1; }
! grep -q FAILED <<<"$output" || exit 1
grep -q '^TWI_slaveAddress 0x24' <(kr570convert -q unit-0x24.hex -) || { echo "unit 0x24 has another address"; exit 1; }

# A unit whose EEPROM took another setting fails its check.
kr570convert -q --set TWI_slaveAddress=0x21 --set ontime=1 base.txt device.hex
if avrdude -p m328p -c usbasp -U eeprom:r:-:i | kr570convert -q --compare base.txt - --ignore TWI_slaveAddress; then
    echo "a wrong unit passed"
    exit 1
fi
echo "the README's loop programs and verifies four units"
