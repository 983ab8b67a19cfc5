#!/usr/bin/env bash
# Hostile inputs through the built program of one target (see lib.bash):
# tables whose links loop or point beyond the disk, a GPT that claims
# billions of entries, virtual disk descriptors and sparse headers full of
# impossible numbers, backup files cut short or claiming more than any disk
# holds, switches longer than any field. Every run ends promptly (the runs
# have two minutes at most), with a code the program documents and no crash
# (the sanitizer build runs these too), and the commands that only read
# change no byte of what they read.
#
# usage: hostile.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"
cd "$work"

documented=" 0 1 2 3 4 5 101 102 104 105 106 109 110 111 112 113 116 117 118 119 120 121 122 124 125 126 127 128
 129 131 133 134 135 136 137 138 139 141 142 143 144 145 146 147 148 149 200 202 203 204 205 300 302 303 304
 305 501 502 503 504 505 506 507 508 509 510 511 512 513 514 515 516 518 550 551 552 553 554 555 556 557 558
 559 560 561 562 563 564 565 566 567 568 569 "
# ends_well <label>: the last run's status is one a documented code ends
# with on this target, and not a crash.
ends_well() {
    local code ok=
    for code in $documented; do [ "$status" -eq "$(status_of "$code")" ] && ok=1; done
    [ -n "$ok" ] || { echo "FAIL $target $1: ended with status $status"; head -5 out; failures=$((failures + 1)); }
}
# reads_only <label> <file> <arguments...>: runs the program, which must end
# well and leave the file as it was.
reads_only() {
    local label=$1 file=$2
    shift 2
    cp --sparse=always "$file" before.copy
    run out "$@"
    ends_well "$label"
    cmp -s "$file" before.copy || { echo "FAIL $target $label: $file changed"; failures=$((failures + 1)); }
}
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }

# --- Tables: an EBR that links to itself, a chain that leaves the disk, a
# link that wraps round past 2^32, four extended partitions on one chain,
# a GPT of 2^32 - 1 entries of 0 bytes.
truncate -s 4M loop.img far.img wrap.img many.img gpt.img
table loop.img 0 "$(entry 0 0x0f 2048 4096)"
table loop.img 2048 "$(entry 0 0x83 63 10)" "$(entry 0 5 0 10)"
table far.img 0 "$(entry 0 0x05 2048 4096)"
table far.img 2048 "$(entry 0 0x83 63 10)" "$(entry 0 5 4000000000 10)"
table wrap.img 0 "$(entry 0 0x0f 4294967295 4294967295)"
table many.img 0 "$(entry 0 0x0f 100 1000)" "$(entry 0 0x0f 100 1000)" "$(entry 0 0x05 100 1000)" "$(entry 0 0x1f 100 1000)"
table many.img 100 "$(entry 0 0x07 1 1)" "$(entry 0 5 0 1)"
table gpt.img 0 "$(entry 0 0xee 1 8191)"
put gpt.img 512 'EFI PART\x00\x00\x01\x00\x5c\x00\x00\x00'
put gpt.img $((512 + 32)) '\xff\xff\xff\xff\xff\xff\xff\xff'
put gpt.img $((512 + 72)) '\x02\x00\x00\x00\x00\x00\x00\x00\xff\xff\xff\xff\x00\x00\x00\x00'
for image in loop far wrap many gpt; do
    images "$image.img"
    reads_only "/list of $image.img" "$image.img" /list /text /extended /freespace /disk=*
    reads_only "/list /json of $image.img" "$image.img" /list /json /freespace /disk=*
    if command -v python3 >/dev/null && ! python3 -m json.tool out >/dev/null; then fail "/list /json of $image.img"; fi
    reads_only "/partcount of $image.img" "$image.img" /partcount
    reads_only "/show=sector of $image.img" "$image.img" /show=sector /sector=0
    reads_only "/save=disk of $image.img" "$image.img" /save=disk /filename=saved.bin
done

# --- Backups: a header that claims 2^64 - 1 sectors, one cut off after its
# header, one whose data is not whole sectors. They are restored onto a GPT
# disk, which takes no safety copy into a sector of its own: a refused
# restore leaves it as it was.
images gpt.img
printf 'DDprt\x03\x00\x02\x00\x00\x06' >huge.bin
head -c 501 /dev/zero >>huge.bin
put huge.bin 130 '\xff\xff\xff\xff\xff\xff\xff\xff'
head -c 512 huge.bin >cut.bin
put cut.bin 130 '\x10\x00\x00\x00\x00\x00\x00\x00'
head -c 700 /dev/urandom >odd.bin
for backup in huge cut odd; do
    reads_only "/show=file of $backup.bin" gpt.img /show=file /filename=$backup.bin
    reads_only "/restore=disk of $backup.bin" gpt.img /restore=disk /filename=$backup.bin /confirm
    reads_only "/restore=gpt of $backup.bin" gpt.img /restore=gpt /filename=$backup.bin /confirm
done

# --- Virtual disks: sizes beyond any file, a sparse header whose grain
# directory lies past its file and whose grains are of size 0.
truncate -s 1M blank.img
images blank.img
printf '# Disk DescriptorFile\nversion=1\ncreateType="monolithicFlat"\nRW 18446744073709551615 FLAT "flat.bin" 0\n' >big.vmdk
printf '# Disk DescriptorFile\nversion=1\ncreateType="monolithicFlat"\nRW 99999999999999999999999 FLAT "flat.bin" 99999999999\n' >huger.vmdk
truncate -s 64K flat.bin
printf 'KDMV\x01\x00\x00\x00\x03\x00\x00\x00' >sparse.vmdk
put sparse.vmdk 12 '\x00\x00\x00\x00\x00\x00\x10\x00'                 # capacity 2^52 sectors
put sparse.vmdk 20 '\x00\x00\x00\x00\x00\x00\x00\x00'                 # grains of 0 sectors
put sparse.vmdk 56 '\xff\xff\xff\xff\xff\xff\xff\x7f'                 # grain directory far away
truncate -s 4096 sparse.vmdk
for vmdk in big huger sparse; do
    reads_only "/list of $vmdk.vmdk" $vmdk.vmdk /list /text /disk=$vmdk.vmdk
    reads_only "/save=disk of $vmdk.vmdk" $vmdk.vmdk /save=disk /filename=v.bin /disk=$vmdk.vmdk
done

# --- Switches longer than any field, from the command line and from the
# options file.
long=$(head -c 5000 /dev/zero | tr '\0' 'x')
reads_only "a 5000-character switch" blank.img "/filename=$long" /list
reads_only "a 5000-character value" blank.img /save=mbr "/filename=$long"
programs_in opt
head -c $((2 * 1024 * 1024)) /dev/zero | tr '\0' 'y' >opt/partam.opt
reads_only "a 2 MiB options file" blank.img
finish
