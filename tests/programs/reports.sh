#!/usr/bin/env bash
# The reports run through the built program of one target (see lib.bash) on
# image files: the INI file of /writeini= byte for byte, /info, and the boot
# menu with its answer line on standard input, with every byte it changed.
#
# usage: reports.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"

command -v sfdisk >/dev/null || skip "sfdisk is not installed"
# The report file is named relative to the folder the programs run in.
program=$(realpath "$program") native=$(realpath "$native")
cd "$work" || exit 1
target_files=(r.ini)

# make_image <name> <size> <sfdisk script>: the image with boot code, and a
# copy as it was made (<name>.orig).
make_image() {
    truncate -s "$2" "$work/$1"
    printf '%b' "$3" | sfdisk -q "$work/$1" >/dev/null || { echo "FAIL: sfdisk could not write $1"; exit 1; }
    if [[ $3 != *"label: gpt"* ]]; then
        put "$1" 0 '\x33\xc0\xfa\xbc\x00\x7c\x8e\xd0'
        # The safety copy of sector 0 that a command which may change the
        # table puts into sector 30 is there already.
        dd if="$work/$1" of="$work/$1" bs=512 count=1 seek=30 conv=notrunc status=none
    fi
    cp "$work/$1" "$work/$1.orig"
}
# ini_file <label> <lines>: r.ini must hold the lines, each begun by CR LF
# (the first line of the text is empty: the file begins with a line break),
# and nothing after the last.
ini_file() {
    local want=${2//$'\n'/$'\r\n'}
    if ! cmp -s <(printf '%s' "$want") "$work/r.ini"; then
        echo "FAIL $target $1: r.ini differs"
        diff <(printf '%s' "$want" | od -c) <(od -c "$work/r.ini" 2>&1) | head -20
        failures=$((failures + 1))
    fi
}

# A boot sector's name and serial number at a sector: FAT32 keeps the serial
# at 67, NTFS at 72.
make_image report.img 64M 'label: dos\nlabel-id: 0x3412000a\nstart=2048, size=8192, type=7\n
start=10240, size=40960, type=f\nstart=51200, size=2304, type=83, bootable\nstart=12288, size=4096, type=c\n
start=18432, size=4096, type=1c\n'
put report.img $((2048 * 512 + 3)) 'NTFS    '
put report.img $((2048 * 512 + 72)) '\x88\x77\x66\x55\x44\x33\x22\x11'
put report.img $((12288 * 512 + 82)) 'FAT32   '
put report.img $((12288 * 512 + 67)) '\x34\x12\xcd\xab'
make_image gpt.img 16M 'label: gpt\nstart=2048, size=4096, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n'
put gpt.img $((2048 * 512 + 82)) 'FAT32   '
put gpt.img $((2048 * 512 + 67)) '\x0d\xf0\xad\x0b'
cp "$work/gpt.img" "$work/gpt.img.orig"
truncate -s 1M "$work/blank.img"

written() { said "$1" " MBR information was successfully written to $2 "$'\n'; }
written ok_r r.ini

# --- /writeini=: the head, [System], each disk and its partitions. The
# primaries come first by number, the logical partitions after them in
# chain order; ActivePart of the disk names the section of the active one.
# The signature 0A 00 12 34 is 34120a; 1.125 MiB is SizeMB=1.13.
images report.img gpt.img
rm -f r.ini
check "/writeini= of an MBR and a GPT disk" 0 "$ok_r" /writeini=r.ini
ini_file "/writeini= of an MBR and a GPT disk" "
 Partam - Version 3.0.46 beta  for $platform    Feb 9, 2010
Partition tables at the sector level
-----------------------------------------------------------------------------

[System]
DiskCount=2

[Disk0]
Size=67108864
SizeMB=64.00
SizeGB=0.06
SizeTB=0.00
Type=MBR
Interface=File
Description=report.img
Removable=No
PartitionCount=3
ActivePart=3
Cylinders=8
Heads=255
SectorsPerTrack=63
Signature=34120a

[Disk0.Partition1]
ActivePart=No
Primary=Yes
Size=4194304
SizeMB=4.00
SizeGB=0.00
SizeTB=0.00
VolumeID=5566-7788
LBAStart=2048
LBAEnd=10240
LBATotal=8192
CylStart=0
CylEnd=0
HeadStart=32
HeadEnd=162
SectStart=33
SectEnd=34

[Disk0.Partition2]
ActivePart=No
Primary=Yes
Size=20971520
SizeMB=20.00
SizeGB=0.02
SizeTB=0.00
VolumeID=
LBAStart=10240
LBAEnd=51200
LBATotal=40960
CylStart=0
CylEnd=3
HeadStart=162
HeadEnd=47
SectStart=35
SectEnd=44

[Disk0.Partition3]
ActivePart=Yes
Primary=Yes
Size=1179648
SizeMB=1.13
SizeGB=0.00
SizeTB=0.00
VolumeID=
LBAStart=51200
LBAEnd=53504
LBATotal=2304
CylStart=3
CylEnd=3
HeadStart=47
HeadEnd=84
SectStart=45
SectEnd=17

[Disk0.Partition4]
ActivePart=No
Primary=No
Size=2097152
SizeMB=2.00
SizeGB=0.00
SizeTB=0.00
VolumeID=ABCD-1234
LBAStart=12288
LBAEnd=16384
LBATotal=4096
CylStart=0
CylEnd=1
HeadStart=195
HeadEnd=5
SectStart=4
SectEnd=4

[Disk0.Partition5]
ActivePart=No
Primary=No
Size=2097152
SizeMB=2.00
SizeGB=0.00
SizeTB=0.00
VolumeID=
LBAStart=18432
LBAEnd=22528
LBATotal=4096
CylStart=1
CylEnd=1
HeadStart=37
HeadEnd=102
SectStart=37
SectEnd=37

[Disk1]
Size=16777216
SizeMB=16.00
SizeGB=0.02
SizeTB=0.00
Type=GPT
Interface=File
Description=gpt.img
Removable=No
PartitionCount=1

[Disk1.Partition1]
Primary=Yes
Size=2097152
SizeMB=2.00
SizeGB=0.00
SizeTB=0.00
VolumeID=0BAD-F00D
LBAStart=2048
LBAEnd=6144
LBATotal=4096
Description=Basic Data Partition
Readonly=No
VolumeName="

# Disk index 10 is the character after 9; a disk without partitions has no
# partition sections, and without 55 AA no signature (0) and no active one.
images report.img blank.img blank.img blank.img blank.img blank.img blank.img blank.img blank.img blank.img blank.img
rm -f r.ini
check "/writeini= of eleven disks" 0 "$ok_r" /writeini=r.ini
expect "disk index 10" "the last section" "$(printf '\r\n\r\n[Disk:]\r\nSize=1048576\r\nSizeMB=1.00\r\nSizeGB=0.00\r
SizeTB=0.00\r\nType=MBR\r\nInterface=File\r\nDescription=blank.img\r\nRemovable=No\r\nPartitionCount=0\r
ActivePart=N/A\r\nCylinders=0\r\nHeads=255\r\nSectorsPerTrack=63\r\nSignature=0000' | od -c)" \
    "$(LC_ALL=C sed -n '/^\[Disk:\]/,$p' "$work/r.ini" | { printf '\r\n\r\n'; cat; } | od -c)"
grep -q $'^DiskCount=11\r$' "$work/r.ini" || { echo "FAIL $target: DiskCount=11 missing"; failures=$((failures + 1)); }

# A file that cannot be created: 104, with the name as given. A selected
# disk without partition 1: 106 before any file is made.
rm -f r.ini
said e104 $' Error 104: Unable to write MBR information to file nofolder/r.ini.\n'
check "/writeini= into a missing folder" 104 "$e104" /writeini=nofolder/r.ini
said e106 $' Error 106: Invalid Partition specified.\n'
images blank.img report.img
check "/writeini= with no partition 1 on disk 0" 106 "$e106" /writeini=r.ini
[ -e "$work/r.ini" ] && { echo "FAIL $target: a refused /writeini= wrote r.ini"; failures=$((failures + 1)); }
check "/info with no partition 1 on disk 0" 106 "$e106" /info

# --- /info: one block per disk; no BIOS extension can be asked for.
images report.img gpt.img
check "/info of two disks" 0 "$banner"'
 Disk:       0
 Bios Ext:   None
 Host Bus:   Not Supported
 Interface:  Not Supported
 CHS:        8 255 63     Sectors: 131072   Size: 64.00MB

 Disk:       1
 Bios Ext:   None
 Host Bus:   Not Supported
 Interface:  Not Supported
 CHS:        2 255 63     Sectors: 32768   Size: 16.00MB

' /info

# --- /bootmenu: partitions 1 (07, active), 2 (0F, not listed) and 3 (1B,
# hidden), a logical one in 2; the status bytes are at 446 and 478, the
# third type at 482. The answer is one line of standard input.
compare_writes=1
make_image menu.img 32M 'label: dos\nstart=2048, size=4096, type=7, bootable\nstart=6144, size=8192, type=f\n
start=14336, size=4096, type=1b\nstart=8192, size=2048, type=83\n'
menu_of() {
    printf '%s\n\n Disk: %s   Size: %s  Name: %s\n' "$banner" "$1" "$2" "$3"
    printf '\n ID  Volume Label DL Type/Name  Size  Active  Hidden  Start Sector'
    printf '\n --  ------------ -- ---------  ----  ------  ------  ------------'
}
menu="$(menu_of 0 32.00MB menu.img)"'
  1  <None>          07-NTFS    2.0M   Yes     No            2,048
  3  <None>          1B-FAT32   2.0M   No      Yes          14,336

 Select the partition id to set active: '
invalid=$'\n Error 101: Invalid partition ID specified\n'
images menu.img report.img
for answer in 2 0 9 -1 '' ' x'; do
    fresh menu.img
    feed "$answer"$'\n'
    check "/bootmenu answered '$answer'" 101 "$menu$invalid" /bootmenu
    expect "/bootmenu answered '$answer'" "bytes changed" "" "$(changes menu.img)"
done
fresh menu.img
check "/bootmenu with its input closed" 101 "$menu$invalid" /bootmenu
expect "/bootmenu with its input closed" "bytes changed" "" "$(changes menu.img)"
fresh menu.img
feed ''
check "/bootmenu with an empty input" 101 "$menu$invalid" /bootmenu
# Choosing the hidden partition unhides it and makes it the only active one.
for answer in 3 ' 3' $'3\r' '3abc'; do
    fresh menu.img
    feed "$answer"$'\n'
    check "/bootmenu answered '$answer'" 0 "$menu"$' \n Partition 3 successfully set to active \n' /bootmenu
    expect "/bootmenu answered '$answer'" "bytes changed" $'446 80 00\n478 00 80\n482 1b 0b' "$(changes menu.img)"
done
fresh menu.img
feed $'1abc\n3\n'
check "/bootmenu reads one line" 0 "$menu"$' \n Partition 1 successfully set to active \n' /bootmenu
expect "/bootmenu answered 1abc" "bytes changed" "" "$(changes menu.img)"

# The head names the disk the menu is of.
images report.img menu.img
fresh menu.img
feed $'3\n'
check "/bootmenu of disk 1" 0 "$(menu_of 1 32.00MB menu.img)"'
  1  <None>          07-NTFS    2.0M   Yes     No            2,048
  3  <None>          1B-FAT32   2.0M   No      Yes          14,336

 Select the partition id to set active:  
 Partition 3 successfully set to active 
' /bootmenu /disk=1
expect "/bootmenu of disk 1" "bytes changed" $'446 80 00\n478 00 80\n482 1b 0b' "$(changes menu.img)"

# Nothing to choose from: nothing asked, nothing recorded. A GPT disk has
# no active flag to set.
make_image extended.img 16M 'label: dos\nstart=2048, size=8192, type=f\nstart=4096, size=2048, type=7\n'
images extended.img gpt.img
feed $'1\n'
check "/bootmenu of an extended partition alone" 0 "$(menu_of 0 16.00MB extended.img)" /bootmenu
expect "/bootmenu of an extended partition alone" "bytes changed" "" "$(changes extended.img)"
said e131 $' Error 131: Unable to perform GPT operations on Non-GPT Disks\n'
feed $'1\n'
check "/bootmenu of a GPT disk" 131 "$e131" /bootmenu /disk=1
expect "/bootmenu of a GPT disk" "bytes changed" "" "$(changes gpt.img)"
finish
