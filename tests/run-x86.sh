#!/usr/bin/env bash
# Runs a 32-bit x86 test program (the native32 build's test emulator):
# directly where this machine executes 32-bit programs, under qemu-i386
# where it does not, and not at all where neither can, with 77 for CTest's
# "skipped". The probe is the program's own loader, which every one of them
# needs.
#
# usage: run-x86.sh <program> [arguments...]
loader=/lib/ld-linux.so.2
if "$loader" --version >/dev/null 2>&1; then
    exec "$@"
fi
if command -v qemu-i386 >/dev/null && qemu-i386 "$loader" --version >/dev/null 2>&1; then
    exec qemu-i386 "$@"
fi
echo "SKIP: this machine runs no 32-bit x86 program (directly or under qemu-i386)"
exit 77
