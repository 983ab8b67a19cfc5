#!/usr/bin/env bash
# Builds a small set of demo disk images and lists them.
set -euo pipefail
program=${1:-build/native/partam}
"$program" /disk=0 </dev/null || true
