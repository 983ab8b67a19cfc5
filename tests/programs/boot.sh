#!/usr/bin/env bash
# The boot code images boot (see lib.bash for the targets). The target's
# program writes each image with /repair= into disk images made here, which
# then boot on qemu's PC (qemu-system-i386, SeaBIOS): the active partition's
# boot record, boot_record.asm, reports on the debug console what the loader
# handed it and ends the machine through isa-debug-exit; a loader that stops
# at a message is read on the serial line, where SeaBIOS puts the screen
# (graphics=off), and the machine is ended once it has said it.
#
# usage: boot.sh <native|win64|win32> <native program> [<Windows program>]
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.bash"
command -v qemu-system-i386 >/dev/null || skip "qemu-system-i386 is not installed"
command -v nasm >/dev/null || skip "nasm is not installed"
cd "$work"

loaders=$here/../../src/backup/boot_code
nasm -f bin -o record.bin "$here/boot_record.asm" || exit 1
nasm -f bin -I "$loaders/" -o xp.bin "$loaders/chs_first.asm" || exit 1
nasm -f bin -I "$loaders/" -o win7.bin "$loaders/lba_first.asm" || exit 1

# record <image> <sector> <name>: the test boot record, named (8 characters),
# as a partition's first sector.
record() {
    dd if=record.bin of="$1" bs=512 seek="$2" conv=notrunc status=none
    put "$1" $(($2 * 512 + 3)) "$3"
}

# repair <image> <xp|win7>: the target's program writes the image's boot code
# and says so; sector 0 is then the loader's bytes 0-439, the disk signature
# kept, 444 and 445 zero, the table kept and 55 AA, byte for byte.
repair() {
    local image=$1 mode=$2
    { head -c 440 "$mode.bin"; dd if="$image" bs=1 skip=440 count=4 status=none; printf '\0\0'
      dd if="$image" bs=1 skip=446 count=64 status=none; printf '\x55\xaa'; } >want.bin
    images "$image"
    run "$work/out" /repair=$mode /confirm
    [ "$status" -eq 0 ] || fail "/repair=$mode on $image: exit status $status"
    cmp -s <(printf '%s\n MBR successfully repaired \n' "$banner") out ||
        fail "/repair=$mode on $image: output $(od -c out | head -5)"
    [ -s "$work/err" ] && fail "/repair=$mode on $image: standard error $(head -3 "$work/err")"
    cmp -l want.bin <(head -c 512 "$image") >diff.txt || fail "/repair=$mode on $image: sector 0 differs
(offset, expected, found; octal) $(head -10 diff.txt)"
}

# boot <image>: boots it alone; $booted is what a boot record reported,
# $screen what the screen shows after the BIOS's boot line, $exit qemu's
# exit status (33 from the boot record).
boot_line=$'Booting from Hard Disk...\r\n'
boot() {
    rm -f debug.txt serial.txt
    qemu-system-i386 -nodefaults -machine pc,graphics=off -display none -no-reboot -m 16 \
        -drive file="$1",format=raw,if=ide -serial file:serial.txt -debugcon file:debug.txt \
        -device isa-debug-exit,iobase=0xf4,iosize=4 2>qemu.err &
    local pid=$! i
    for ((i = 0; i < 600; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        if [ -n "$(after_boot_line)" ]; then
            sleep 0.3  # the rest of the message
            break
        fi
        sleep 0.05
    done
    kill "$pid" 2>/dev/null
    wait "$pid"
    exit=$?
    booted=$(cat debug.txt 2>/dev/null)
    screen=$(after_boot_line)
}
after_boot_line() {
    local s
    s=$(cat serial.txt 2>/dev/null)
    [[ $s == *"$boot_line"* ]] && printf '%s' "${s##*"$boot_line"}"
}

# expect <label> <booted> <screen>: the last boot reported this and showed
# that; a boot record's report ends the machine with 33.
expect() {
    local want_exit=33
    [ -n "$2" ] || want_exit=none
    [ "$booted" = "$2" ] || fail "$1: the boot record reported '$booted', expected '$2'"
    [ "$screen" = "$3" ] || fail "$1: the screen shows '$screen', expected '$3'"
    if [ "$want_exit" = 33 ] && [ "$exit" -ne 33 ]; then fail "$1: qemu ended with $exit"; fi
}

second=$'booted second   dl=80 ds:si=0000:07ce status=80 start=00001000'
for mode in xp win7; do
    # 64 MiB: old boot code (int3 throughout), a signature, two partitions
    # with a boot record each, the second one active.
    rm -f small.img
    truncate -s 64M small.img
    put small.img 0 "$(printf '\\xcc%.0s' {1..440})"
    put small.img 440 '\xde\xad\xbe\xef'
    table small.img 0 "$(entry 0 7 2048 2048)" "$(entry 0x80 7 4096 2048)"
    record small.img 2048 "first   "
    record small.img 4096 "second  "
    repair small.img $mode
    boot small.img
    expect "$mode: the active partition" "$second" ""

    # A status byte at 434, and whatever in 444 and 445: none is read.
    cp small.img status.img
    put status.img 434 '\xcc'
    put status.img 444 '\xcc\xcc'
    boot status.img
    expect "$mode: with a status byte" "$second" ""

    # Entries the loader refuses, and boot records it cannot use.
    cp small.img two.img
    put two.img 446 '\x80'
    boot two.img
    expect "$mode: two active entries" "" "Invalid partition table"
    cp small.img status1.img
    put status1.img 446 '\x01'
    boot status1.img
    expect "$mode: a status of 1" "" "Invalid partition table"
    cp small.img nomark.img
    put nomark.img $((4096 * 512 + 510)) '\0\0'
    boot nomark.img
    expect "$mode: a boot record without 55 AA" "" "Missing operating system"
    cp small.img beyond.img
    put beyond.img $((446 + 16 + 8)) '\x00\x00\xf0\x00'
    boot beyond.img
    expect "$mode: a start beyond the disk" "" "Error loading operating system"

    # 9 GiB: the active partition starts past cylinder 1023 at 255 heads
    # and 63 sectors, where only the INT 13h extensions reach.
    rm -f large.img
    truncate -s 9G large.img
    table large.img 0 "$(entry 0 7 2048 2048)" "$(entry 0 0 0 0)" "$(entry 0 0 0 0)" \
        "$(entry 0x80 7 17000000 2048)"
    record large.img 2048 "first   "
    record large.img 17000000 "far-away"
    repair large.img $mode
    boot large.img
    expect "$mode: a partition past CHS reach" \
        $'booted far-away dl=80 ds:si=0000:07ee status=80 start=01036640' ""
    rm -f large.img
done
finish
