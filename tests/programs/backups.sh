#!/usr/bin/env bash
# Backup files through the built program of one target (see lib.bash): save
# and restore give back the image byte for byte, /show prints what a file
# holds, and the refusals write nothing.
#
# usage: backups.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"
cd "$work"

# disk.img: an MBR with an NTFS partition at 2048 and a FAT32 one at 6144,
# and sectors that differ from each other.
truncate -s 8M disk.img
for s in 1 2 63 2048 2049 6144 16383; do put disk.img $((s * 512 + 100)) "sector $s"; done
put disk.img 0 '\x33\xc0'
put disk.img 440 '\x78\x56\x34\x12'
table disk.img 0 "$(entry 0x80 7 2048 4096)" "$(entry 0 0x0b 6144 4096)"
# Restoring makes the safety copies first, which put a copy of sector 0 into
# the empty sector 30: the image to compare with holds it already.
cp disk.img unsafe.img
dd if=disk.img of=disk.img bs=512 count=1 seek=30 conv=notrunc status=none
cp disk.img pristine.img
images disk.img

same_as() {
    cmp -s disk.img "$1" || { echo "FAIL $target $2: the image differs from $1"; failures=$((failures + 1)); }
}

# Each kind saved, the sectors spoilt, the file restored.
saved() { printf '%s\n The %s was successfully saved to %s\n' "$banner" "$1" "$2"; }
restored() { printf '%s%s\n The %s was successfully restored from %s\n' "$banner" "$1" "$2" "$3"; }
check "/save=mbr" 0 "$(saved MBR m.bin)"$'\n' /save=mbr /filename=m.bin
[ "$(stat -c %s m.bin)" = 1024 ] || { echo "FAIL $target: m.bin is not 1024 bytes"; failures=$((failures + 1)); }
check "/save=mbr /nohdr" 0 "$(saved MBR raw.bin)"$'\n' /save=mbr /nohdr /filename=raw.bin
cmp -s raw.bin <(head -c 512 pristine.img) || { echo "FAIL $target: raw.bin is not sector 0"; failures=$((failures + 1)); }
check "/save=head" 0 "$(saved "first head" h.bin)"$'\n' /save=head /filename=h.bin
check "/save=vbr" 0 "$(saved "volume boot record" v.bin)"$'\n' /save=vbr /part=1 /filename=v.bin
check "/save=range" 0 "$(saved "specified sector range" r.bin)"$'\n' /save=range /range=2040-2050 /filename=r.bin
# 16,384 sectors: the save shows its progress, one figure after the other
# when the output cannot go back.
progress="12% complete25% complete37% complete50% complete62% complete75% complete87% complete100% complete"
check "/save=disk" 0 "$banner$progress"$'\n The disk was successfully saved to d.bin\n' /save=disk /filename=d.bin
# The file holds the image byte for byte; its four megabytes of zeros were
# left holes, not written.
cmp -s <(tail -c +513 d.bin) pristine.img || fail "d.bin does not hold the image after its header"
read -r blocks unit < <(stat -c '%b %B' d.bin)
[ $((blocks * unit)) -lt $((6 * 1024 * 1024)) ] || fail "d.bin takes $((blocks * unit)) bytes: its zeros were written"

dd if=/dev/zero of=disk.img bs=512 count=63 conv=notrunc status=none
check "/restore=head" 0 "$(restored ' 0 ' "first head" h.bin)"$'\n' /restore=head /filename=h.bin /confirm
same_as pristine.img /restore=head
dd if=/dev/zero of=disk.img bs=512 seek=2040 count=11 conv=notrunc status=none
check "/restore=2040" 0 "$(restored $'\n Sector Count: 11 \n 0 ' "specified sector range" r.bin)"$'\n' \
    /restore=2040 /filename=r.bin /confirm
same_as pristine.img /restore=2040
dd if=/dev/zero of=disk.img bs=1M count=8 conv=notrunc status=none
check "/restore=disk" 0 "$(restored $'\n Sector Count: 16384 \n 0  1  2  3  4  5  6  7 ' disk d.bin)"$'\n' \
    /restore=disk /filename=d.bin /confirm
same_as pristine.img /restore=disk
dd if=/dev/zero of=disk.img bs=512 seek=2048 count=7 conv=notrunc status=none
check "/restore=vbr" 0 "$(restored ' 0 ' "volume boot record" v.bin)"$'\n' /restore=vbr /part=1 /filename=v.bin /confirm
same_as pristine.img /restore=vbr

# What the files hold.
rows=$'\n Pos Idx Type/Name  Size Active Hide  Start Sector      Sectors\n'
rows+=' --- --- ---------- ---- ------ ---- -------------- ---------------'
rows+=$'\n  1   1  07-NTFS    2.0M  Yes    No           2,048           4,096'
rows+=$'\n  2   2  0B-FAT32   2.0M  No     No           6,144           4,096\n'
check "/show=file of an MBR backup" 0 "$banner"$'\nDisplaying contents of file:  m.bin\n\n File Version: 3.0'$'\n Valid MBR:    Yes\n Type:         MBR \n Partitions:   2\n Sector Count: 1\n Disk Model:   disk.img\n'"$rows"$'\n' \
    /show=file /filename=m.bin
check "/show=file of a range backup" 0 "$banner"$'\nDisplaying contents of file:  r.bin\n\n File Version: 3.0'$'\n Valid MBR:    No\n Type:         Range \n First Sector: 2040\n Sector Count: 2050\n Partitions:   2\n Disk Model:   disk.img\n'$'\n Pos Idx Type/Name  Size Active Hide  Start Sector      Sectors\n --- --- ---------- ---- ------ ---- -------------- ---------------\n\n' \
    /show=file /filename=r.bin
check "/show=file of a headerless MBR" 0 "$banner"$'\nDisplaying contents of file:  raw.bin\n\n File Version:  2.0\n File Content:  MBR\n Valid MBR:     Yes\n'"$rows"$'\n' \
    /show=file /filename=raw.bin
heading=$'\n File Version: 3.0\n Valid MBR:    '
check "/show=file of a first head backup" 0 "$banner"$'\nDisplaying contents of file:  h.bin\n'"${heading}Yes"$'\n Type:         Entire First Head \n Partitions:   2\n Sector Count: 63\n Disk Model:   disk.img\n'"$rows"$'\n' \
    /show=file /filename=h.bin
check "/show=file of a boot record backup" 0 "$banner"$'\nDisplaying contents of file:  v.bin\n'"${heading}No"$'\n Type:         Volume Boot Record (VBR) \n First Sector: 2048\n Sector Count: 7\n Partitions:   2\n Disk Model:   disk.img\n'$'\n Pos Idx Type/Name  Size Active Hide  Start Sector      Sectors\n --- --- ---------- ---- ------ ---- -------------- ---------------\n\n' \
    /show=file /filename=v.bin
check "/show=file of a disk backup" 0 "$banner"$'\nDisplaying contents of file:  d.bin\n'"${heading}Yes"$'\n Type:         Disk \n Partitions:   2\n Sector Count: 16383\n Disk Model:   disk.img\n'"$rows"$'\n' \
    /show=file /filename=d.bin
head -c 32256 pristine.img >head63.bin
check "/show=file of a headerless first head" 0 "$banner"$'\nDisplaying contents of file:  head63.bin\n\n File Version:  2.0\n File Content:  First Head\n Valid MBR:     Yes\n'"$rows"$'\n' \
    /show=file /filename=head63.bin
head -c 32256 /dev/zero >zero63.bin
check "/show=file of a first head without an MBR" 110 "$banner"$'\nDisplaying contents of file:  zero63.bin\n\n File Version:  2.0\n\n Error 110: The specified file does not contain the MBR signature\n' \
    /show=file /filename=zero63.bin
check "/show=sector" 0 "$banner"$'\nDisplaying contents of sector # 0 on Disk 0\n'"$rows"$'\n' /show=sector /sector=0
check "/show=sector without 55 AA" 510 "$banner"$'\n Error 510: Unable to locate a valid MBR at this location\n\n' \
    /show=sector /sector=63
check "/show=other" 118 "$banner"$'\n Error 118: Missing or Incomplete Parameter: /show=other\n' /show=other
check "/show=file without a name" 118 "$banner"$'\n Error 118: Missing or Incomplete Parameter: /Filename=\n' /show=file
check "/show=file of no file" 134 "$banner"$'\n Error 134: Unable to locate the specified file\n' /show=file /filename=none.bin

# The safety copy of sector 0 also goes to disk-0.mbr in the temporary folder
# (wine keeps its own), and into sector 30 only while that holds nothing or
# an earlier copy.
cp unsafe.img disk.img
put disk.img $((30 * 512)) 'boot loader code'
cp disk.img loader.img
check "a restore over a loader in sector 30" 0 - /restore=mbr /filename=m.bin /confirm
same_as loader.img "the safety copy beside a loader"
if [ "$target" = native ]; then
    cmp -s "$TMPDIR/disk-0.mbr" <(head -c 512 loader.img) ||
        { echo "FAIL $target: no safety copy in the temporary folder"; failures=$((failures + 1)); }
    # A link planted under the copy's name is replaced, never written
    # through, even by a run the user then cancels; the copy a new one
    # replaces becomes disk-0.mbr.1; a restore from the copy after /del
    # /part=* puts the table back, its own safety step leaving the file it
    # reads alone.
    cp pristine.img disk.img
    printf precious >victim.bin
    rm -f "$TMPDIR"/disk-0.mbr*
    ln -s "$work/victim.bin" "$TMPDIR/disk-0.mbr"
    feed n
    check "a cancelled /del beside a planted link" 129 - /del /part=1
    [ "$(cat victim.bin)" = precious ] && [ -L "$TMPDIR/disk-0.mbr.1" ] && [ ! -L "$TMPDIR/disk-0.mbr" ] ||
        fail "the planted link was written through"
    check "/del /part=*" 0 - /del /part=* /confirm
    for copy in disk-0.mbr disk-0.mbr.1; do
        cmp -s "$TMPDIR/$copy" <(head -c 512 pristine.img) || fail "$copy is not the table before /del /part=*"
    done
    check "/restore=mbr from the safety copy" 0 - /restore=mbr /filename="$TMPDIR/disk-0.mbr" /confirm
    cmp -s <(head -c 512 disk.img) <(head -c 512 pristine.img) || fail "the safety copy did not put the table back"
    ls "$TMPDIR" "$work" | grep -q partam-new && fail "a new file was left beside its target"
fi

# Refusals: none of them writes to the disk.
cp pristine.img disk.img
check "/save= without a file name" 133 "$banner"$'\n Error 133: Invalid or missing filename\n' /save=mbr
check "/save=range without a dash" 111 "$banner"$'\n Error 111: Missing or incomplete Range specified for the operation\n' \
    /save=range /range=5 /filename=x.bin
check "/save=range reversed" 111 "$banner"$'\n Error 111: Missing or incomplete Range specified for the operation\n' \
    /save=range /range=10-0 /filename=x.bin
truncate -s 1M "linux.img"
table linux.img 0 "$(entry 0 0x83 63 100)"
images linux.img
check "/save=vbr of a Linux partition" 149 "$banner"$'\n Error 149: Unsupported partition boot record for\n' /save=vbr /filename=x.bin
images disk.img
check "/save= into no folder" 562 "$banner"$'\n Error 562: Invalid path or filename specified\n\n' /save=mbr /filename=no/such/m.bin
check "/restore=mbr of a first head" 560 "$banner"$'\n Error 560: File size does not match requested command\n\n' \
    /restore=mbr /filename=h.bin /confirm
head -c 512 /dev/zero >zero.bin
check "/restore=mbr without 55 AA" 561 "$banner"$' 0 \n Error 561: File does not contain a valid MBR\n\n\n' \
    /restore=mbr /filename=zero.bin /confirm
check "/restore=disk past the disk's end" 560 "$banner"$'\n Error 560: File size does not match requested command\n\n' \
    /restore=16384 /filename=raw.bin /confirm
check "/restore= of no file" 564 "$banner"$'\n Error 564: Unable to locate specified file\n\n' /restore=mbr /filename=none.bin /confirm
same_as pristine.img "the refusals"

# --- A file with a header goes back where it came from: one that names
# another kind, first sector or partition is refused (560); a range goes
# back to its own sectors through /restore=range.
e560="$banner"$'\n Error 560: File size does not match requested command\n\n'
check "/restore=disk of a range" 560 "$e560" /restore=disk /filename=r.bin /confirm
check "/restore=0 of a range from 2040" 560 "$e560" /restore=0 /filename=r.bin /confirm
check "/restore=head of an MBR" 560 "$e560" /restore=head /filename=m.bin /confirm
check "/restore=vbr of partition 1's into 2" 560 "$e560" /restore=vbr /part=2 /filename=v.bin /confirm
check "/restore=range without a header" 560 "$e560" /restore=range /filename=raw.bin /confirm
same_as pristine.img "the restores elsewhere"
dd if=/dev/zero of=disk.img bs=512 seek=2040 count=11 conv=notrunc status=none
check "/restore=range" 0 "$(restored $'\n Sector Count: 11 \n 0 ' "specified sector range" r.bin)"$'\n' \
    /restore=range /filename=r.bin /confirm
same_as pristine.img /restore=range
# The success line names the file, not another switch's value.
check "/save=mbr beside /value=" 0 "$(saved MBR m2.bin)"$'\n' /save=mbr /filename=m2.bin /value=AC67AC68

# --- A chain that loops (513) stops the commands on partitions, not those
# on sectors, which save, restore and mend such a disk without /ignore.
truncate -s 4M loop.img
table loop.img 0 "$(entry 0 0x0f 2048 4096)"
table loop.img 2048 "$(entry 0 0x83 63 10)" "$(entry 0 5 0 10)"
images loop.img
check "/hide on a looping chain" 513 "$banner"$'\n Error 513: Partition table is corrupt\n\n' /hide /confirm
check "/save=mbr on a looping chain" 0 "$(saved MBR l.bin)"$'\n' /save=mbr /filename=l.bin
check "/restore=mbr on a looping chain" 0 "$(restored ' 0 ' MBR l.bin)"$'\n' /restore=mbr /filename=l.bin /confirm
check "/status on a looping chain" 0 "$banner"$'\n Status read successfully as 0  \n' /status
check "/copy on a looping chain" 0 "$banner"$'\n Sector was successfully copied \n' /copy /source=0 /target=100 /confirm
check "/wipe=range of the looping EBR" 0 "$banner"$'\n Specified sectors successfully cleared \n' \
    /wipe=range /range=2048-2048 /confirm
finish
