#!/usr/bin/env bash
# Shows the program at work. For now: its help page. The program runs on a
# scratch disk image so that no run of the demo can reach a real drive.
#
# usage: scripts/demo.sh [program]
set -euo pipefail
program=${1:-build/native/partam}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
truncate -s 10M "$work/demo.img"

PARTAM_DISKS="$work/demo.img" "$program" /disk=0 </dev/null
