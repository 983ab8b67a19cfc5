#!/usr/bin/env bash
# Runs the libFuzzer targets of tests/fuzz, as built by the fuzz preset
# (build/fuzz/tests/fuzz/fuzz_<target>), each under AddressSanitizer and
# UndefinedBehaviorSanitizer.
#
#   scripts/fuzz.sh [--seconds N] [TARGET...]
#       each target (all by default) for N seconds (600 by default), one after
#       another. New inputs grow build/fuzz/corpus/<target>, starting from
#       the seeds in tests/fuzz/corpus/<target>; an input that crashes, leaks,
#       hangs or asks for too much memory is kept in build/fuzz/findings/<target>/
#       and the run ends with 1.
#   scripts/fuzz.sh --check N TARGET
#       the brief run of make test: N seconds from the seeds, in a scratch
#       corpus; 77 (skipped) where clang's fuzzer runtime is missing.
#   scripts/fuzz.sh --replay TARGET FILE...
#       runs each input once, as a finding is checked and a fix confirmed.
#   scripts/fuzz.sh --available
#       0 when clang++-14 and its fuzzer runtime are installed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/build/fuzz/tests/fuzz"
seeds="$root/tests/fuzz/corpus"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

available() {
    command -v clang++-14 >/dev/null 2>&1 &&
        [ -f "$(clang++-14 -print-runtime-dir)/libclang_rt.fuzzer-x86_64.a" ]
}
targets() { (cd "$seeds" && ls); }
program() {
    [ -x "$bin/fuzz_$1" ] || { echo "fuzz.sh: $bin/fuzz_$1 is not built (make fuzz-build)" >&2; exit 1; }
    echo "$bin/fuzz_$1"
}
# libFuzzer ends with 77 on a finding unless told otherwise, which a test
# would report as skipped. Each input gets 10 s and 2 GiB at most: more is
# a finding too, a hang or an unbounded allocation.
options=(-error_exitcode=1 -timeout_exitcode=1 -timeout=10 -rss_limit_mb=2048 -max_len=262144
         -print_final_stats=1)

case "${1:-}" in
--available)
    available && exit 0 || exit 1
    ;;
--check)
    seconds="$2" target="$3"
    available || { echo "clang++-14 or its fuzzer runtime (libclang-rt-14-dev) is missing"; exit 77; }
    scratch="$(mktemp -d)"
    mkdir "$scratch/corpus"
    trap 'rm -rf "$scratch"' EXIT
    status=0
    "$(program "$target")" "${options[@]}" -max_total_time="$seconds" -artifact_prefix="$scratch/" \
        "$scratch/corpus" "$seeds/$target" >"$scratch/log" 2>&1 || status=$?
    # The whole report of a finding; the closing lines of a clean run.
    [ "$status" -eq 0 ] && tail -n 12 "$scratch/log" || cat "$scratch/log"
    exit "$status"
    ;;
--replay)
    target="$2"
    shift 2
    exec "$(program "$target")" "${options[@]}" "$@"
    ;;
esac

seconds=600
if [ "${1:-}" = "--seconds" ]; then
    seconds="$2"
    shift 2
fi
[ $# -gt 0 ] || set -- $(targets)
for target in "$@"; do
    corpus="$root/build/fuzz/corpus/$target" findings="$root/build/fuzz/findings/$target"
    mkdir -p "$corpus" "$findings"
    echo "== fuzz_$target for $seconds s (log: $findings.log)"
    status=0
    "$(program "$target")" "${options[@]}" -max_total_time="$seconds" -artifact_prefix="$findings/" \
        "$corpus" "$seeds/$target" >"$findings.log" 2>&1 || status=$?
    tail -n 12 "$findings.log"
    [ "$status" -eq 0 ] || { echo "fuzz_$target: a finding, kept in $findings/"; exit 1; }
done
