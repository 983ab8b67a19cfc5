#!/usr/bin/env bash
# Disks and their listing, run through the built program of one target (see
# lib.bash) on image files:
# - what the listing shows of images partitioned by util-linux sfdisk agrees
#   with `sfdisk --dump` (slots, logical partitions, types, starts, sizes);
# - the exit codes and error lines of runs about disks;
# - on Windows, every run prints the native program's bytes past its banner
#   and ends with the same status.
#
# usage: listing.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"

command -v sfdisk >/dev/null || skip "sfdisk is not installed"

# make_image <name> <size> <sfdisk script>
make_image() {
    truncate -s "$2" "$work/$1"
    printf '%b' "$3" | sfdisk -q "$work/$1" >/dev/null || { echo "FAIL: sfdisk could not write $1"; exit 1; }
}
make_image mbr.img 200M 'label: dos\nlabel-id: 0x1a2b3c4d\n
start=2048, size=102400, type=7, bootable\nstart=104448, size=40960, type=c\n
start=145408, size=200000, type=f\nstart=147456, size=20480, type=83\nstart=169984, size=30000, type=82\n'
make_image unsorted.img 100M 'label: dos\nstart=100000, size=2048, type=83\nstart=2048, size=4096, type=7\n
start=50000, size=8192, type=f\nstart=51000, size=1000, type=6\n'
make_image gaps.img 100M 'label: dos\nstart=2048, size=4096, type=7\nstart=0, size=0, type=0\n
start=10240, size=4096, type=c\n'
truncate -s 32M "$work/empty.img"

# The partitions the listing shows, one line each: "P <slot> <type> <start>
# <sectors> <boot>" for a primary, "L <place in chain> ..." for a logical.
listed() {
    images "$1"
    run "$work/list.out" /list /text /extended /disk=0
    awk '$1 ~ /^[0-9]+$/ && $2 ~ /^[0-9]+$/ { split($3, t, "-"); print "P", $2, t[1], $7, $8, $5 }
         $1 ~ /^L[0-9]+$/ && $2 == "-" { split($3, t, "-"); print "L", substr($1, 2), t[1], $7, $8, $5 }' \
        "$work/list.out" | tr -d ',' | sort
}

# The same from sfdisk's own dump: partitions 1-4 are the slots, 5 on the
# logical partitions in chain order.
dumped() {
    sfdisk --dump "$work/$1" | awk -F'[:,= ]+' '/ : start=/ {
        n = $1; sub(/.*[^0-9]/, "", n)
        boot = ($0 ~ /bootable/) ? "Yes" : "No"
        type = toupper($7); if (length(type) < 2) type = "0" type
        if (n <= 4) print "P", n, type, $3, $5, boot; else print "L", n - 4, type, $3, $5, boot
    }' | sort
}

for image in mbr.img unsorted.img gaps.img; do
    want=$(dumped "$image")
    listed "$image" >"$work/listed"
    got=$(cat "$work/listed")
    if [ -z "$want" ] || [ "$want" != "$got" ]; then
        echo "FAIL $target: listing of $image disagrees with sfdisk --dump"
        diff <(echo "$want") <(echo "$got")
        failures=$((failures + 1))
    fi
    images "$image"
    check "/partcount of $image" "$(echo "$want" | grep -c '^P')" - /partcount
done

# Error lines of runs about disks, with the program's whole codes (above
# 255 the exit status differs by target; see status_of).
images /nonexistent.img
check "no disk" 515 "$banner"$'\n Error 515: No Disk Identified or Insufficient User Privileges\n\n' /list
images mbr.img empty.img
check /disk=7 511 "$banner"$'\n Error 511: Invalid Disk selected\n\n' /list /disk=7
check "/tablist /disk=*" 128 "$banner"$'\n Error 128: All Disks command not allowed with this operation\n' \
    /tablist /disk=*
check /diskcount 2 "$banner"$'\n' /diskcount

# Listings whose every byte the native and Windows programs must share.
images mbr.img unsorted.img empty.img
runs=(
    "/list /text /extended /freespace"
    "/list /extended /logical"
    "/list /disk=* /text"
    "/tablist /disk=1 /text"
    "/list /disk=1 /freespace"
    "/partcount"
    "/diskcount /result"
    "/tablist /disk=*"
    "/list /disk=7"
    "/list /asciimap /text /disk=0"
)
for arguments in "${runs[@]}"; do
    # shellcheck disable=SC2086
    check "$arguments" - - $arguments
done
finish
