#!/usr/bin/env bash
# Writes the fuzz targets' seed inputs into corpus/<target>/. Each file is
# one input in the layout its target describes at its top.
set -euo pipefail
cd "$(dirname "$0")"

byte() { printf "\\$(printf %03o "$(($1 & 255))")"; }
dword() { byte "$1"; byte $(($1 >> 8)); byte $(($1 >> 16)); byte $(($1 >> 24)); }
word() { byte "$1"; byte $(($1 >> 8)); }
utf16() { local s=$1 i; for ((i = 0; i < ${#s}; i++)); do printf '%s' "${s:i:1}"; byte 0; done; }

d=corpus/fuzz_device_change
rm -rf "$d" && mkdir -p "$d"
# Byte 0: message (0 = WM_DEVICECHANGE, 3 = another), byte 1: event
# (0 arrival, 1 removal complete, 4 DBT_DEVNODES_CHANGED, 5 query remove).
volume() { byte 0; byte "$1"; dword "$2"; dword 2; dword 0; dword "$3"; word "$4"; word 0; }
volume 0 20 $((1 << 4 | 1 << 5)) 0 > "$d/volume-arrival-e-f"
volume 1 20 $((1 << 25)) 0 > "$d/volume-removal-z"
volume 0 20 16 1 > "$d/volume-arrival-media"
volume 1 20 16 2 > "$d/volume-removal-network"
volume 0 16 16 0 > "$d/volume-cut-before-flags"
volume 4 20 16 0 > "$d/devnodes-changed"
volume 5 20 16 0 > "$d/query-remove"
{ byte 3; byte 0; dword 20; dword 2; dword 0; dword 16; word 0; word 0; } > "$d/other-message"
{ byte 0; byte 0; dword 12; dword 5; dword 0; } > "$d/header-only"
{ byte 0; byte 0; dword 8; dword 5; } > "$d/shorter-than-header"
name='\\?\USB#VID_1234&PID_5678#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\GLOBAL'
iface() { # event, size, name bytes
    byte 0; byte "$1"; dword "$2"; dword 5; dword 0
    dword 0x65e8773d; dword 0x11d08f56; dword 0xa000b9a3; dword 0x963122c9
}
{ iface 0 $((28 + 2 * ${#name} + 2)); utf16 "$name"; word 0; } > "$d/interface-arrival-with-nul"
{ iface 1 $((28 + 2 * ${#name})); utf16 "$name"; } > "$d/interface-removal-no-nul"
{ iface 0 $((28 + 2 * 5 + 1)); utf16 "$name"; } > "$d/interface-odd-size"
{ iface 0 $((28 + 2 * 3)); utf16 "ab"; word 0; utf16 "cd"; } > "$d/interface-nul-inside"
{ iface 1 28; } > "$d/interface-empty-name"

v=corpus/fuzz_version_block
rm -rf "$v" && mkdir -p "$v"
# Bytes 0-3: length answered, byte 4: status (odd fails), then the block.
block() { # version major minor patch, year, month, day, mcu a b c
    byte "$1"; byte "$2"; byte "$3"; byte $(($4 >> 8)); byte "$4"; byte "$5"; byte "$6"
    for _ in $(seq 7 39); do byte 0; done
    byte "$7"; byte "$8"; byte "$9"
}
{ dword 43; byte 0; block 2 1 15 2021 7 5 1 0 3; } > "$v/full-block"
{ dword 39; byte 0; block 2 2 0 2024 9 2 1 0 4; } > "$v/no-mcu"
{ dword 38; byte 0; block 2 2 0 2024 9 2 1 0 4; } > "$v/too-short"
{ dword 43; byte 0; block 255 255 255 99 1 9 255 128 127; } > "$v/extremes"
{ dword -1; byte 0; block 1 2 3 2020 1 1 1 1 1; } > "$v/negative-length"
{ dword 44; byte 0; block 1 2 3 2020 1 1 1 1 1; } > "$v/one-above"
{ dword 0x7fffffff; byte 0; block 9 9 9 65535 255 255 0 0 0; } > "$v/largest-length"
{ dword 43; byte 1; block 2 1 15 2021 7 5 1 0 3; } > "$v/call-fails"
{ dword 43; byte 0; byte 3; byte 4; } > "$v/fewer-bytes-than-claimed"

m=corpus/fuzz_mount_table
rm -rf "$m" && mkdir -p "$m"
# The text of a mountinfo file.
printf '%s\n' '22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw' \
    '36 22 0:23 / /tmp rw shared:5 - tmpfs tmpfs rw' > "$m/root-and-tmpfs"
printf '%s\n' '40 22 8:17 / /media/Ostrel\040Cam rw,nosuid shared:7 master:2 - vfat /dev/sdb1 rw' > "$m/escaped-label"
printf '%s\n' '41 22 0:45 / /home rw - btrfs /dev/sda2 rw' '41 22 0:45 / /home rw - btrfs /dev/sda2 rw' > "$m/btrfs-twice"
printf '%s' '42 22 8:x / /m rw - vfat /dev/sdc1 rw' > "$m/bad-number-no-newline"
printf '%s\n' '43 22 8:1 / - vfat /dev/sdd1 rw' '44 22 8:2 / /m rw -' '\134\0' > "$m/malformed"
