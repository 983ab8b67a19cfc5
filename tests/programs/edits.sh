#!/usr/bin/env bash
# The commands that write, run through the built program of one target (see
# lib.bash) on image files: the exact output and exit code of each, every
# byte it changed on the images (and none other), and what sfdisk --dump
# reads from the tables afterwards. On Windows the native program makes the
# same run on the images as they were, and must leave the same bytes.
#
# usage: edits.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"

command -v sfdisk >/dev/null || skip "sfdisk is not installed"
compare_writes=1

# changes <image>: every byte that differs from the image as made, one line
# each: "<offset> <was> <is>" (hexadecimal bytes); sector 30, which takes the
# safety copy of sector 0 as it was before each command, aside.
changes() {
    local offset was is
    cmp -l "$work/$1.orig" "$work/$1" | while read -r offset was is; do
        [ $((offset - 1)) -ge 15360 ] && [ $((offset - 1)) -lt 15872 ] && continue
        printf '%d %02x %02x\n' $((offset - 1)) $((8#$was)) $((8#$is))
    done
}
# zeroed <image> <offset> <count>: the lines `changes` shows once those bytes
# of the image as made are zero.
zeroed() {
    local i=0 b
    for b in $(od -An -v -tx1 -j"$2" -N"$3" "$work/$1.orig"); do
        [ "$b" = 00 ] || printf '%d %s 00\n' $(($2 + i)) "$b"
        i=$((i + 1))
    done
}
# sector <image> <n>: sector n as hexadecimal bytes.
sector() { od -An -v -tx1 -j$(($2 * 512)) -N512 "$work/$1" | tr -d ' \n'; }
zeros=$(printf '00%.0s' {1..512})

# ok <variable> <text>: what a run that succeeds with the text prints.
ok() { said "$1" " $2 "$'\n'; }

make_image mbr.img 64M 'label: dos\nlabel-id: 0x1a2b3c4d\n
start=2048, size=8192, type=7, bootable\nstart=10240, size=8192, type=83\n
start=18432, size=40960, type=f\nstart=20480, size=4096, type=c\nstart=26624, size=4096, type=1c\n'
make_image one.img 16M 'label: dos\nlabel-id: 0x0badcafe\nstart=2048, size=4096, type=b\n'
make_image unsorted.img 64M 'label: dos\nstart=100000, size=2048, type=83\nstart=2048, size=4096, type=7, bootable\n
start=50000, size=8192, type=f\nstart=51000, size=1000, type=6\n'
# sfdisk fills the slots from the first on; tables with gaps are written
# as they are.
for gaps in gaps:0x0c:10240:7:2048 sorted_gaps:7:2048:0x0c:10240; do
    IFS=: read -r name t1 s1 t2 s2 <<<"$gaps"
    truncate -s 16M "$work/$name.img"
    table "$name.img" 0 "$(entry 0 0 0 0)" "$(entry 0 "$t1" "$s1" 4096)" "$(entry 0 0 0 0)" "$(entry 0 "$t2" "$s2" 4096)"
    put "$name.img" 0 '\x33\xc0\xfa\xbc\x00\x7c\x8e\xd0'
    dd if="$work/$name.img" of="$work/$name.img" bs=512 count=1 seek=30 conv=notrunc status=none
    cp "$work/$name.img" "$work/$name.img.orig"
done
make_image gpt.img 16M 'label: gpt\nstart=2048, size=4096, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n'
mbr_dump=$(dumped mbr.img)

ok hidden 'Partition(s) successfully hidden'
ok unhidden 'Partition(s) successfully unhidden'
ok active 'Partition successfully set to active'
ok inactive 'Partition successfully set inactive'
ok typed 'Partition type successfully changed'
ok deleted 'Partition successfully deleted'
ok all_deleted 'All Partitions successfully deleted'
said e131 $' Error 131: Unable to perform GPT operations on Non-GPT Disks\n'
said e112 $' Error 112: Invalid option specified.\n'
said e505 $' Error 505: Unable to save the specified sectors to the selected disk\n\n'
said e111 $' Error 111: Missing or incomplete Range specified for the operation\n'
said already $' Partition entries already sorted. No changes have been made.\n'
ok cleared 'Specified sectors successfully cleared'
said e558 $' Error 558: Unable to hide this partition type\n\n'
said e121 $' Error 121:     \n\n'
said e113 $' Error 113: All disks can only be used with all partitions\n'
ok sorted 'Partition entries are sorted'
ok not_sorted 'Partition entries are not sorted'
ok sorted_now 'Partition entries successfully sorted'
ok mbr_cleared 'MBR successfully cleared'
ok head_cleared 'Entire first head successfully cleared'
ok copied 'Sector was successfully copied'
said e506 $' Error 506: Unable to read the MBR from selected disk\n\n'
said e512 $' Error 512: Invalid Partition selected\n\n'
ok disk_cleared 'Disk successfully cleared'
bad_switch() { said "$1" " Error 105: Invalid or incomplete switch: $2"$'\n'; }

# --- Hide, unhide, active, inactive, type: the one byte each changes. The
# slots' status bytes are at 446, 462, 478, their types at 450, 466, 482.
images mbr.img
check "/hide" 0 "$hidden" /hide /confirm
expect /hide "bytes changed" "450 07 17" "$(changes mbr.img)"
expect /hide "sfdisk --dump" "${mbr_dump/type=7,/type=17,}" "$(dumped mbr.img)"
check "/unhide of a hidden partition" 0 "$unhidden" /unhide /confirm
expect /unhide "bytes changed" "" "$(changes mbr.img)"
check "/unhide of one not hidden rewrites the table as it was" 0 "$unhidden" /unhide /part=2 /confirm
expect "/unhide /part=2" "bytes changed" "" "$(changes mbr.img)"
check "/hide of a type that cannot be hidden" 558 "$e558" /hide /part=2 /confirm
expect "/hide /part=2" "bytes changed" "" "$(changes mbr.img)"
check "/hide of the extended partition, its chain untouched" 0 "$hidden" /hide /part=3 /confirm
expect "/hide /part=3" "bytes changed" "482 0f 1f" "$(changes mbr.img)"
fresh mbr.img
check "/type= beyond a byte keeps its low byte" 0 "$typed" /type=1234 /part=2 /confirm
expect "/type=1234" "bytes changed" "466 83 34" "$(changes mbr.img)"
check "/type= hexadecimal" 0 "$typed" /type=1c /part=2 /confirm
expect "/type=1c" "bytes changed" "466 83 1c" "$(changes mbr.img)"
check "/active of a hidden partition unhides it" 0 "$active" /active /part=2 /confirm
expect "/active /part=2" "bytes changed" $'446 80 00\n462 00 80\n466 83 0c' "$(changes mbr.img)"
expect "/active /part=2" "sfdisk --dump" \
    "$(sed '1s/,bootable//; 2s/type=83/type=c,bootable/' <<<"$mbr_dump")" "$(dumped mbr.img)"
check "/type= decimal" 0 "$typed" /type=131d /part=2 /confirm
check "/inactive" 0 "$inactive" /inactive /part=2 /confirm
expect "/inactive /part=2" "bytes changed" "446 80 00" "$(changes mbr.img)"

# --- Deleting: the slot's 16 bytes, or all 64; boot code, signature and the
# extended chain stay.
fresh mbr.img
check "/del" 0 "$deleted" /del /part=2 /confirm
expect "/del /part=2" "bytes changed" "$(zeroed mbr.img 462 16)" "$(changes mbr.img)"
expect "/del /part=2" "sfdisk --dump" "$(grep -v '^2' <<<"$mbr_dump")" "$(dumped mbr.img)"
check "/del of a number beyond the primaries" 121 "$e121" /del /part=9 /confirm
check "/del /disk=* of one partition" 113 "$e113" /del /disk=* /part=1 /confirm
fresh mbr.img
check "/del /part=*" 0 "$all_deleted" /del /part=* /disk=0 /confirm
expect "/del /part=*" "bytes changed" "$(zeroed mbr.img 446 64)" "$(changes mbr.img)"
expect "/del /part=*" "sfdisk --dump" "" "$(dumped mbr.img)"
images one.img
check "/del of the only partition" 0 "$deleted" /del /confirm
expect "/del of one.img" "bytes changed" "$(zeroed one.img 446 16)" "$(changes one.img)"
fresh mbr.img one.img
images mbr.img one.img
check "/del on every disk" 0 "$all_deleted" /del /disk=* /part=* /confirm
expect "/del /disk=* /part=* on disk 0" "bytes changed" "$(zeroed mbr.img 446 64)" "$(changes mbr.img)"
expect "/del /disk=* /part=* on disk 1" "bytes changed" "$(zeroed one.img 446 64)" "$(changes one.img)"

# --- Hide all, reached with /disk=* /part=*: the 0x83 stays, the rest are
# hidden, and its 558 is the result.
fresh mbr.img
check "hide all" 558 "$e558" /hide /disk=* /part=* /confirm
expect "hide all" "bytes changed" $'450 07 17\n482 0f 1f' "$(changes mbr.img)"
check "/hide beyond the primaries" 512 "$e512" /hide /disk=* /part=5 /confirm
# Its safety copy put sector 0 as hide all left it into sector 30.
expect "/hide /part=5" "bytes changed" $'450 07 17\n482 0f 1f' "$(changes mbr.img)"
expect "/hide /part=5" "sector 30" "$(sector mbr.img 0)" "$(sector mbr.img 30)"

# --- Sorting.
images mbr.img
check "/issorted, sorted" 0 "$sorted" /issorted
images unsorted.img
check "/issorted, not sorted" 0 "$not_sorted" /issorted
check "/sort" 0 "$sorted_now" /sort /confirm
expect "/sort" "sfdisk --dump" $'1start=2048,size=4096,type=7,bootable\n2start=50000,size=8192,type=f
3start=100000,size=2048,type=83\n5start=51000,size=1000,type=6' "$(dumped unsorted.img)"
expect "/sort" "bytes changed outside the table" "" "$(changes unsorted.img | awk '$1 < 446 || $1 >= 510')"
check "/sort of a sorted table" 125 "$already" /sort /confirm
images gaps.img
check "/sort closes the gaps" 0 "$sorted_now" /sort /confirm
expect "/sort of gaps.img" "sfdisk --dump" $'1start=2048,size=4096,type=7\n2start=10240,size=4096,type=c' \
    "$(dumped gaps.img)"
images sorted_gaps.img
check "/sort leaves the gaps of a sorted table" 125 "$already" /sort /confirm
expect "/sort of sorted_gaps.img" "bytes changed" "" "$(changes sorted_gaps.img)"
check "/hide: partition 2 is in slot 4" 0 "$hidden" /hide /part=2 /confirm
expect "/hide of sorted_gaps.img" "bytes changed" "498 0c 1c" "$(changes sorted_gaps.img)"

# --- Wiping and copying. Sectors 1 to 70 and the last 18 of one.img (16M,
# 32768 sectors) hold a pattern first.
for at in 1:70 32750:18; do
    head -c $((${at#*:} * 512)) /dev/zero | tr '\0' '\125' |
        dd of="$work/one.img.orig" bs=512 seek="${at%:*}" conv=notrunc status=none
done
pattern=$(printf '55%.0s' {1..512})
images one.img
fresh one.img
check "/wipe=mbr" 0 "$mbr_cleared" /wipe=mbr /confirm
expect "/wipe=mbr" "sectors 0, 1" "$zeros $pattern" "$(sector one.img 0) $(sector one.img 1)"
fresh one.img
check "/wipe=head" 0 "$head_cleared" /wipe=HEAD /confirm
expect "/wipe=head" "sectors 0 to 62" "" "$(cmp -n $((63 * 512)) "$work/one.img" /dev/zero)"
expect "/wipe=head" "sector 63" "$pattern" "$(sector one.img 63)"
fresh one.img
check "/wipe=range" 0 "$cleared" /wipe=range /range=10-12 /confirm
expect "/wipe=range /range=10-12" "sectors 9 to 13" "$pattern $zeros $zeros $zeros $pattern" \
    "$(for s in 9 10 11 12 13; do sector one.img $s; echo; done | paste -sd" ")"
fresh one.img
check "/wipe=range reversed" 0 "$cleared" /wipe=range /range=12-10 /confirm
check "/wipe=range without a second sector" 111 "$e111" /wipe=range /range=5 /confirm
check "/wipe=range without a range" 111 "$e111" /wipe=range /confirm
bad_switch e105 /range=3--5
check "/wipe=range of a negative sector" 105 "$e105" /wipe=range /range=3--5 /confirm
expect "refused and reversed wipes" "bytes changed" "" "$(changes one.img)"
check "/wipe=range past the end" 505 "$e505" /wipe=range /range=32760-40000 /confirm
expect "/wipe=range past the end" "sectors 32759, 32760, 32767" "$pattern $zeros $zeros" \
    "$(sector one.img 32759) $(sector one.img 32760) $(sector one.img 32767)"
check "/copy" 0 "$copied" /copy /source=0 /target=30 /confirm
expect "/copy" "sector 30" "$(sector one.img 0)" "$(sector one.img 30)"
check "/copy beyond the end" 505 "$e505" /copy /source=0 /target=40000 /confirm
check "/copy from beyond the end" 506 "$e506" /copy /source=40000 /target=1 /confirm
# Redirected output shows no progress figure.
check "/wipe=disk" 0 "$disk_cleared" /wipe=disk /confirm
expect "/wipe=disk" "the whole image" "" "$(cmp "$work/one.img" /dev/zero 2>&1 | grep -v EOF)"

# --- GPT disks: no MBR entries to edit; /del deletes GPT entries and
# leaves what sgdisk checks sound (gpt.sh has the rest of the GPT).
images one.img gpt.img
check "/wipe=gpt of an MBR disk" 131 "$e131" /wipe=gpt /confirm
images gpt.img
check "hide all on a GPT disk" 131 "$e131" /hide /disk=* /part=* /confirm
check "/active on a GPT disk" 131 "$e131" /active /disk=* /confirm
expect "GPT disk" "bytes changed" "" "$(changes gpt.img)"
check "/del on a GPT disk" 0 "$deleted" /del /confirm
expect "/del on a GPT disk" "sgdisk -v" "No problems found." "$(sgdisk -v "$work/gpt.img" | grep -o 'No problems found.')"
expect "/del on a GPT disk" "sfdisk --dump" "" "$(dumped gpt.img)"
finish
