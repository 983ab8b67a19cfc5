#!/usr/bin/env bash
# Benchmarks, not tests: the native program against dd on the same 1 GiB
# image, in the same run, each case timed as the best of a few rounds, with
# the program's peak memory. Nothing here reaches a real drive: every run
# works on an image named through PARTAM_DISKS.
#
# usage: scripts/bench.sh [program]
set -euo pipefail
program=$(realpath "${1:-build/native/partam}")
cases=$(dirname "$(realpath "$0")")/bench.d  # before the cd below
rounds=${BENCH_ROUNDS:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/partam-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# A 1 GiB image whose sectors are not all zero (a sparse file of zeros would
# flatter the readers), with a partition table in sector 0.
head -c $((1024 * 1024 * 1024)) /dev/urandom >disk.img
printf 'label: dos\nstart=2048, size=1048576, type=7\n' | sfdisk -q disk.img >/dev/null

# seconds <command...>: the best wall time of the rounds; the last round's
# wall time and peak memory (KiB) stay in time.out.
seconds() {
    local best="" t i
    for ((i = 0; i < rounds; i++)); do
        sync
        /usr/bin/time -f '%e %M' -o time.out "$@" </dev/null >/dev/null 2>&1
        read -r t peak <time.out
        if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
    done
    echo "$best"
}

# case <name> <limit> <dd command> -- <partam arguments>: times both and
# prints the ratio, which should stay within the limit.
case_() {
    local name=$1 limit=$2
    shift 2
    local dd=() partam=()
    while [ "$1" != -- ]; do dd+=("$1"); shift; done
    shift
    partam=("$@")
    local tdd tpartam ratio peak
    tdd=$(seconds "${dd[@]}")
    tpartam=$(seconds env PARTAM_DISKS=disk.img "$program" "${partam[@]}")
    # seconds ran in a subshell: the program's peak is that of its last round.
    read -r _ peak <time.out
    ratio=$(awk "BEGIN{ printf \"%.2f\", ($tpartam + 0.001) / ($tdd + 0.001) }")
    printf '%-14s dd %6.2fs  partam %6.2fs  ratio %5s (limit %s)  peak %6d KiB\n' \
        "$name" "$tdd" "$tpartam" "$ratio" "$limit" "$peak"
}

# The cases, one per benchmarked command.
for bench in "$cases"/*.sh; do
    [ -e "$bench" ] || continue
    # shellcheck source=/dev/null
    source "$bench"
done
