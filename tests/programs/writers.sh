#!/usr/bin/env bash
# One writer at a time, through the built program of one target (see
# lib.bash): two runs that change one image, started together round after
# round, either both make their change or one is refused (505, the disk in
# use), and the table stays sound; never is one change lost. A reader is
# never held off; a writer held off longer than the wait is refused with
# 505 and a line on standard error, and changes nothing.
#
# usage: writers.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"
cd "$work"

command -v sfdisk >/dev/null && command -v sgdisk >/dev/null || skip "sfdisk or sgdisk is not installed"

# Six basic data partitions of 1 MiB on a GPT; one primary at 63 on an MBR,
# after which /create finds its room.
truncate -s 16M gpt.img mbr.img
sgdisk -o $(for n in 1 2 3 4 5 6; do printf -- '-n%d:0:+1M -t%d:0700 ' $n $n; done) gpt.img >/dev/null
printf 'label: dos\nstart=63, size=2048, type=7\n' | sfdisk -q mbr.img >/dev/null
put mbr.img 0 '\x33\xc0'
cp gpt.img gpt.orig
cp mbr.img mbr.orig

# The image list as the target's program takes it.
target_disks() { if [ -z "$wine" ]; then native_disks; else windows_disks; fi; }

# together <args> [-- <args>]...: the runs of the target's program, all at
# once on the images; their exit statuses in the array statuses, the
# standard error of run i in err.<i>.
together() {
    local disks runs=() pids=() i
    disks=$(target_disks)
    while [ $# -gt 0 ]; do
        runs=()
        while [ $# -gt 0 ] && [ "$1" != -- ]; do runs+=("$1"); shift; done
        [ $# -gt 0 ] && shift
        PARTAM_DISKS=$disks "${runner[@]}" "$program" "${runs[@]}" </dev/null >"out.${#pids[@]}" 2>"err.${#pids[@]}" &
        pids+=($!)
    done
    statuses=()
    for i in "${!pids[@]}"; do
        wait "${pids[$i]}"
        statuses+=($?)
    done
}

# rounds <count> <label> <image> <counter> <step> <args> [-- <args>]...: each
# round on a fresh image; the counter prints how many partitions the image
# holds. Each run ends 0 or 505 ("in use" said on standard error), and each
# run that ended 0 changed the count by the step (-1 or 1).
rounds() {
    local count=$1 label=$2 image=$3 counter=$4 step=$5 round made before after s err
    shift 5
    before=$($counter "${image%.img}.orig")
    for ((round = 1; round <= count; round++)); do
        cp "${image%.img}.orig" "$image"
        together "$@"
        made=0
        for s in "${statuses[@]}"; do
            if [ "$s" -eq 0 ]; then
                made=$((made + 1))
            elif [ "$s" -ne "$(status_of 505)" ]; then
                fail "$label round $round: a run ended with $s"
            fi
        done
        for err in err.*; do
            [ ! -s "$err" ] || grep -q "is in use" "$err" || fail "$label round $round: $(head -1 "$err")"
        done
        after=$($counter "$image")
        [ "$after" -eq $((before + step * made)) ] ||
            fail "$label round $round: $made change(s) reported, $((after - before)) made"
    done
}

gpt_partitions() { sgdisk -p "$1" 2>/dev/null | grep -c '^ *[0-9]\+ '; }
gpt_sound() { sgdisk -v gpt.img | grep -q '^No problems found' || fail "$1: sgdisk -v finds problems"; }
mbr_partitions() { sfdisk --dump "$1" 2>/dev/null | grep -c ' : start='; }

[ -z "$wine" ] && n=20 || n=3
images gpt.img
rounds $n "/del of two GPT partitions" gpt.img gpt_partitions -1 /del /part=1 /confirm -- /del /part=2 /confirm \
    -- /del /part=1 /confirm -- /del /part=2 /confirm
gpt_sound "/del of two GPT partitions"
images mbr.img
rounds $n "/create twice" mbr.img mbr_partitions 1 /create /size=512 -- /create /size=512 -- /create /size=512
sfdisk --verify mbr.img >/dev/null 2>&1 || fail "/create twice: sfdisk --verify finds problems"

# A reader beside a writer: the listing is not held off.
cp gpt.orig gpt.img
images gpt.img
together /list /disk=0 -- /del /part=1 /confirm
[ "${statuses[*]}" = "0 0" ] || fail "a listing beside a writer: ${statuses[*]}"

# Another run holds the image as its writer while it waits at its
# question: a reader goes on beside it; a writer waits for it, is refused
# once the wait is over (505, and a line on standard error) and writes
# nothing. (On Windows the native program, which the Windows one does not
# hold off, is not run beside these.)
cp gpt.orig gpt.img
rm -f key
mkfifo key
PARTAM_DISKS=$(target_disks) "${runner[@]}" "$program" /del /part=1 <key >held.out 2>&1 &
holder=$!
exec 3>key
for ((i = 0; i < 150; i++)); do grep -q "are you sure" held.out && break; sleep 0.2; done
own_outcome=1
check "a reader while another run writes" 0 - /list /disk=0
own_outcome=1
expect_stderr '^partam: disk 0 \(gpt.img\) is in use: another program is writing to it.?$'
check "a writer while another run writes" 505 \
    "$banner"$'\n Error 505: Unable to save the specified sectors to the selected disk\n\n' /del /part=1 /confirm
echo n >&3
exec 3>&-
wait $holder
cmp -s gpt.img gpt.orig || fail "the refused writer, or the one that held it, changed the image"

if [ -z "$wine" ]; then
    # A program that locks the image as the system's partitioning tools do
    # (flock) holds a writer off; for a moment, the writer waits for it.
    flock gpt.img sleep 1 &
    sleep 0.3
    check "a writer after another program's moment" 0 "$banner"$'\n Partition successfully deleted \n' \
        /del /part=1 /confirm
    [ "$(gpt_partitions gpt.img)" -eq 5 ] || fail "the writer that waited deleted nothing"
    wait
fi
finish
