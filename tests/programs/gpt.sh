#!/usr/bin/env bash
# GPT disks through the built program of one target (see lib.bash), with GPT
# fdisk as the peer: the listing of a disk sgdisk made, row for row; /del of
# each partition leaves a GPT that sgdisk finds sound and that holds every
# other partition; save, wipe and restore, also between disks of other
# sizes; and the same disk damaged byte by byte, where a copy that fails its
# checks is reported, never trusted and never written over the good one.
#
# usage: gpt.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"

command -v sgdisk >/dev/null || skip "sgdisk is not installed"
cd "$work"
compare_writes=1

# EFI, Microsoft reserved, basic data (an NTFS volume, with attribute bit 2),
# Linux filesystem (a type the listing does not name) and Linux swap.
truncate -s 64M disk.img
total=131072
sgdisk -U 11223344-5566-7788-99AA-BBCCDDEEFF00 -n1:2048:+1M -t1:ef00 -n2:0:+2M -t2:0c01 -n3:0:+8M -t3:0700 \
    -A3:set:2 -n4:0:+4M -t4:8300 -n5:0:+4M -t5:8200 disk.img >/dev/null
if command -v mkntfs >/dev/null; then
    truncate -s 8M ntfs.part
    mkntfs -F -q -Q -s 512 -p 8192 ntfs.part >/dev/null 2>&1
    dd if=ntfs.part of=disk.img bs=512 seek=8192 conv=notrunc status=none
    fs='NTFS '
else
    fs='     '
fi
cp disk.img made.img
images disk.img

rule=" $(printf -- '-%.0s' {1..77}) "
rows="  1  EFI System Partitio                 2048 1.0M  No  No   No                
  2  Microsoft Reserved                  4096 2.0M  No  No   No                
  3  Basic Data Partitio  $fs          8192 8.0M  No  Yes  No                
  4  Linux Swap Partitio                32768 4.0M  No  No   No                
"
# listing <backup GPT> <partitions> <rows and what follows them>: /list /text
# of disk.img.
listing() {
    printf '\n%s\n' "$rule"
    printf '%-79s\n' "  Disk: 0                         MBR/GPT:         GPT" \
        "    Size:        64.00MB          GPT Revision:    1.0" \
        "    Sectors:     131072           Backup GPT:      $1"
    printf '%s\n' "    Partitions:  $2                GUID:  11223344-5566-7788-99AA-BBCCDDEEFF00  "
    printf '%-79s\n' "    Media Type:  Fixed            Interface:       File" "    Description: disk.img"
    printf '%s\n' "$rule" " Pos    GPT Type         FSType   LBA Start   Size Reqd R/O Hide  DL Vol Label " \
        " --- ------------------- ------ ------------- ---- ---- --- ----  -- --------- "
    printf '%s%s\n\n' "$3" "$rule"
}
# warning <what> <what it means>: the framed lines of a damaged GPT.
warning() { printf '%-79s\n' "" "  ** Warning** $1" "     $2"; }
check "the listing" 0 "$banner$(listing Valid 4 "$rows")"$'\n\n' /list /text

# sgdisk -p lines of the partitions, numbers aside.
partitions() { sgdisk -p "$1" 2>/dev/null | awk '/^ +[0-9]+ / { $1 = ""; print }'; }
# sound <label> [<image>]: sgdisk finds nothing wrong.
sound() {
    sgdisk -v "${2:-disk.img}" 2>&1 | grep -q '^No problems found' || { fail "$1: sgdisk -v finds problems"; sgdisk -v "${2:-disk.img}" | head -5; }
}
# holds <label> <image> <sgdisk -p lines>: sgdisk reads those partitions.
holds() { [ "$(partitions "$2")" = "$3" ] || { fail "$1: sgdisk -p"; diff <(echo "$3") <(partitions "$2"); }; }
# same <label> <first sector> <sectors> <image> <image>: those sectors alike.
same() {
    cmp -s -i $(($2 * 512)) -n $(($3 * 512)) "$4" "$5" || fail "$1: sectors $2 to $(($2 + $3 - 1)) changed"
}

deleted=$'\n Partition successfully deleted \n'
all_deleted=$'\n All Partitions successfully deleted \n'
for n in 1 2 3 4; do
    cp made.img disk.img
    check "/del /part=$n" 0 "$banner$deleted" /del /part=$n /confirm
    sound "/del /part=$n"
    # The catalogued partitions but the one deleted stay, and so does the
    # Linux filesystem partition, which the catalogue does not name.
    holds "/del /part=$n" disk.img "$(partitions made.img | sed "$( [ $n -ge 4 ] && echo 5 || echo $n )d")"
done
cp made.img disk.img
check "/del /part=*" 0 "$banner$all_deleted" /del /part=* /confirm
sound "/del /part=*"
holds "/del /part=*" disk.img "$(partitions made.img | sed -n 4p)"

# Save, a spoilt entry array, restore: the GPT as it was, both copies.
cp made.img disk.img
saved=$'\n The GPT was successfully saved to g.bin\n'
restored=$'\n The GPT was successfully restored from g.bin\n'
cleared=$'\n Specified sectors successfully cleared \n'
check "/save=gpt" 0 "$banner$saved" /save=gpt /filename=g.bin
dd if=/dev/zero of=disk.img bs=512 seek=2 count=8 conv=notrunc status=none
check "/restore=gpt" 0 "$banner$restored" /restore=gpt /filename=g.bin /confirm
cmp -s disk.img made.img || fail "/restore=gpt: the disk differs"
# The protective MBR and the primary GPT go, up to the end of the entry
# array; the first usable sector (34) and the backup stay.
check "/wipe=gpt" 0 "$banner$cleared" /wipe=gpt /confirm
cmp -s -n $((34 * 512)) disk.img /dev/zero || fail "/wipe=gpt: sectors left"
same "/wipe=gpt" 34 $((total - 34)) disk.img made.img

# Backups that are not of a GPT, whose GPT header is gone or whose entries
# do not match their CRC are refused before anything is written.
cp made.img disk.img
check "/save=mbr" 0 - /save=mbr /filename=m.bin
check "/restore=gpt of an MBR backup" 205 "$banner"$'\n Error 205: Invalid Partamer Backup File\n\n' \
    /restore=gpt /filename=m.bin /confirm
e200=$'\n Error 200: Invalid EFI Disk\n\n'
cp g.bin bad.bin
dd if=/dev/zero of=bad.bin bs=1 seek=1024 count=8 conv=notrunc status=none
check "/restore=gpt without EFI PART" 200 "$banner$e200" /restore=gpt /filename=bad.bin /confirm
cp g.bin bad.bin
flip() { put "$1" "$2" "$(printf '\\x%02x' $((0x$(bytes "$1" "$2" 1) ^ 1)))"; }
flip bad.bin $((512 + 2 * 512 + 40))
check "/restore=gpt of entries that fail their CRC" 200 "$banner$e200" /restore=gpt /filename=bad.bin /confirm
cmp -s disk.img made.img || fail "a refused restore wrote"

# --- One copy damaged: the other is listed and written from, and every
# write leaves both copies sound, with the partitions the intact one held.
primary_damaged=$(warning "The primary GPT on disk 0 appears to be corrupt!" \
    "The partitions shown are those of the backup GPT")
backup_damaged=$(warning "The backup GPT on disk 0 appears to be corrupt!" \
    "The next change to the GPT rewrites it from the primary")
for damage in "primary header:$((512 + 56))" "primary entries:$((2 * 512 + 40))" \
    "backup header:$(((total - 1) * 512 + 56))" "backup entries:$(((total - 33) * 512 + 40))"; do
    IFS=: read -r what offset <<<"$damage"
    if [[ $what == primary* ]]; then backup=Valid warned=$primary_damaged; else backup=Invalid warned=$backup_damaged; fi
    cp made.img disk.img
    flip disk.img "$offset"
    check "a damaged $what: /list" 0 "$banner$(listing "$backup" 4 "$rows$warned"$'\n')"$'\n\n' /list /text
    check "a damaged $what: /del /part=2" 0 "$banner$deleted" /del /part=2 /confirm
    sound "a damaged $what: /del"
    holds "a damaged $what: /del" disk.img "$(partitions made.img | sed 2d)"
done

# A save of a disk whose primary is damaged holds the backup as a primary,
# which is the intact GPT, and restores it.
cp made.img disk.img
flip disk.img $((2 * 512 + 40))
check "/save=gpt of a damaged primary" 0 "$banner"$'\n The GPT was successfully saved to s.bin\n' /save=gpt /filename=s.bin
cmp -s -i 512 s.bin g.bin || fail "/save=gpt of a damaged primary: not the intact GPT"
check "/restore=gpt over a damaged primary" 0 "$banner"$'\n The GPT was successfully restored from s.bin\n' \
    /restore=gpt /filename=s.bin /confirm
cmp -s disk.img made.img || fail "/restore=gpt over a damaged primary: the disk differs"

# Headers whose numbers reach into partitions, their CRC made to hold: the
# first usable sector at 40000, and the entry array at 4100, in partition 2.
# Each primary fails and the backup is written from; nothing in the usable
# area changes.
le64() { local i; for i in 0 8 16 24 32 40 48 56; do printf '\\x%02x' $((($1 >> i) & 255)); done; }
seal() {  # <image> <lba>: the header's CRC anew (gzip's trailer is the CRC-32)
    put "$1" $(($2 * 512 + 16)) '\x00\x00\x00\x00'
    dd if="$1" bs=512 skip="$2" count=1 status=none | head -c 92 | gzip -c | tail -c 8 | head -c 4 |
        dd of="$1" bs=1 seek=$(($2 * 512 + 16)) conv=notrunc status=none
}
cp made.img disk.img
put disk.img $((512 + 40)) "$(le64 40000)"
seal disk.img 1
cp disk.img damaged.img
check "a first usable sector in a partition: /wipe=gpt" 0 "$banner$cleared" /wipe=gpt /confirm
cmp -s -n $((34 * 512)) disk.img /dev/zero || fail "/wipe=gpt: sectors left"
same "a first usable sector in a partition: /wipe=gpt" 34 $((total - 34)) disk.img damaged.img
cp made.img disk.img
put disk.img $((4100 * 512)) 'partition data'
put disk.img $((512 + 72)) "$(le64 4100)"
seal disk.img 1
cp disk.img damaged.img
check "an entry array in a partition: /del /part=*" 0 "$banner$all_deleted" /del /part=* /confirm
sound "an entry array in a partition: /del /part=*"
holds "an entry array in a partition: /del /part=*" disk.img "$(partitions made.img | sed -n 4p)"
same "an entry array in a partition: /del /part=*" 34 $((total - 67)) disk.img damaged.img

# Both copies damaged: listed without partitions, and nothing written.
cp made.img disk.img
flip disk.img $((512 + 20))
flip disk.img $(((total - 1) * 512 + 20))
cp disk.img damaged.img
check "two damaged copies: /list" 0 "$banner$(listing Invalid 0 "$(warning \
    "Both GPT copies on disk 0 appear to be corrupt!" \
    "There will be limited partition functionality due to this discrepancy")"$'\n'"$(printf '%-79s' \
    "   No partitions found on this disk")"$'\n')"$'\n\n' /list /text
e202=$'\n Error 202: Unable to Save changes to the GPT\n\n'
check "two damaged copies: /del /part=*" 202 "$banner$e202" /del /part=* /confirm
check "two damaged copies: /wipe=gpt" 202 "$banner$e202" /wipe=gpt /confirm
check "two damaged copies: /save=gpt" 200 "$banner$e200" /save=gpt /filename=d.bin
cmp -s disk.img damaged.img || fail "two damaged copies: written"

# --- Restores onto disks of other sizes: the backup goes to the end of the
# disk the GPT lands on, never into a partition. A 16 MiB disk's GPT onto a
# 160 MiB disk whose partition spans the 16 MiB disk's end; that 160 MiB
# disk's GPT back onto the 16 MiB disk, where its partition does not fit
# (560), and the GPT of another 160 MiB disk, whose partitions fit, too.
truncate -s 16M small.img
truncate -s 160M big.img fits.img
sgdisk -n1:2048:+4M -t1:0700 -n2:0:+4M -t2:8200 small.img >/dev/null
sgdisk -n1:2048:206847 -t1:0700 big.img >/dev/null
sgdisk -n1:2048:+4M -t1:0700 -n2:0:+2M -t2:8200 fits.img >/dev/null
put big.img $((32735 * 512)) 'partition data'
cp big.img big.made
cp small.img small.made
# gpt_backup <image> <file>: sectors 0 to 33 of the image as a GPT backup
# file, which /save=gpt makes of a GPT such as sgdisk's (as above).
gpt_backup() {
    { printf 'DDprt\x03\x00\x02\x00\x00\x03' && head -c 501 /dev/zero && head -c $((34 * 512)) "$1"; } >"$2"
    put "$2" 130 '\x22'
}
gpt_backup small.img small.bin
gpt_backup fits.img fits.bin
gpt_backup big.img big.bin
images small.img big.img
check "/restore=gpt onto a larger disk" 0 - /restore=gpt /filename=small.bin /disk=1 /confirm
sound "/restore=gpt onto a larger disk" big.img
holds "/restore=gpt onto a larger disk" big.img "$(partitions small.img)"
same "/restore=gpt onto a larger disk" 34 $((327680 - 67)) big.img big.made
check "/restore=gpt of a partition past the disk's end" 560 \
    "$banner"$'\n Error 560: File size does not match requested command\n\n' /restore=gpt /filename=big.bin /confirm
cmp -s small.img small.made || fail "/restore=gpt of a partition past the disk's end: written"
check "/restore=gpt onto a smaller disk" 0 - /restore=gpt /filename=fits.bin /confirm
sound "/restore=gpt onto a smaller disk" small.img
holds "/restore=gpt onto a smaller disk" small.img "$(partitions fits.img)"
same "/restore=gpt onto a smaller disk" 34 $((32768 - 67)) small.img small.made
finish
