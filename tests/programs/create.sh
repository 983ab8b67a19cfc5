#!/usr/bin/env bash
# /create through the built program of one target (see lib.bash) on image
# files: the exact output and exit code of each run, the bytes it changed
# (the new entry's slot alone, or nothing when it refused), and what
# sfdisk --dump reads from the table afterwards. On Windows the native
# program makes the same run on the images as they were, and must leave the
# same bytes.
#
# usage: create.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"

command -v sfdisk >/dev/null || skip "sfdisk is not installed"
compare_writes=1

# mbr_copy <name>: the safety copy of sector 0 that /create puts into
# sector 30 first, there already.
mbr_copy() { dd if="$work/$1" of="$work/$1" bs=512 count=1 seek=30 conv=notrunc status=none; }
# raw <name> <sectors> <entry>...: an image of that many sectors with boot
# code, the entries from slot 0 on and 55 AA, and its copy as made.
raw() {
    local name=$1 sectors=$2
    shift 2
    truncate -s $((sectors * 512)) "$work/$name"
    table "$name" 0 "$@"
    put "$name" 0 '\x33\xc0\xfa\xbc\x00\x7c\x8e\xd0'
    mbr_copy "$name"
    cp --sparse=always "$work/$name" "$work/$name.orig"
}
# outside <image> <slot>: the changes outside that slot's 16 bytes.
outside() { changes "$1" | awk -v s=$((446 + 16 * $2)) '$1 < s || $1 >= s + 16'; }
# slot <image> <n>: the 16 bytes of slot n of sector 0, in hexadecimal.
slot() { od -An -v -tx1 -j$((446 + 16 * $2)) -N16 "$work/$1" | tr -d ' \n'; }

said created $' Partition created successfully \n'
said e126 $' Error 126: Partition table must be sorted before performing this operation \n'
said e131 $' Error 131: Unable to perform GPT operations on Non-GPT Disks\n'
said e137 $' Error 137: The specified start sector is currently assigned\n'
said e138 $' Error 138: The specified size extends into unavailable space \n'
said e139 $' Error 139: Invalid value specified for align parameter\n'
said e141 $' Error 141: Missing or invalid size parameter specified\n'
said e142 $' Error 142: Unable to locate available freepace for new partition \n'
said e143 $' Error 143: Partition table is full, unable to create new partitions \n'
said e518 $' Error 518: Unable to create partition, invalid or missing MBR\n\n'
bad_switch() { said "$1" $'\n'" Error 105: Invalid or incomplete switch: $2"$'\n'; }
# not_a_number <variable> <argument>: the refusal of a value that must be a
# number, made when the switch is read, before any command runs.
not_a_number() { said "$1" " Error 105: Invalid or incomplete switch: $2"$'\n'; }

# creates <label> <image> <slot> <sfdisk --dump afterwards> <arguments...>:
# a create that succeeds, changes that slot alone and leaves the table
# sfdisk reads as wanted; the image is then as it was made again.
creates() {
    local label=$1 image=$2 n=$3 dump=$4
    shift 4
    check "$label" 0 "$created" "$@"
    expect "$label" "bytes changed outside slot $n" "" "$(outside "$image" "$n")"
    expect "$label" "sfdisk --dump" "$dump" "$(dumped "$image")"
    fresh "$image"
}
# refuses <label> <image> <code> <output> <arguments...>: nothing written.
refuses() {
    local label=$1 image=$2
    shift 2
    check "$label" "$@"
    expect "$label" "bytes changed" "" "$(changes "$image")"
}

# --- An empty table: the whole disk from sector 64, its entry's CHS bytes
# in 255 heads x 63 sectors (64 is 0/1/2, 131071 is 8/40/32). 131072 sectors.
raw empty.img 131072
images empty.img
creates "/create on an empty table" empty.img 0 "1start=64,size=131007,type=7" /create
check "/create=x, the value unread, /type= decimal" 0 "$created" /create=x /type=131
expect "/create=x" "slot 0" "0001020083282008""40000000""bfff0100" "$(slot empty.img 0)"
fresh empty.img
creates "/size= in KiB" empty.img 0 "1start=64,size=2048,type=7" /create /size=1024
creates "/size=max" empty.img 0 "1start=64,size=131007,type=7" /create /size=MAX /start=freespace
creates "/start= with the room up to the end" empty.img 0 "1start=100000,size=31071,type=c" \
    /create /start=100000 /type=12
creates "/start= and /size= reaching the last sector but one" empty.img 0 "1start=129023,size=2048,type=7" \
    /create /start=129023 /size=1024
refuses "/size= one sector past that" empty.img 138 "$e138" /create /start=129024 /size=1024
refuses "/start= past the end" empty.img 138 "$e138" /create /start=131072
refuses "/start= at the last sector: no room" empty.img 141 "$e141" /create /start=131071
refuses "/start= at sector 0, the table's own" empty.img 137 "$e137" /create /start=0
not_a_number e105_start /start=abc
refuses "/start= neither a number nor freespace" empty.img 105 "$e105_start" /create /start=abc
bad_switch e105_type /type=0x83
refuses "/type= not decimal" empty.img 105 "$e105_type" /create /type=0x83
bad_switch e105_type /type=256
refuses "/type= beyond a byte" empty.img 105 "$e105_type" /type=256 /create
refuses "/size=0" empty.img 141 "$e141" /create /size=0
not_a_number e105_size /size=all
refuses "/size= neither a number nor max" empty.img 105 "$e105_size" /create /size=all
refuses "/size= beyond any entry" empty.img 138 "$e138" /create /size=18446744073709551615
not_a_number e105_size /size=18446744073709551616
refuses "/size= past 2^64 - 1" empty.img 105 "$e105_size" /create /size=18446744073709551616

# --- Alignment: 1 KiB to 512 MiB in powers of two; the start moves to the
# first multiple at or after it, and the size shrinks by as much.
for align in 1 2k 4K 64k 1024 32768; do
    sectors=$((${align%[kK]} * 2))
    start=$(((64 + sectors - 1) / sectors * sectors))
    creates "/align=$align" empty.img 0 "1start=$start,size=$((131071 - start)),type=7" /create /align=$align
done
for align in 3k 0 1048576; do
    refuses "/align=$align" empty.img 139 "$e139" /create /align=$align
done
for align in k -4; do
    not_a_number e105_align /align=$align
    refuses "/align=$align" empty.img 105 "$e105_align" /create /align=$align
done
refuses "/align= checked after the start" empty.img 137 "$e137" /create /start=0 /align=3k

# --- The cases of the free-space search and the in-use test. A partition
# owns start to start + count, so a region begins one sector after it.
raw first.img 1000000 "$(entry 0 7 63 20000)"
images first.img
for align in "" /align=1k /align=4k; do
    creates "free space after the first partition $align" first.img 1 \
        $'1start=63,size=20000,type=7\n2start=20064,size=979935,type=7' /create $align
done
creates "/start=freespace /size=" first.img 1 $'1start=63,size=20000,type=7\n2start=20064,size=2048,type=7' \
    /create /start=FreeSpace /size=1024
refuses "/start= at the first partition's start" first.img 137 "$e137" /create /start=63
refuses "/start= at its last sector but one" first.img 137 "$e137" /create /start=20062
refuses "/start= at the sector after its last" first.img 137 "$e137" /create /start=20063
refuses "/start= moved into it by /align=" first.img 137 "$e137" /create /start=62 /align=4k

raw pair.img 32768 "$(entry 0 7 63 1000)" "$(entry 0 0x83 2048 1000)"
images pair.img
creates "the gap between two partitions" pair.img 2 \
    $'1start=63,size=1000,type=7\n2start=2048,size=1000,type=83\n3start=1064,size=983,type=7' /create
creates "a gap too small for the alignment is passed over" pair.img 2 \
    $'1start=63,size=1000,type=7\n2start=2048,size=1000,type=83\n3start=4096,size=28671,type=7' \
    /create /align=2048k
refuses "/size= running into the next partition" pair.img 138 "$e138" /create /size=1024
refuses "/size= across a whole partition" pair.img 138 "$e138" /create /start=1100 /size=8192
refuses "/align= beyond the disk" pair.img 142 "$e142" /create /align=524288

# The only partition starts at 64 and ends 400 sectors before the end.
raw tight.img 32768 "$(entry 0 7 64 32304)"
images tight.img
refuses "no free region" tight.img 142 "$e142" /create
creates "a start given still finds the room the search does not" tight.img 1 \
    $'1start=64,size=32304,type=7\n2start=32400,size=367,type=7' /create /start=32400

# --- The slot: the lowest that no partition holds, whatever its position.
raw gaps.img 32768 "$(entry 0 0 0 0)" "$(entry 0 0x0c 2048 4096)" "$(entry 0 0 0 0)" "$(entry 0 7 10240 4096)"
images gaps.img
check "slots 1 and 3 taken: slot 0" 0 "$created" /create
expect "slot 0" "sfdisk --dump" $'1start=64,size=1983,type=7\n2start=2048,size=4096,type=c\n4start=10240,size=4096,type=7' \
    "$(dumped gaps.img)"
check "then slot 2, in the gap after the first" 0 "$created" /create /type=6
expect "slot 2" "sfdisk --dump" \
    $'1start=64,size=1983,type=7\n2start=2048,size=4096,type=c\n3start=6145,size=4094,type=6\n4start=10240,size=4096,type=7' \
    "$(dumped gaps.img)"
cp "$work/gaps.img" "$work/full.img"
mbr_copy full.img
cp "$work/full.img" "$work/full.img.orig"
fresh gaps.img

# --- Refused before anything else: a full table (143) and one out of order
# (126), whatever else is wrong; a GPT disk (131).
images full.img
refuses "a fifth primary" full.img 143 "$e143" /create /align=3k /size=0
raw unsorted.img 32768 "$(entry 0 7 10000 1000)" "$(entry 0 7 2048 1000)"
images unsorted.img
refuses "a table out of order" unsorted.img 126 "$e126" /create /align=3k
make_image gpt.img 16M 'label: gpt\nstart=2048, size=4096, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n'
images gpt.img
refuses "a GPT disk" gpt.img 131 "$e131" /create

# --- No MBR to add to: no 55 AA (a filesystem's boot sector: no_table.sh).
# A jump at the start of boot code makes no boot sector of an MBR.
truncate -s 16M "$work/blank.img"
cp "$work/blank.img" "$work/blank.img.orig"
images blank.img
refuses "no 55 AA" blank.img 518 "$e518" /create
raw jump.img 32768
put jump.img 0 '\xeb\x58\x90MSDOS5.0'
mbr_copy jump.img
cp "$work/jump.img" "$work/jump.img.orig"
images jump.img
creates "boot code that begins with a jump" jump.img 0 "1start=64,size=32703,type=7" /create

# --- A peer's table: sfdisk's partition at 1 MiB.
make_image sfd.img 64M 'label: dos\nlabel-id: 0x1a2b3c4d\nstart=2048, size=8192, type=83\n'
images sfd.img
creates "/align=1024 past the gap before 1 MiB" sfd.img 1 \
    $'1start=2048,size=8192,type=83\n2start=12288,size=118783,type=7' /create /align=1024
check "its entry" 0 "$created" /create /align=1024
expect "/align=1024" "slot 1" "00c3040007282008""00300000""ffcf0100" "$(slot sfd.img 1)"
fresh sfd.img

# --- 3 TiB: the partition ends at the last sector an entry reaches, and
# nothing beyond it is taken. Every write of a create is in sector 0, so
# the Windows runs are compared with the native ones by the first MiB
# alone: reading 3 TiB of holes would take hours.
compared_head=1M
raw big.img $((3 << 31))
images big.img
check "3 TiB: up to sector 2^32 - 1" 0 "$created" /create
expect "3 TiB" "sfdisk --dump" "1start=64,size=4294967231,type=7" "$(dumped big.img)"
expect "3 TiB" "slot 0" "0001020007590455""40000000""bfffffff" "$(slot big.img 0)"
fresh big.img
check "3 TiB, /size=max and 512 MiB alignment" 0 "$created" /create /size=max /align=524288k
expect "3 TiB /align=524288k" "sfdisk --dump" "1start=1048576,size=4293918719,type=7" "$(dumped big.img)"
fresh big.img
check "3 TiB, /size= past sector 2^32 - 1" 138 "$e138" /create /start=4294966000 /size=1024
check "3 TiB, /start= past it" 138 "$e138" /create /start=4294967296
check "3 TiB, /start= past it, wrapping to 64 in 32 bits" 138 "$e138" /create /start=4294967360 /size=1
expect "3 TiB refusals" "slot 0" "$(printf '0%.0s' {1..32})" "$(slot big.img 0)"
finish
