#!/usr/bin/env bash
# GPT disks through the built program of one target (see lib.bash), with GPT
# fdisk as the peer: the listing of a disk sgdisk made, row for row; /del of
# each partition leaves a GPT that sgdisk finds sound and that holds every
# other partition; save, wipe and restore; and headers whose numbers do not
# fit, which are listed as invalid and never acted on.
#
# usage: gpt.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"

command -v sgdisk >/dev/null || skip "sgdisk is not installed"
cd "$work"
compare_writes=1

# EFI, Microsoft reserved, basic data (an NTFS volume, with attribute bit 2),
# Linux filesystem (a type the listing does not name) and Linux swap.
truncate -s 64M disk.img
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

listing=$'\n'" ----------------------------------------------------------------------------- 
  Disk: 0                         MBR/GPT:         GPT                         
    Size:        64.00MB          GPT Revision:    1.0                         
    Sectors:     131072           Backup GPT:      Valid                       
    Partitions:  4                GUID:  11223344-5566-7788-99AA-BBCCDDEEFF00  
    Media Type:  Fixed            Interface:       File                        
    Description: disk.img                                                      
 ----------------------------------------------------------------------------- 
 Pos    GPT Type         FSType   LBA Start   Size Reqd R/O Hide  DL Vol Label 
 --- ------------------- ------ ------------- ---- ---- --- ----  -- --------- 
  1  EFI System Partitio                 2048 1.0M  No  No   No                
  2  Microsoft Reserved                  4096 2.0M  No  No   No                
  3  Basic Data Partitio  $fs          8192 8.0M  No  Yes  No                
  4  Linux Swap Partitio                32768 4.0M  No  No   No                
 ----------------------------------------------------------------------------- 

"
check "the listing" 0 "$banner$listing" /list /text

# sgdisk -p lines of the partitions, numbers aside.
partitions() { sgdisk -p "$1" | awk '/^ +[0-9]+ / { $1 = ""; print }'; }
sound() {
    sgdisk -v disk.img | grep -q '^No problems found' ||
        { echo "FAIL $target $1: sgdisk -v finds problems"; sgdisk -v disk.img | head -5; failures=$((failures + 1)); }
}
deleted=$'\n Partition successfully deleted \n'
for n in 1 2 3 4; do
    cp made.img disk.img
    check "/del /part=$n" 0 "$banner$deleted" /del /part=$n /confirm
    sound "/del /part=$n"
    # The catalogued partitions but the one deleted stay, and so does the
    # Linux filesystem partition, which the catalogue does not name.
    want=$(partitions made.img | sed "$( [ $n -ge 4 ] && echo 5 || echo $n )d")
    [ "$(partitions disk.img)" = "$want" ] ||
        { echo "FAIL $target /del /part=$n: sgdisk -p"; diff <(echo "$want") <(partitions disk.img); failures=$((failures + 1)); }
done
cp made.img disk.img
check "/del /part=*" 0 "$banner"$'\n All Partitions successfully deleted \n' /del /part=* /confirm
sound "/del /part=*"
[ "$(partitions disk.img)" = "$(partitions made.img | sed -n 4p)" ] ||
    { echo "FAIL $target /del /part=*: only the Linux filesystem partition stays"; failures=$((failures + 1)); }

# Save, a spoilt entry array, restore: the GPT as it was, both copies.
cp made.img disk.img
check "/save=gpt" 0 "$banner"$'\n The GPT was successfully saved to g.bin\n' /save=gpt /filename=g.bin
dd if=/dev/zero of=disk.img bs=512 seek=2 count=8 conv=notrunc status=none
check "/restore=gpt" 0 "$banner"$'\n The GPT was successfully restored from g.bin\n' /restore=gpt /filename=g.bin /confirm
cmp -s disk.img made.img || { echo "FAIL $target /restore=gpt: the disk differs"; failures=$((failures + 1)); }
# The first usable sector is 2048: the wipe clears sectors 0 to 2047 and
# leaves the backup at the end.
check "/wipe=gpt" 0 "$banner"$'\n Specified sectors successfully cleared \n' /wipe=gpt /confirm
cmp -s -n $((2048 * 512)) disk.img /dev/zero || { echo "FAIL $target /wipe=gpt: sectors left"; failures=$((failures + 1)); }
cmp -s <(tail -c $((33 * 512)) disk.img) <(tail -c $((33 * 512)) made.img) ||
    { echo "FAIL $target /wipe=gpt: the backup GPT changed"; failures=$((failures + 1)); }

# Backups that are not of a GPT, or whose GPT header is gone, are refused
# before anything is written.
cp made.img disk.img
check "/save=mbr" 0 - /save=mbr /filename=m.bin
check "/restore=gpt of an MBR backup" 205 "$banner"$'\n Error 205: Invalid Partamer Backup File\n\n' \
    /restore=gpt /filename=m.bin /confirm
cp g.bin bad.bin
dd if=/dev/zero of=bad.bin bs=1 seek=$((1024)) count=8 conv=notrunc status=none
check "/restore=gpt without EFI PART" 200 "$banner"$'\n Error 200: Invalid EFI Disk\n\n' \
    /restore=gpt /filename=bad.bin /confirm
cmp -s disk.img made.img || { echo "FAIL $target: a refused restore wrote"; failures=$((failures + 1)); }

# Headers whose numbers do not fit: listed as invalid with no partitions,
# and never acted on.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
for hostile in "entries:80:$(le32 4294967295)" "array:72:$(le32 200000)" "none:80:$(le32 0)"; do
    IFS=: read -r name offset bytes <<<"$hostile"
    cp made.img disk.img
    put disk.img $((512 + offset)) "$bytes"
    cp disk.img hostile.img
    check "a header with $name: /list" 0 - /list /text
    grep -q "Partitions:  0 " out && grep -q "No partitions found" out ||
        { echo "FAIL $target header with $name: partitions listed"; failures=$((failures + 1)); }
    check "a header with $name: /del" - - /del /confirm
    cmp -s disk.img hostile.img || { echo "FAIL $target header with $name: /del wrote"; failures=$((failures + 1)); }
done
finish
