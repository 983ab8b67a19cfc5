#!/usr/bin/env bash
# Disks whose sector 0 holds no partition table, through the built program
# of one target (see lib.bash): a filesystem that mkfs.fat or mkntfs made on
# the whole disk, and Sun, SGI and Atari disk labels (a few bytes of each).
# Every command that writes into sector 0 refuses and leaves the image as it
# was, whichever check stops it; the safety copies made before such a
# command never land in a filesystem, so fsck.fat finds it clean. A table
# sfdisk wrote, without boot code, stays editable.
#
# usage: no_table.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"

need_sbin_tools mkfs.fat fsck.fat mkntfs sfdisk
compare_writes=1

# Each image and its copy as made (<name>.orig).
mkfs.fat -F 12 -C "$work/floppy.img" 1440 >/dev/null
truncate -s 64M "$work/fat16.img" "$work/fat32.img"
mkfs.fat -F 16 -I "$work/fat16.img" >/dev/null
mkfs.fat -F 32 -I "$work/fat32.img" >/dev/null
truncate -s 16M "$work/ntfs.img" "$work/sun.img" "$work/sgi.img" "$work/atari.img"
mkntfs -F -Q -q "$work/ntfs.img" >/dev/null 2>&1 || fail mkntfs
put sun.img 508 '\xda\xbe'
put sgi.img 0 '\x0b\xe5\xa9\x41'
# An Atari root sector: a partition entry at 454 (flag, "GEM", start, size, big-endian).
put atari.img 454 '\x01GEM\x00\x00\x00\x02\x00\x00\x10\x00'
truncate -s 16M "$work/plain.img"
printf 'label: dos\nstart=2048, size=4096, type=7\n' | sfdisk -q "$work/plain.img" >/dev/null || fail sfdisk
for image in floppy fat16 fat32 ntfs sun sgi atari plain; do cp "$work/$image.img" "$work/$image.orig"; done

# unchanged <label> <image>: the image is as it was made.
unchanged() {
    cmp "$work/$2.orig" "$work/$2.img" >/dev/null 2>&1 || {
        fail "$1: $2.img changed"
        cmp -l "$work/$2.orig" "$work/$2.img" | head -5
    }
}
# clean <label> <image>: fsck.fat finds nothing to mend.
clean() { fsck.fat -n "$work/$2.img" >"$work/fsck.out" 2>&1 || { fail "$1: fsck.fat -n on $2.img"; head -5 "$work/fsck.out"; }; }

said e106 $' Error 106: Invalid Partition specified.\n'
said e510 $' Error 510: Unable to locate a valid MBR at this location\n\n'
said e518 $' Error 518: Sector 0 holds no MBR partition table, nothing was written\n\n'
said e518create $' Error 518: Unable to create partition, invalid or missing MBR\n\n'

# A filesystem that fills the disk: no partition 1 to edit (106), no table
# to delete from, add to, mend or sign (518, 510).
for image in floppy fat16 fat32 ntfs; do
    images "$image.img"
    while IFS='|' read -r code output line; do
        # shellcheck disable=SC2086
        check "$line on $image.img" "$code" "${!output}" $line
        unchanged "$line" "$image"
        [ "$image" = ntfs ] || clean "$line" "$image"
    done <<'EOF'
518|e518|/del /part=* /confirm
518|e518|/del /disk=* /part=* /confirm
106|e106|/hide /confirm
106|e106|/sort /confirm
106|e106|/active /confirm
106|e106|/type=7 /confirm
518|e518create|/create
518|e518|/repair=pt /confirm
518|e518|/repair=xp /confirm
510|e510|/signature=generate /confirm
510|e510|/status=5 /confirm
EOF
done

# Another system's label lists no partitions; deleting them all writes nothing.
for image in sun sgi atari; do
    images "$image.img"
    check "/del /part=* on $image.img" 518 "$e518" /del /part=* /confirm
    unchanged "/del /part=*" "$image"
done

# The safety copies before a change on disk 0 leave the FAT volumes beside
# it as they were; sfdisk's table, without boot code, takes the change.
images plain.img fat16.img floppy.img
said hidden $' Partition(s) successfully hidden \n'
check "/hide beside FAT volumes" 0 "$hidden" /hide /confirm
[ "$(bytes "$work/plain.img" 450 1)" = 17 ] || fail "/hide: the type of plain.img's partition"
for image in fat16 floppy; do
    unchanged "/hide beside $image.img" "$image"
    clean "/hide beside $image.img" "$image"
done
finish
