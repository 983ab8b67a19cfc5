#!/usr/bin/env bash
# Disks and their listing, run through the built programs on image files:
# - what the listing shows of images partitioned by util-linux sfdisk agrees
#   with `sfdisk --dump` (slots, logical partitions, types, starts, sizes);
# - the exit values and error lines of runs about disks;
# - the Windows program under wine64 prints the same bytes past its banner
#   and ends with the same codes.
#
# usage: listing.sh <native program> <Partam64.exe>
set -u
native=${1:?native program}
winexe=${2:-}
source "$(dirname "$0")/lib.bash"

if ! command -v sfdisk >/dev/null; then
    echo "SKIP: sfdisk is not installed"
    exit 0
fi

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
    PARTAM_DISKS="$work/$1" "$native" /list /text /extended /disk=0 </dev/null |
        awk '$1 ~ /^[0-9]+$/ && $2 ~ /^[0-9]+$/ { split($3, t, "-"); print "P", $2, t[1], $7, $8, $5 }
             $1 ~ /^L[0-9]+$/ && $2 == "-" { split($3, t, "-"); print "L", substr($1, 2), t[1], $7, $8, $5 }' |
        tr -d ',' | sort
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
    got=$(listed "$image")
    if [ -z "$want" ] || [ "$want" != "$got" ]; then
        echo "FAIL listing of $image disagrees with sfdisk --dump"
        diff <(echo "$want") <(echo "$got")
        failures=$((failures + 1))
    fi
    primaries=$(echo "$want" | grep -c '^P')
    code=$(PARTAM_DISKS="$work/$image" run_captured "$work/out" "$native" /partcount)
    [ "$code" = "$primaries" ] || { echo "FAIL /partcount of $image: $code, expected $primaries"; failures=$((failures + 1)); }
done

# Error lines of runs about disks. A Linux exit status holds 8 bits: codes
# above 255 end with 255 there (wine passes on the low 8 bits). The banner
# ends with a line end, and the executor adds one.
b="$(banner_text Linux)"$'\n'
PARTAM_DISKS=/nonexistent.img check "no disk" 255 \
    "$b"$'\n Error 515: No Disk Identified or Insufficient User Privileges\n\n' "$native" /list
PARTAM_DISKS="$work/mbr.img:$work/empty.img" check "/disk=7" 255 \
    "$b"$'\n Error 511: Invalid Disk selected\n\n' "$native" /list /disk=7
PARTAM_DISKS="$work/mbr.img:$work/empty.img" check "/tablist /disk=*" 128 \
    "$b"$'\n Error 128: All Disks command not allowed with this operation\n' "$native" /tablist /disk=*
PARTAM_DISKS="$work/mbr.img:$work/empty.img" check "/diskcount" 2 "$b"$'\n' "$native" /diskcount

# The runs compared between the two programs.
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
if wine_ready; then
    native_disks="$work/mbr.img:$work/unsorted.img:$work/empty.img"
    windows_disks="$(winpath "$work/mbr.img");$(winpath "$work/unsorted.img");$(winpath "$work/empty.img")"
    for run in "${runs[@]}"; do
        # shellcheck disable=SC2086
        native_code=$(PARTAM_DISKS=$native_disks run_captured "$work/native.out" "$native" $run)
        # shellcheck disable=SC2086
        windows_code=$(PARTAM_DISKS=$windows_disks run_captured "$work/windows.out" "$wine" "$winexe" $run)
        if [ "$native_code" -ne "$windows_code" ] && [ "$native_code" -ne 255 ]; then
            echo "FAIL '$run': exit code $windows_code under wine, $native_code natively"
            failures=$((failures + 1))
        fi
        if ! cmp -s <(tail -n +3 "$work/native.out") <(tail -n +3 "$work/windows.out"); then
            echo "FAIL '$run': the Windows program prints other bytes"
            diff <(tail -n +3 "$work/native.out") <(tail -n +3 "$work/windows.out") | head -10
            failures=$((failures + 1))
        fi
    done
    # The Windows program keeps its whole code; wine hands on its low 8 bits.
    PARTAM_DISKS='Z:\nonexistent.img' check "no disk (Windows)" 3 \
        "$(banner_text Windows)"$'\n\n Error 515: No Disk Identified or Insufficient User Privileges\n\n' \
        "$wine" "$winexe" /list
fi
finish
