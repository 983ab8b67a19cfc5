#!/usr/bin/env bash
# Builds a small set of demo disk images and lists them: an MBR disk with
# primary partitions, an extended partition and logical partitions, and an
# empty disk. The images stand in for the machine's drives through
# PARTAM_DISKS, so no run of the demo can reach a real drive.
#
# usage: scripts/demo.sh [program]
set -euo pipefail
program=${1:-build/native/partam}
demo=build/demo
mkdir -p "$demo"

rm -f "$demo/system.img" "$demo/empty.img"
truncate -s 256M "$demo/system.img"
sfdisk -q "$demo/system.img" >/dev/null <<'LAYOUT'
label: dos
label-id: 0x1a2b3c4d
start=2048, size=204800, type=7, bootable
start=206848, size=102400, type=c
start=309248, size=200704, type=f
start=311296, size=81920, type=83
start=395264, size=114688, type=82
LAYOUT
# Boot code begins 33 C0, as a Windows MBR does.
printf '\x33\xc0' | dd of="$demo/system.img" bs=1 conv=notrunc status=none
truncate -s 64M "$demo/empty.img"

echo "PARTAM_DISKS=$demo/system.img:$demo/empty.img $program /list /extended /freespace"
PARTAM_DISKS="$demo/system.img:$demo/empty.img" "$program" /list /extended /freespace </dev/null
