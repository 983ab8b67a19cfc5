#!/usr/bin/env bash
# /verify through the built program of one target (see lib.bash): a clean
# disk from each peer verifies with 0; each kind of damage, made byte by
# byte in a copy of such a disk, gives its own finding line and 513 (a
# warning or a note alone gives 0); nothing is ever written.
#
# usage: verify.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"
cd "$work"

command -v sfdisk >/dev/null || skip "sfdisk is not installed"
command -v qemu-img >/dev/null || skip "qemu-img is not installed"

# An MBR with three logical partitions, in EBRs at 6144, 12288 and 18432.
truncate -s 64M mbr.img
sfdisk -q mbr.img <<'TABLE' || { echo "FAIL: sfdisk could not write mbr.img"; exit 1; }
label: dos
mbr.img1 : start=2048, size=4096, type=83
mbr.img2 : start=6144, size=40960, type=5
mbr.img5 : start=8192, size=4096, type=83
mbr.img6 : start=14336, size=4096, type=7
mbr.img7 : start=20480, size=4096, type=83
TABLE
cp mbr.img made.img
images disk.img other.img

# verified <label> <code> <finding lines> [<disk>]: /verify of disk 0 (or
# of the VMDK file named) prints them and its closing line, ends with the
# code, and leaves the image as it was.
verified() {
    local disk=${4:-0} count want
    count=$(printf '%s' "$3" | grep -c -v -e ': warning: ' -e ': note: ' -e '^$')
    case $count in
    0) want=" No problems found on disk $disk." ;;
    1) want=" 1 problem found on disk $disk." ;;
    *) want=" $count problems found on disk $disk." ;;
    esac
    want="$banner"$'\n'"${3:+$3$'\n'}$want"$'\n\n'
    [ "$2" -ne 0 ] && want+=$' Error 513: Partition table is corrupt\n\n'
    cp disk.img before.img
    check "$1" "$2" "$want" /verify ${4:+"/disk=$4"}
    cmp -s disk.img before.img || fail "$1: /verify wrote"
}

# damaged <label> <code> <finding lines> <offset> <bytes> [<offset> <bytes>...]
damaged() {
    local label=$1 code=$2 lines=$3
    shift 3
    cp made.img disk.img
    while [ $# -gt 0 ]; do put disk.img "$1" "$2"; shift 2; done
    verified "$label" "$code" "$lines"
}

cp made.img disk.img
truncate -s 1M other.img
verified "a clean sfdisk disk" 0 ""

slot() { echo $((446 + 16 * $1 + ${2:-0})); }
ebr() { echo $(($1 * 512 + 446 + 16 * $2 + ${3:-0})); }
damaged "no 55 AA" 513 " Disk 0, MBR: no boot signature (55 AA) at its end" 510 '\x00\x00'
damaged "a status byte of 0x81" 513 " Disk 0, partition 1: status byte 0x81 is neither 0x00 nor 0x80" \
    "$(slot 0)" '\x81'
damaged "two active entries" 513 " Disk 0, MBR: 2 partitions are marked active" "$(slot 0)" '\x80' "$(slot 1)" '\x80'
damaged "an entry without sectors" 513 " Disk 0, partition 1: type 0x83 with no sectors" \
    "$(slot 0 12)" '\x00\x00\x00\x00'
damaged "an entry at sector 0" 513 " Disk 0, partition 1: starts at sector 0, the MBR's own
 Disk 0, partition 1: warning: CHS start 0/32/33 does not match LBA 0 (0/0/1)
 Disk 0, partition 1: warning: CHS end 0/97/33 does not match LBA 4095 (0/65/1)" "$(slot 0 8)" '\x00\x00\x00\x00'
damaged "an entry past the end" 513 \
    " Disk 0, partition 1: starts past the end of the disk (sector 16777216; the disk has 131072 sectors)" \
    "$(slot 0 8)" '\x00\x00\x00\x01'
damaged "an entry reaching past the end" 513 " Disk 0, partition 2: reaches past the end of the disk (to sector 137215; the disk has 131072 sectors)
 Disk 0, partition 2: warning: CHS end 2/237/43 does not match LBA 137215 (8/138/2)" \
    "$(slot 1 12)" '\x00\x00\x02\x00'
damaged "overlapping primaries" 513 " Disk 0, partition 1: warning: CHS end 0/97/33 does not match LBA 10239 (0/162/34)
 Disk 0, partition 2: overlaps partition 1
 Disk 0, logical partition 1: overlaps partition 1" "$(slot 0 12)" '\x00\x20\x00\x00'
damaged "a looping chain" 513 " Disk 0, EBR at sector 12288: links back to the EBR at sector 6144" \
    "$(ebr 12288 1 8)" '\x00\x00\x00\x00'
damaged "a link outside the extended partition" 513 \
    " Disk 0, EBR at sector 6144: links to sector 71680, outside its extended partition" \
    "$(ebr 6144 1 8)" '\x00\x00\x01\x00'
damaged "a link outside the disk" 513 " Disk 0, EBR at sector 6144: links to sector 137216, outside the disk" \
    "$(ebr 6144 1 8)" '\x00\x00\x02\x00'
damaged "an EBR without 55 AA" 513 " Disk 0, EBR at sector 18432: no boot signature (55 AA) at its end" \
    $((18432 * 512 + 510)) '\x00\x00'
damaged "a logical partition outside its extended partition" 513 " Disk 0, logical partition 3: lies outside its extended partition
 Disk 0, logical partition 3: warning: CHS end 1/135/6 does not match LBA 53247 (3/80/13)" \
    "$(ebr 18432 0 12)" '\x00\x80\x00\x00'
damaged "overlapping logical partitions" 513 " Disk 0, logical partition 1: warning: CHS end 0/195/3 does not match LBA 16383 (1/5/4)
 Disk 0, logical partition 2: overlaps logical partition 1" "$(ebr 6144 0 12)" '\x00\x20\x00\x00'
damaged "CHS alone" 0 " Disk 0, partition 1: warning: CHS start 0/1/33 does not match LBA 2048 (0/32/33)" \
    "$(slot 0 1)" '\x01'

# Every disk, each with its closing line; the first finding decides.
cp made.img disk.img
put other.img 510 '\x55\xaa'
check "/disk=*" 0 "$banner"$'\n No problems found on disk 0.\n No problems found on disk 1.\n\n' /verify /disk=*

# Virtual disks: their own structures first, then the table inside.
qemu-img convert -O vmdk -o subformat=monolithicSparse made.img sparse.vmdk
qemu-img convert -O vmdk -o subformat=monolithicFlat made.img flat.vmdk
cp sparse.vmdk sparse.orig
verified "a clean sparse VMDK" 0 "" sparse.vmdk
verified "a clean flat VMDK" 0 "" flat.vmdk
u() { od -An -tu"$1" -j "$2" -N "$1" sparse.vmdk | tr -d ' '; }
redundant=$(u 4 $(($(u 8 48) * 512)))
primary=$(u 4 $(($(u 8 56) * 512)))
put sparse.vmdk $((redundant * 512)) '\xff\xff\xff\x7f'
verified "a redundant grain table that differs" 513 \
    " Disk sparse.vmdk, extent 1 (sparse.vmdk), grain table 0: differs from its redundant copy" sparse.vmdk
put sparse.vmdk $((primary * 512)) '\xff\xff\xff\x7f'
verified "a grain outside the file" 513 " Disk sparse.vmdk, extent 1 (sparse.vmdk), grain table 0: 1 grain entry points outside the file or into its header or directories (entry 0: sector 2147483647)
 Disk sparse.vmdk, MBR: cannot be read" sparse.vmdk
truncate -s 32M flat-flat.vmdk
verified "a flat extent cut short" 513 \
    " Disk flat.vmdk, extent 1 (flat-flat.vmdk): its file holds 65536 sectors, the descriptor 131072 from sector 0" \
    flat.vmdk
# GPT: each copy's header and entries on their own line, then how the
# partitions of the copy that passes stand to each other.
command -v sgdisk >/dev/null || skip "sgdisk is not installed"
rm -f made.img && truncate -s 16M made.img
sgdisk -n1:2048:+4M -t1:0700 -n2:0:+4M -t2:8200 made.img >/dev/null
cp made.img disk.img
verified "a clean sgdisk disk" 0 ""
damaged "a primary entry array changed" 513 " Disk 0, primary GPT entries: entry array CRC mismatch" \
    $((2 * 512 + 40)) '\x00'
damaged "a backup header without its signature" 513 " Disk 0, backup GPT header: no \"EFI PART\" signature
 Disk 0, backup GPT entries: note: not checked: its header failed" $((32767 * 512)) 'X'
sgdisk -u2:"$(sgdisk -i1 made.img | sed -n 's/Partition unique GUID: //p')" made.img >/dev/null
damaged "a unique GUID twice" 513 " Disk 0, partition 2: has the unique GUID of partition 1"
sgdisk -u2:R -h1 made.img >/dev/null
damaged "a hybrid MBR" 0 " Disk 0, protective MBR: note: a hybrid MBR: 1 partition beside the GPT entry"
finish
