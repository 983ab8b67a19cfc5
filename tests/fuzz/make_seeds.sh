#!/usr/bin/env bash
# Makes the seed corpora of tests/fuzz/corpus from images that sfdisk, sgdisk,
# mkntfs, mkfs.fat and qemu-img make in a scratch folder, and from backups
# that the program itself saves of them (build/native/partam, or the one
# named by PARTAM). Only files made here are used, never a disk of this
# machine. Needs python3. The seeds are committed; run again only to
# refresh them (findings' regression inputs are kept as they are).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$root/tests/fuzz/corpus"
partam="$(realpath "${PARTAM:-$root/build/native/partam}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p "$out"/{mbr,gpt,vmdk,backup,ntfs,switches}

# An image as the sparse disk of fuzz_input.h: its size, a flags byte and
# the sectors that are not zero (only those of the given ranges, when any
# is given as FIRST-LAST).
sparse() {
    python3 - "$@" <<'EOF'
import struct, sys
image, dest, size, flags = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
ranges = [tuple(map(int, r.split('-'))) for r in sys.argv[5:]]
data = open(image, 'rb').read()
out = bytearray(struct.pack('<Q', size | flags << 56))
for lba in range(len(data) // 512):
    sector = data[lba * 512:(lba + 1) * 512]
    if any(sector) and (not ranges or any(a <= lba <= b for a, b in ranges)):
        out += struct.pack('<Q', lba) + sector
open(dest, 'wb').write(out)
EOF
}
sectors() { echo $(($(stat -c %s "$1") / 512)); }

# --- MBR: primaries, an extended chain, a super-floppy, as fixed and
# removable media (flags: 1 no medium, 2 removable, 4 super-floppy probe,
# 8 the system's view of the slots).
truncate -s 64M primaries.img logicals.img
printf 'label: dos\n2048,20480,7,*\n,20480,c\n,,83\n' | sfdisk -q primaries.img
printf 'label: dos\n2048,8192,7\n,,5\n,8192,83\n,8192,7\n,,c\n' | sfdisk -q logicals.img
sparse primaries.img "$out/mbr/primaries" "$(sectors primaries.img)" 0
sparse logicals.img "$out/mbr/logicals" "$(sectors logicals.img)" 0
sparse logicals.img "$out/mbr/logicals-removable" "$(sectors logicals.img)" 10
sparse logicals.img "$out/mbr/logicals-size-unknown" 0 0
sparse logicals.img "$out/mbr/no-medium" "$(sectors logicals.img)" 1
truncate -s 40M fat.img
/usr/sbin/mkfs.fat -F 32 fat.img >/dev/null
sparse fat.img "$out/mbr/superfloppy-fat32" "$(sectors fat.img)" 12 0-2

# --- GPT: a partition of each type the catalogue names, an NTFS volume in
# the basic data one; the same with the size unknown, with the backup gone
# and with the primary header gone.
truncate -s 64M gpt.img
sgdisk -n 1:2048:+4M -t 1:ef00 -n 2:0:+1M -t 2:0c01 -n 3:0:+16M -t 3:0700 -n 4:0:+4M -t 4:8200 \
    -n 5:0:+4M -t 5:fd00 -n 6:0:+4M -t 6:8e00 -n 7:0:+1M -t 7:af00 gpt.img >/dev/null 2>&1
truncate -s 16M ntfs.img
/usr/sbin/mkntfs -q -F -Q -L Data ntfs.img >/dev/null 2>&1
start=$(sgdisk -i 3 gpt.img | awk '/First sector/ {print $3}')
dd if=ntfs.img of=gpt.img bs=512 count=3 seek="$start" conv=notrunc status=none
total=$(sectors gpt.img)
sparse gpt.img "$out/gpt/types" "$total" 0
sparse gpt.img "$out/gpt/size-unknown" 0 0
sparse gpt.img "$out/gpt/no-backup" "$total" 0 0-$((total - 34))
sparse gpt.img "$out/gpt/no-primary" "$total" 0 0-0 2-$((total - 1))

# --- NTFS: volumes as mkntfs makes them, with the boot sector, the first
# records of the master file table and the backup boot sector.
ntfs_seed() {  # name, mkntfs options...
    local name="$1"
    shift
    rm -f vol.img && truncate -s 16M vol.img
    /usr/sbin/mkntfs -q -F -Q "$@" vol.img >/dev/null 2>&1
    local mft
    mft=$(python3 -c "import struct,sys; b=open('vol.img','rb').read(512); \
print(struct.unpack('<Q', b[48:56])[0] * struct.unpack('<H', b[11:13])[0] * b[13] // 512)")
    sparse vol.img "$out/ntfs/$name" "$(sectors vol.img)" 0 0-0 "$mft-$((mft + 31))" "$(($(sectors vol.img) - 1))-$(sectors vol.img)"
}
ntfs_seed label -L Archive
ntfs_seed label-beyond-ascii -L "Données-数据"
ntfs_seed no-label
ntfs_seed small-clusters -c 512 -L Small
ntfs_seed large-clusters -c 65536 -L Large
ntfs_seed sector-4096 -s 4096 -L Wide

# --- VMDK: the four plain layouts of a disk holding an MBR; the extent files
# are renamed 1.vmdk, 2.vmdk, ... as the target names them.
sep=$'\n--next file--\n'
truncate -s 4M raw.img
printf 'label: dos\n2048,,7,*\n' | sfdisk -q raw.img
joined() {  # dest, the disk's file, extent files...
    local dest="$1" disk="$2" n=1
    shift 2
    cp "$disk" joined.bin
    for f in "$@"; do
        sed -i "s/\"$f\"/\"$n.vmdk\"/" joined.bin
        printf '%s' "$sep" >>joined.bin
        cat "$f" >>joined.bin
        n=$((n + 1))
    done
    cp joined.bin "$dest"
}
qemu-img convert -f raw -O vmdk -o subformat=monolithicSparse raw.img ms.vmdk
cp ms.vmdk "$out/vmdk/monolithic-sparse"
qemu-img convert -f raw -O vmdk -o subformat=twoGbMaxExtentSparse raw.img ts.vmdk
joined "$out/vmdk/split-sparse" ts.vmdk ts-s001.vmdk
truncate -s 64K small.img
printf 'label: dos\n1,,7,*\n' | sfdisk -q small.img
qemu-img convert -f raw -O vmdk -o subformat=monolithicFlat small.img mf.vmdk
joined "$out/vmdk/monolithic-flat" mf.vmdk mf-flat.vmdk
qemu-img convert -f raw -O vmdk -o subformat=twoGbMaxExtentFlat small.img tf.vmdk
joined "$out/vmdk/split-flat" tf.vmdk tf-f001.vmdk
{
    printf '# Disk DescriptorFile\nversion=1\nCID=fffffffe\nparentCID=ffffffff\ncreateType="monolithicFlat"\n'
    printf 'RW 64 FLAT "1.vmdk" 0\nRDONLY 64 FLAT "1.vmdk" 64\nRW 128 ZERO\n'
    printf 'ddb.adapterType = "lsilogic"\nddb.geometry.cylinders = "1"\nddb.geometry.heads = "16"\nddb.geometry.sectors = "63"'
    printf '%s' "$sep"
    head -c 65536 small.img
} >"$out/vmdk/extents-of-each-kind"

# --- Backups the program saves of these images, with and without header.
if [ -x "$partam" ]; then
    save() {  # image, name, switches...
        local image="$1" name="$2"
        shift 2
        rm -f b.bin
        PARTAM_DISKS="$image" "$partam" "$@" /filename=b.bin /silent >/dev/null || true
        [ -f b.bin ] && cp b.bin "$out/backup/$name"
    }
    save logicals.img mbr /save=mbr
    save logicals.img mbr-no-header /save=mbr /nohdr
    save logicals.img range /save=range /range=2048-2060
    save primaries.img vbr /save=vbr /part=1
    save gpt.img gpt /save=gpt
    truncate -s 32K tiny.img
    printf 'label: dos\n1,40,7\n41,,5\n' | sfdisk -q tiny.img
    save tiny.img disk /save=disk
fi

# --- Switches: one argument a line, as a command line or an options file.
sw() { printf '%s\n' "${@:2}" >"$out/switches/$1"; }
sw list /list /disk=0 /freespace /logical /text
sw save /save=range /range=0-62 /filename=C:\\b.bin /nohdr
sw restore -restore=4194303 -filename=three.bin -disk=vm.vmdk -confirm
sw create /create /pri /size=100 /type=7 /align=1 /start=2048
sw type /type=0Bd /part=2 /ignore /msg=1
sw signature /signature=write /value=AC67AC68 /result /debug
sw status /status=254 /volumeid=read /part=system
sw repair /repair=win7 /disk=* /shutdown=4
sw wipe /wipe=range /range=100-200 /sector=9 /show=sector
sw copy /copy /source=1 /target=2 /vol=C: /option=1 /writeini=C:\\x.ini
sw overlong "/filename=$(printf 'a%.0s' {1..600})" /save=mbr
printf '/list\t/disk=0\r\n/text  /result\r\n' >"$out/switches/options-file"
