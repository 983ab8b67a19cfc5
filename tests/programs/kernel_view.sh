#!/usr/bin/env bash
# After a command changed a table, Linux shows the disk's new partitions:
# on a loop device of the test's own, made with `losetup -P` over an image,
# the partitions in /sys follow each command, also while one of them is
# open and the kernel can only be told partition by partition. A change the
# kernel refuses is one warning on standard error and leaves the result.
#
# Linux only; skipped where this machine does not let the test make a loop
# device. No other block device is ever touched.
#
# usage: kernel_view.sh <native|win64|win32> <native program> [<Windows program>]
# Before lib.bash, which would make a wine prefix first.
if [ "${1:-}" != native ]; then
    echo "SKIP ${1:-}: the kernel's view concerns the Linux program alone"
    exit 77
fi
source "$(dirname "$0")/lib.bash"

command -v sfdisk >/dev/null && command -v losetup >/dev/null || skip "sfdisk or losetup is not installed"
[ "$(id -u)" -eq 0 ] || skip "making a loop device needs root"

truncate -s 64M "$work/loop.img"
printf 'label: dos\nstart=2048, size=8192, type=7\nstart=10240, size=8192, type=83
start=18432, size=40960, type=f\nstart=20480, size=4096, type=c\n' | sfdisk -q "$work/loop.img" >/dev/null
loop=$(losetup -P --show -f "$work/loop.img" 2>/dev/null) || skip "no loop device can be made here"
trap 'exec 3<&-; losetup -d "$loop"; cleanup' EXIT
name=${loop#/dev/}

# The partitions the kernel keeps: "<number> <start> <sectors>" each.
kernel_view() {
    local d
    for d in /sys/block/"$name"/"$name"p*; do
        [ -e "$d/partition" ] && echo "$(cat "$d/partition") $(cat "$d/start") $(cat "$d/size")"
    done | sort -n
}
expect_view() {
    local got
    got=$(kernel_view)
    if [ "$got" != "$2" ]; then
        echo "FAIL $target $1: the kernel shows other partitions"
        diff <(echo "$2") <(echo "$got")
        failures=$((failures + 1))
    fi
}
said() { printf -v "$1" '%s\n %s \n' "$banner" "$2"; }
said typed 'Partition type successfully changed'
said deleted 'Partition successfully deleted'
said cleared 'MBR successfully cleared'
said copied 'Sector was successfully copied'

images "$loop"
check "/type=" 0 "$typed" /type=83 /part=1 /confirm
expect_view "/type=" $'1 2048 8192\n2 10240 8192\n3 18432 2\n5 20480 4096'
check "/del" 0 "$deleted" /del /part=2 /confirm
expect_view "/del /part=2" $'1 2048 8192\n3 18432 2\n5 20480 4096'
check "/copy of sector 0 aside" 0 "$copied" /copy /source=0 /target=40 /confirm

# With partition 1 open the kernel reads no table; it is told what changed.
exec 3<"/dev/${name}p1" || skip "/dev/${name}p1 did not appear"
check "/del while partition 1 is open" 0 "$deleted" /del /part=2 /confirm
expect_view "/del /part=2 while busy" $'1 2048 8192'
expect_stderr "^partam: warning: the system still shows the former partitions of $loop \\(partition 1\\): "
check "/wipe=mbr while partition 1 is open" 0 "$cleared" /wipe=mbr /confirm
expect_view "/wipe=mbr while busy" $'1 2048 8192'
exec 3<&-
check "/copy of sector 0 back" 0 "$copied" /copy /source=40 /target=0 /confirm
expect_view "/copy /target=0" $'1 2048 8192\n3 18432 2\n5 20480 4096'
finish
