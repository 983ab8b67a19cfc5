#!/usr/bin/env bash
# VMDK virtual disks through the built program of one target (see lib.bash).
# qemu-img makes the four layouts from one partitioned raw image; each is
# listed exactly as the image, and what the program writes into them reads
# back through `qemu-img convert -O raw` at the sectors it was written to,
# with nothing else changed, and passes `qemu-img check`.
#
# usage: vdisk.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"
cd "$work"

command -v qemu-img >/dev/null || skip "qemu-img is not installed"
command -v sfdisk >/dev/null || skip "sfdisk is not installed"

# raw.img: 3 GiB, holes but for what is written. Partition 2 lies beyond the
# first 2 GB extent of the split layouts; named sectors say where they are.
truncate -s 3G raw.img
printf 'label: dos\nlabel-id: 0x1a2b3c4d\nstart=2048, size=204800, type=7, bootable
start=4300800, size=204800, type=c\n' | sfdisk -q raw.img || { echo "FAIL: sfdisk could not write raw.img"; exit 1; }
put raw.img 0 '\x33\xc0'
for s in 2048 4300800 4300801 4300802 4300803; do put raw.img $((s * 512 + 100)) "sector $s"; done
layouts=(monolithicFlat monolithicSparse twoGbMaxExtentFlat twoGbMaxExtentSparse)
for layout in "${layouts[@]}"; do
    qemu-img convert -O vmdk -o subformat="$layout" raw.img "$layout.vmdk" ||
        { echo "FAIL: qemu-img could not make $layout.vmdk"; exit 1; }
done
declare -A described=(
    [monolithicFlat]="VMware Pre-allocated Flat Disk File"
    [monolithicSparse]="VMware Standard Disk File"
    [twoGbMaxExtentFlat]="VMware Pre-allocated 2GB Flat Disk File"
    [twoGbMaxExtentSparse]="VMware 2GB Standard Disk File"
)
# The one image of PARTAM_DISKS: no run reaches a drive of this machine.
truncate -s 1M blank.img
images blank.img

for layout in "${layouts[@]}"; do
    check "/list of $layout" 0 "$banner"'
 ----------------------------------------------------------------------------- 
  Disk: Virtual                   MBR/GPT:         MBR                         
    Size:        3.00GB           CHS:             6241 16 63                  
    Sectors:     6291456          Disk Signature:  0x1A2B3C4D                  
    Partitions:  2                Partition Order: 1 2                         
    Media Type:  Fixed            Interface:       IDE                         
'"$(printf '    Description: %-61s ' "${described[$layout]}")"'
 ----------------------------------------------------------------------------- 
 Pos Idx Type/Name Size Boot Hide  Start Sector  Total Sectors  DL Vol Label   
 --- --- --------- ---- ---- ---- -------------- -------------- -- ----------- 
  1   1  07-NTFS   100M  Yes  No           2,048        204,800 NA <Virtual>   
  2   2  0C-FAT32X 100M  No   No       4,300,800        204,800 NA <Virtual>   
 ----------------------------------------------------------------------------- 

' /list /text "/disk=$layout.vmdk"
done

# sectors <image> <sector>...: the named sectors of an image, one line of hex
# each, to compare and to show where they differ.
sectors() {
    local image=$1 s
    shift
    for s in "$@"; do
        printf '%s: ' "$s"
        dd if="$image" bs=512 skip="$s" count=1 status=none | od -An -v -tx1 | tr -d ' \n'
        echo
    done
}
# The sectors written below, those around them, and the named ones.
watched=(0 1 2047 2048 2999999 3000000 3000100 3000101 4194302 4194303 4194304 4194305 4194306
    4300799 4300800 4300801 4300802 4300803 6291455)

# clean <layout> <label>: qemu-img finds nothing wrong with the layout, and
# none of its sparse extents is left marked as being changed.
clean() {
    local f
    if ! qemu-img check "$1.vmdk" >check.out 2>&1 || ! grep -q '^No errors were found on the image.$' check.out; then
        fail "$2: qemu-img check of $1"
        head -5 check.out
    fi
    for f in "$1"*.vmdk; do
        if [ "$(head -c 4 "$f")" = KDMV ] && [ "$(bytes "$f" 72 1)" != 00 ]; then fail "$2: $f is left marked unclean"; fi
    done
}

# Each layout read back by qemu-img must hold the sectors of expect.img, and
# be clean.
cp --sparse=always raw.img expect.img
read_back() {
    local layout
    for layout in "${layouts[@]}"; do
        rm -f back.raw
        qemu-img convert -O raw "$layout.vmdk" back.raw
        if ! cmp -s <(sectors expect.img "${watched[@]}") <(sectors back.raw "${watched[@]}"); then
            echo "FAIL $target $1: $layout reads back other sectors"
            diff <(sectors expect.img "${watched[@]}") <(sectors back.raw "${watched[@]}") | cut -c1-100 | head -8
            failures=$((failures + 1))
        fi
        clean "$layout" "$1"
    done
}

# A restore of three sectors across the boundary of the 2 GB extents, into
# grains the sparse layouts have not placed yet; the boot record of
# partition 2, beyond the first extent, saved.
printf 'three sectors %.0s' {1..110} | head -c 1536 >three.bin
for layout in "${layouts[@]}"; do
    check "/restore= across the extents of $layout" 0 \
        "$banner"$'\n Sector Count: 3 \n 0 \n The specified sector range was successfully restored from three.bin\n' \
        /restore=4194303 /filename=three.bin "/disk=$layout.vmdk" /confirm
    check "/save=vbr /part=2 of $layout" 0 \
        "$banner"$'\n The volume boot record was successfully saved to v.bin\n' \
        /save=vbr /part=2 /filename=v.bin "/disk=$layout.vmdk"
    cmp -s <(tail -c 1536 v.bin) <(dd if=raw.img bs=512 skip=4300800 count=3 status=none) ||
        { echo "FAIL $target: the boot record saved from $layout is not sectors 4300800-4300802"; failures=$((failures + 1)); }
done
dd if=three.bin of=expect.img bs=512 seek=4194303 conv=notrunc status=none
read_back "/restore="

# A range across the extents' boundary, saved: what the disk holds there,
# data and the zeros of holes and grains without a place alike.
for layout in "${layouts[@]}"; do
    check "/save=range of $layout" 0 - /save=range /range=4194000-4300900 /filename=s.bin "/disk=$layout.vmdk"
    cmp -s <(tail -c +513 s.bin) <(dd if=expect.img bs=512 skip=4194000 count=106901 status=none) ||
        fail "the range saved from $layout is not the disk's sectors 4194000-4300900"
done

# Virtual disk files that are none, and their codes.
sed 's/monolithicFlat-flat/missing-flat/' monolithicFlat.vmdk >missing.vmdk
sed 's/"monolithicFlat"/"streamOptimized"/' monolithicFlat.vmdk >stream.vmdk
check "no such file" 565 "$banner"$'\n Error 565: Unable to locate the specified virtual disk file\n\n' /list /disk=none.vmdk
check "a raw image" 302 "$banner"$'\n Error 302: Specified file is not a VMware disk file\n\n' /list /disk=raw.img
check "a missing extent" 303 "$banner"$'\n Error 303: Unable to open a required file for the specified virtual disk\n\n' \
    /list /disk=missing.vmdk
check "another type" 304 "$banner"$'\n Error 304: Unable to determine the specific virtual disk type\n\n' \
    /list /disk=stream.vmdk

# The commands that edit, copy and wipe work on the virtual disk's own
# sectors: /hide sets type 0x17 in its sector 0, /copy takes a sector of the
# second extent into a grain of the first that had no place yet, /wipe=
# clears two sectors across the extents' boundary. Each runs once per
# layout on the target's program, and the disks read back as expected.
compare_writes=1
for layout in "${layouts[@]}"; do
    # shellcheck disable=SC2207
    written_files=($(cd "$work" && ls "$layout"*.vmdk))
    check "/hide of $layout" 0 "$banner"$'\n Partition(s) successfully hidden \n' /hide /part=1 "/disk=$layout.vmdk" /confirm
    clean "$layout" /hide
    check "/copy of $layout" 0 "$banner"$'\n Sector was successfully copied \n' \
        /copy /source=4300800 /target=3000100 "/disk=$layout.vmdk" /confirm
    clean "$layout" /copy
    check "/wipe=range of $layout" 0 "$banner"$'\n Specified sectors successfully cleared \n' \
        /wipe=range /range=4194304-4194305 "/disk=$layout.vmdk" /confirm
    clean "$layout" /wipe=range
done
written_files=()
compare_writes=
put expect.img 450 '\x17'
dd if=raw.img of=expect.img bs=512 skip=4300800 seek=3000100 count=1 conv=notrunc status=none
dd if=/dev/zero of=expect.img bs=512 seek=4194304 count=2 conv=notrunc status=none
read_back "the edits"
finish
