#!/usr/bin/env bash
# /format through the built program of one target (see lib.bash). On Linux
# mkntfs formats a partition of an image, which ntfsinfo and the program then
# read as NTFS; what the system has no volume for is refused before any
# engine runs; a format that fails ends with 516 and says why. Under wine
# there is no format engine (no fmifs.dll): a partition that wine is made to
# see as the volume behind C: fails as when the engine cannot be loaded.
#
# usage: format.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"
cd "$work"
need_sbin_tools mkntfs ntfsinfo

# outside_p1_unchanged <label>: every byte of fmt.img outside partition 1 is
# as it was in before.img.
p1=$((2048 * 512)) p1_end=$(((2048 + 32768) * 512))
outside_p1_unchanged() {
    cmp -s <(head -c $p1 fmt.img) <(head -c $p1 before.img) || fail "$1 changed bytes before partition 1"
    cmp -s <(tail -c +$((p1_end + 1)) fmt.img) <(tail -c +$((p1_end + 1)) before.img) ||
        fail "$1 changed bytes after partition 1"
}

# fmt.img, signature 1A2B3C4D: 1 NTFS type, 16 MiB, full of old data; 2
# Linux; 3 FAT16 of 500 KiB, too small for NTFS; 4 extended, holding one
# logical NTFS partition (5).
truncate -s 64M fmt.img
put fmt.img 0 '\x33\xc0'
put fmt.img 440 '\x4d\x3c\x2b\x1a'
table fmt.img 0 "$(entry 0 7 2048 32768)" "$(entry 0 0x83 34816 8192)" "$(entry 0 6 43008 1000)" \
    "$(entry 0 5 45056 4096)"
table fmt.img 45056 "$(entry 0 7 63 2000)"
yes 'OLD!' | tr -d '\n' | head -c $((32768 * 512)) | dd of=fmt.img bs=512 seek=2048 conv=notrunc status=none
cp fmt.img before.img
images fmt.img

no_volume="$banner"$'\n Error 550: Unable to locate specified volume\n\n'
check "/format of a Linux partition" 550 "$no_volume" /format /part=2
check "/format of an extended partition" 550 "$no_volume" /format /part=4
check "/format of a logical partition" 106 "$banner"$'\n Error 106: Invalid Partition specified.\n' /format /part=5
check "/format of no partition" 106 "$banner"$'\n Error 106: Invalid Partition specified.\n' /format /part=6
if command -v qemu-img >/dev/null; then
    qemu-img convert -O vmdk -o subformat=monolithicFlat fmt.img vm.vmdk || fail "qemu-img could not make vm.vmdk"
    check "/format on a virtual disk" 550 "$no_volume" /format /disk=vm.vmdk
    cmp -s vm-flat.vmdk before.img || fail "/format on a virtual disk wrote to it"
fi
if command -v sfdisk >/dev/null; then
    truncate -s 8M gpt.img
    printf 'label: gpt\nstart=2048, size=4096, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n' | sfdisk -q gpt.img ||
        fail "sfdisk could not make gpt.img"
    put gpt.img 0 '\x33\xc0'
    cp gpt.img gpt.before
    images gpt.img
    check "/format on a GPT disk" 550 "$no_volume" /format
    cmp -s gpt.img gpt.before || fail "/format on a GPT disk wrote to it"
    images fmt.img
fi

# Windows has no volume for a partition of an image, which no drive letter
# stands for: refused as any partition without a volume name.
if [ -n "$wine" ]; then
    own_outcome=1 check "/format of an image's partition" 550 "$no_volume" /format
    # Wine is made to take partition 1 for the volume behind C: (the value
    # MountedDevices keeps for it: the disk signature and the partition's
    # byte offset), so that the program hands it to the engine. A
    # persistent wine server keeps the value: a new one would write wine's
    # own back.
    /usr/lib/wine/wineserver -p
    c_volume=$("${runner[@]}" reg query 'HKLM\SYSTEM\MountedDevices' | tr -d '\r' |
        awk '$2 == "REG_BINARY" { data[$1] = $3 }
             END { for (n in data) if (index(n, "\\??\\Volume{") == 1 && data[n] == data["\\DosDevices\\C:"]) print n }')
    [ -n "$c_volume" ] || fail "wine names no volume for C:"
    "${runner[@]}" reg add 'HKLM\SYSTEM\MountedDevices' /v "$c_volume" /t REG_BINARY \
        /d 4D3C2B1A0000100000000000 /f >/dev/null 2>&1 || fail "reg add could not set $c_volume"
fi

# Without an engine nothing is formatted, and the run fails with the reason:
# under wine there is no fmifs.dll; natively PARTAM_MKNTFS names no program.
export PARTAM_MKNTFS="$work/no-mkntfs"
check "/format without an engine" 516 "$banner"$'\n Error 516: Unable to instantiate format functionality\n\n' /format
unset PARTAM_MKNTFS
cmp -s fmt.img before.img || fail "a /format that formatted nothing wrote to the image"

if [ -z "$wine" ]; then
    # A full format: every sector of partition 1 written, in 1 MiB steps of
    # progress on one console line, and nothing outside it.
    progress=
    for step in $(seq 1 16); do progress+="$((step * 100 / 16)) percent completed."$'\r'; done
    check "/format" 0 "$banner$progress"$'\n' /format
    outside_p1_unchanged "/format"
    dd if=fmt.img of=p1.ntfs bs=512 skip=2048 count=32768 status=none
    grep -q 'OLD!' p1.ntfs && fail "/format left old data in partition 1"
    info=$(ntfsinfo -m p1.ntfs 2>&1)
    for line in "Volume Name: MYLABEL" "Sector Size: 512" "Cluster Size: 4096" "Volume Size in Clusters: 4095"; do
        grep -q -F "$line" <<<"$info" || fail "ntfsinfo does not say \"$line\": $(head -5 <<<"$info")"
    done
    # The boot sector records the drive's 63 sectors a track, 255 heads and
    # the partition's start, which Windows needs to start from it.
    [ "$(bytes p1.ntfs 24 8)" = 3f00ff0000080000 ] || fail "/format's boot sector has $(bytes p1.ntfs 24 8) at 24"
    serial=$(bytes p1.ntfs 72 4 | sed -E 's/(..)(..)(..)(..)/\4\3-\2\1/' | tr a-f A-F)
    check "the program reads the new volume as NTFS" 0 "$serial" /volumeid=read /silent
    ls "$TMPDIR" | grep -q partam-format && fail "/format left its stand-in file in $TMPDIR"

    # mkntfs refuses a volume below 1 MiB; what it said is shown.
    cp fmt.img before.img
    check "/format of a partition too small" 516 - /format /part=3
    grep -q -F "Minimum NTFS volume size" "$work/out" || fail "/format /part=3 does not show mkntfs's reason"
    # What mkntfs says of the stand-in file concerns no partition.
    grep -q -E "not a block device|forced anyway" "$work/out" && fail "/format /part=3 shows mkntfs's words on its file"
    ending=$'Unable to complete format.\n\n\n Error 516: Unknown error\n\n'
    cmp -s <(tail -c ${#ending} "$work/out") <(printf '%s' "$ending") ||
        fail "/format /part=3 ends otherwise: $(tail -c ${#ending} "$work/out" | od -c | head -3)"
    cmp -s fmt.img before.img || fail "a failed /format wrote to the image"
else
    own_outcome=1 check "/format of a partition too small" 550 "$no_volume" /format /part=3
fi
finish
