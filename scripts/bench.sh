#!/usr/bin/env bash
# Benchmarks, not tests: the native program against the system's own tools
# (dd, cp) doing the same work on the same images, in the same run, each
# case timed as the best of a few rounds, with the program's peak memory.
# Nothing here reaches a real drive: every run works on an image named
# through PARTAM_DISKS.
#
# usage: scripts/bench.sh [program]
set -euo pipefail
export LC_ALL=C
program=$(realpath "${1:-build/native/partam}")
cases=$(realpath "$(dirname "$0")/bench.d")
rounds=${BENCH_ROUNDS:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/partam-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# A 1 GiB image whose sectors are not all zero (a sparse file of zeros would
# flatter the readers), with a partition table in sector 0.
head -c $((1024 * 1024 * 1024)) /dev/urandom >disk.img
printf 'label: dos\nstart=2048, size=1048576, type=7\n' | sfdisk -q disk.img >/dev/null
# A 4 GiB image that is mostly holes, as the image of a virtual machine's
# disk is: a partition table and 16 runs of 4 MiB of data spread over it.
truncate -s 4G sparse.img
printf 'label: dos\nstart=2048, size=8386560, type=7\n' | sfdisk -q sparse.img >/dev/null
for ((i = 0; i < 16; i++)); do
    dd if=/dev/urandom of=sparse.img bs=1M seek=$((i * 255 + 3)) count=4 conv=notrunc status=none
done

# once <command...>: one timed run; its wall time (seconds) in $t and its
# peak memory (KiB) in $p. The files $fresh names are removed first, so that
# each tool writes a new file rather than replacing the last round's.
fresh=""
once() {
    # shellcheck disable=SC2086
    [ -z "$fresh" ] || rm -f -- $fresh
    sync
    local start=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o time.out "$@" </dev/null >/dev/null 2>&1
    t=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }')
    read -r p <time.out
}

# case_ <name> <limit> <image> <reference command...> -- <partam arguments...>:
# the reference tool and the program (with the image as its disk) take
# turns, round after round, so that both meet the same state of the
# machine; the best time of each counts. Prints both times and their ratio,
# which should stay within the limit, and the program's largest peak memory.
case_() {
    local name=$1 limit=$2 image=$3
    shift 3
    local reference=()
    while [ "$1" != -- ]; do reference+=("$1"); shift; done
    shift
    local tref="" tpartam="" peak=0 i ratio
    for ((i = 0; i < rounds; i++)); do
        once "${reference[@]}"
        if [ -z "$tref" ] || awk "BEGIN{exit !($t < $tref)}"; then tref=$t; fi
        # The variable set for the one call, not through env: no second
        # program start is timed with the program.
        PARTAM_DISKS=$image once "$program" "$@"
        if [ -z "$tpartam" ] || awk "BEGIN{exit !($t < $tpartam)}"; then tpartam=$t; fi
        if [ "$p" -gt "$peak" ]; then peak=$p; fi
    done
    ratio=$(awk "BEGIN{ printf \"%.2f\", $tpartam / $tref }")
    printf '%-14s %-3s %7.3fs  partam %7.3fs  ratio %5s (limit %s)  peak %6d KiB\n' \
        "$name" "${reference[0]}" "$tref" "$tpartam" "$ratio" "$limit" "$peak"
}

# The cases, one file per benchmarked command, in name order.
for bench in "$cases"/*.sh; do
    [ -e "$bench" ] || continue
    # shellcheck source=/dev/null
    source "$bench"
done
