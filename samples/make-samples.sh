#!/usr/bin/env bash
# Writes the two sample firmware images of the simulated camera into this
# folder. An image is "TARNFW1" and a NUL, the 43-byte version block the
# camera reports after flashing it, then a payload.
set -euo pipefail
cd "$(dirname "$0")"

byte() { printf "\\$(printf %03o "$1")"; }

# image FILE MAJOR MINOR PATCH YEAR MONTH DAY MCU_MAJOR MCU_MINOR MCU_PATCH
image() {
    local file=$1
    {
        printf 'TARNFW1'; byte 0
        byte "$2"; byte "$3"; byte "$4"
        byte $(($5 / 256)); byte $(($5 % 256)); byte "$6"; byte "$7"
        for _ in $(seq 7 39); do byte 0; done
        byte "$8"; byte "$9"; byte "${10}"
        for i in $(seq 1 128); do
            printf 'Ostrel Camera simulated firmware %s block %03d\n' "$file" "$i"
        done
    } > "$file"
}

# The demo camera runs 2.1.15 of 2021-07-05.
image ostrel-2.2.0.bin 2 2 0 2024 9 2 1 0 4
image ostrel-2.1.15.bin 2 1 15 2021 7 5 1 0 3
