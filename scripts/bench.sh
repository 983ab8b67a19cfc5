#!/usr/bin/env bash
# Benchmarks, not tests: the native program against dd on the same 1 GiB
# image, in the same run, each case timed as the best of a few rounds, with
# the program's peak memory. Nothing here reaches a real drive: every run
# works on an image named through PARTAM_DISKS.
#
# usage: scripts/bench.sh [program]
set -euo pipefail
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

# once <command...>: one timed run; its wall time (seconds) in $t and its
# peak memory (KiB) in $p.
once() {
    sync
    /usr/bin/time -f '%e %M' -o time.out "$@" </dev/null >/dev/null 2>&1
    read -r t p <time.out
}

# case_ <name> <limit> <dd command...> -- <partam arguments...>: dd and the
# program take turns, round after round, so that both meet the same state
# of the machine; the best time of each counts. Prints the ratio, which
# should stay within the limit, and the program's largest peak memory.
case_() {
    local name=$1 limit=$2
    shift 2
    local dd=()
    while [ "$1" != -- ]; do dd+=("$1"); shift; done
    shift
    local tdd="" tpartam="" peak=0 i ratio
    for ((i = 0; i < rounds; i++)); do
        once "${dd[@]}"
        if [ -z "$tdd" ] || awk "BEGIN{exit !($t < $tdd)}"; then tdd=$t; fi
        once env PARTAM_DISKS=disk.img "$program" "$@"
        if [ -z "$tpartam" ] || awk "BEGIN{exit !($t < $tpartam)}"; then tpartam=$t; fi
        if [ "$p" -gt "$peak" ]; then peak=$p; fi
    done
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
