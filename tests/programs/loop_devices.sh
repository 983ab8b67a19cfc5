#!/usr/bin/env bash
# Loop devices of the test's own: a drive of 4,096-byte sectors is refused
# by every command that selects it (515, a line on standard error, nothing
# written) and left out of a listing of every disk; and an image file that a
# loop device reads from, with that device's partition mounted, is guarded
# as the device is: a write into the mounted partition's sectors is refused.
#
# Linux only; skipped where this machine does not let the test make a loop
# device. No other block device is ever touched.
#
# usage: loop_devices.sh <native|win64|win32> <native program> [<Windows program>]
# Before lib.bash, which would make a wine prefix first.
if [ "${1:-}" != native ]; then
    echo "SKIP ${1:-}: loop devices are the Linux program's alone"
    exit 77
fi
source "$(dirname "$0")/lib.bash"
cd "$work"

command -v sfdisk >/dev/null && command -v losetup >/dev/null || skip "sfdisk or losetup is not installed"
[ "$(id -u)" -eq 0 ] || skip "making a loop device needs root"
need_sbin_tools mkfs.ext2

loops=()
trap 'umount "$work/mnt" 2>/dev/null; for l in "${loops[@]}"; do losetup -d "$l"; done; cleanup' EXIT
# attach <losetup options...>: a new loop device, its path in $device.
attach() {
    device=$(losetup --show -f "$@" 2>/dev/null) || skip "no loop device can be made here"
    loops+=("$device")
}

# A 4Kn drive beside an image: an MBR written as if its sectors were of 512 bytes.
truncate -s 16M big.img small.img
printf 'label: dos\nstart=2048, size=4096, type=7\n' | sfdisk -q big.img >/dev/null
printf 'label: dos\nstart=2048, size=4096, type=7\n' | sfdisk -q small.img >/dev/null
cp big.img big.orig
attach -b 4096 big.img
big=$device
[ "$(blockdev --getss "$big")" = 4096 ] || skip "$big does not take 4,096-byte sectors"
images "$big" small.img
said="^partam: disk 0 \\(${big#/dev/}\\) has 4096-byte sectors; only disks of 512-byte sectors are used$"
no_disk="$banner"$'\n Error 515: No Disk Identified or Insufficient User Privileges\n\n'
for command in "/list /disk=0" "/del /part=1 /confirm" "/wipe=mbr /confirm" "/create /size=64" "/save=mbr /filename=x.bin"; do
    expect_stderr "$said"
    check "$command on a 4Kn drive" 515 "$no_disk" $command
done
expect_stderr "$said"
check "/list of every disk beside a 4Kn drive" 0 - /list
grep -q "Disk: 1 " out && ! grep -q "Disk: 0 " out || fail "/list beside a 4Kn drive: not disk 1 alone"
cmp -s big.img big.orig || fail "a command wrote to the 4Kn drive"
[ ! -e x.bin ] || fail "/save= of a 4Kn drive made a file"

# The image behind a loop device whose partition (2048-6143) is mounted.
truncate -s 64M l.img
printf 'label: dos\nstart=2048, size=4096, type=83\n' | sfdisk -q l.img >/dev/null
attach -P l.img
l=$device
for ((i = 0; i < 25; i++)); do [ -e "${l}p1" ] && break; sleep 0.2; done
[ -e "${l}p1" ] || partx -a "$l" 2>/dev/null
mkdir mnt
mkfs.ext2 -q -F "${l}p1" && mount "${l}p1" mnt || skip "cannot make or mount a filesystem on ${l}p1"
sync
partition_sectors() { bytes l.img $((2048 * 512)) $((8 * 512)); }
before=$(partition_sectors)
images l.img
check "a wipe of the mounted partition's sectors through its image" 505 \
    "$banner"$'\n Error 505: Unable to save the specified sectors to the selected disk\n\n' \
    /wipe=range /range=2048-2055 /confirm
[ "$(partition_sectors)" = "$before" ] || fail "the wipe changed the mounted partition's sectors"
check "a wipe before the mounted partition through its image" 0 \
    "$banner"$'\n Specified sectors successfully cleared \n' /wipe=range /range=100-107 /confirm
finish
