#!/usr/bin/env bash
# Volume serial numbers, the disk signature and the status byte through the
# built program of one target (see lib.bash): the serial numbers mkfs.fat
# and mkntfs wrote, and exactly the bytes each change is meant to make.
#
# usage: volumes.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"
cd "$work"
need_sbin_tools mkfs.fat mkntfs ntfslabel

# vol.img: FAT16 with serial 1234ABCD, FAT32 with CAFEF00D, NTFS whose
# 64-bit serial ntfslabel set to 89ABCDEF01234567, and a Linux partition.
truncate -s 96M vol.img
mkfs.fat -F 16 -i 1234ABCD --offset 2048 vol.img 16384 >/dev/null 2>&1 || fail "mkfs.fat -F 16"
mkfs.fat -F 32 -s 1 -i CAFEF00D --offset 34816 vol.img 40960 >/dev/null 2>&1 || fail "mkfs.fat -F 32"
truncate -s 16M ntfs.part
mkntfs -F -Q -q -s 512 -p 116736 -L Archive ntfs.part >/dev/null 2>&1 || fail mkntfs
ntfslabel --new-serial=0x89ABCDEF01234567 ntfs.part >/dev/null 2>&1 || fail "ntfslabel --new-serial"
dd if=ntfs.part of=vol.img bs=512 seek=116736 conv=notrunc status=none
put vol.img 0 '\x33\xc0'
table vol.img 0 "$(entry 0 6 2048 32768)" "$(entry 0 0x0b 34816 81920)" "$(entry 0 7 116736 32768)" \
    "$(entry 0 0x83 149504 8192)"
# The safety copy that the changes of sector 0 make first is in sector 30
# already; once the signature differs from it, it is no copy of this disk's
# MBR and stays.
dd if=vol.img of=vol.img bs=512 count=1 seek=30 conv=notrunc status=none
images vol.img

# The low 32 bits of NTFS's serial are the ones shown.
check "FAT16 volume ID" 0 "$banner"$'\n Disk 0 Part 1 VolumeID: 1234-ABCD  \n' /volumeid=read
check "FAT32 volume ID" 0 "1234-ABCD" /volumeid=READ /part=1 /silent
check "FAT32 volume ID" 0 "CAFE-F00D" /volumeid=read /part=2 /silent
check "NTFS volume ID" 0 "0123-4567" /volumeid=read /part=3 /silent
check "Linux volume ID" 0 "$banner"$'\n Disk 0 Part 4 VolumeID:   \n' /volumeid=read /part=4
check "/volumeid=write" 124 "$banner"$'\n Error 124: Invalid or missing option required with /VolumeID\n' \
    /volumeid=write /part=1
check "/volumeid= of no partition" 106 "$banner"$'\n Error 106: Invalid Partition specified.\n' /volumeid=read /part=5

# The signature: written, read back, zeroed, generated; sector 0 keeps
# every other byte.
cp vol.img before.img
check "/signature=write" 0 "$banner"$'\n Disk signature was successfully updated \n' \
    /signature=write /value=AC67AC68
[ "$(bytes vol.img 440 4)" = 68ac67ac ] || fail "/signature=write left $(bytes vol.img 440 4) at 440"
check "/signature=read" 0 "$banner"$'\n Disk 0 signature: 0xAC67AC68  \n' /signature=read
check "/signature=read /silent" 0 "AC67AC68" /signature=Read /silent
check "/signature=write lower case" 0 " Disk signature was successfully updated "$'\n' \
    /signature=write /value=0badf00d /silent
[ "$(bytes vol.img 440 4)" = 0df0ad0b ] || fail "/signature=write lower case left $(bytes vol.img 440 4)"
check "/signature=zero" 0 "$banner"$'\n Disk signature was successfully Zeroed out \n' /signature=zero
[ "$(bytes vol.img 440 4)" = 00000000 ] || fail "/signature=zero left $(bytes vol.img 440 4)"
check "/signature=generate" 0 " Disk signature was successfully generated "$'\n' /signature=generate /silent
[ "$(bytes vol.img 440 4)" != 00000000 ] || fail "/signature=generate left a zero signature"
cmp -s <(head -c 440 vol.img) <(head -c 440 before.img) || fail "the signature commands changed the boot code"
cmp -s <(tail -c +445 vol.img) <(tail -c +445 before.img) || fail "the signature commands changed bytes past 443"

# Refusals write nothing.
cp vol.img before.img
for value in AC67AC6 AC67AC689 AC67AC6G 0xAC67AC; do
    check "/value=$value" 119 "$banner"$'\n Error 119: /Value must include an 8 character hex string, eg. AC67AC67\n' \
        /signature=write /value=$value
done
check "/signature=write without /value=" 120 \
    "$banner"$'\n Error 120: Invalid or missing option required with /Signature\n' /signature=write
check "/signature=other" 120 "$banner"$'\n Error 120: Invalid or missing option required with /Signature\n' \
    /signature=other
cmp -s vol.img before.img || fail "a refused signature command wrote to the disk"

# The status byte: written, read back as the exit code.
check "/status=7" 0 "$banner"$'\n Status written successfully \n' /status=7 /confirm
[ "$(bytes vol.img 434 1)" = 07 ] || fail "/status=7 left $(bytes vol.img 434 1) at 434"
check "/status" 7 "$banner"$'\n Status read successfully as 7  \n' /status
check "/status=254" 0 " Status written successfully "$'\n' /status=254 /confirm /silent
check "/status after 254" 254 " Status read successfully as 254  "$'\n' /status /silent
check "/status=255" 116 "$banner"$'\n Error 116: Status must be between 0 and 254\n' /status=255 /confirm
check "/status=abc" 105 "$banner"$'\n Error 105: Invalid or incomplete switch: /status=abc\n' /status=abc /confirm
check "/status=9 answered no" 129 \
    "$banner"$'\n Preparing to write a new status flag, are you sure? (Y/N): \n\n\n Error 129: User cancelled process\n' /status=9
[ "$(bytes vol.img 434 1)" = fe ] || fail "the refused status writes left $(bytes vol.img 434 1) at 434"
cmp -s <(head -c 434 vol.img) <(head -c 434 before.img) || fail "the status commands changed bytes before 434"
cmp -s <(tail -c +436 vol.img) <(tail -c +436 before.img) || fail "the status commands changed bytes past 434"

# Without 55 AA at the end of sector 0 nothing is changed (510). A failed
# /status ends with the negated code, which no exit status carries whole.
truncate -s 1M blank.img
put blank.img 0 '\x33\xc0'
images blank.img
no_mbr="$banner"$'\n Error 510: Unable to locate a valid MBR at this location\n\n'
check "/signature=zero without 55 AA" 510 "$no_mbr" /signature=zero
check "/signature=generate without 55 AA" 510 "$no_mbr" /signature=generate
check "/signature=read without 55 AA" 510 "$no_mbr" /signature=read
check "/status=3 without 55 AA" 510 "$no_mbr" /status=3 /confirm
check "/status without 55 AA" - "$no_mbr" /status
[ "$(bytes blank.img 0 512)" = 33c0$(printf '%01020d' 0) ] || fail "a command wrote to a sector 0 without 55 AA"
finish
