# Shared by the program tests: a temporary folder, exact-output checks, and
# a private wine prefix for the Windows program.
#
# A test script sets native and winexe from its arguments, sources this file,
# runs its checks, and ends with `finish`.

wine=/usr/lib/wine/wine64
work=$(mktemp -d)
failures=0

cleanup() {
    # The wine server of the private prefix goes before its folder does.
    [ -n "${WINEPREFIX:-}" ] && /usr/lib/wine/wineserver -k >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

banner() { printf '\n Partam - Version 3.0.46 beta  for %s\n  Partition tables at the sector level\n' "$1"; }

# The banner of a platform without its last line end (command substitution
# drops it; callers add it back).
banner_text() { banner "$1"; }

# check <label> <expected code> <expected output> <command...>
# Runs the command with closed input and compares exit code and every byte.
check() {
    local label=$1 want_code=$2 want_out=$3
    shift 3
    local out="$work/out" want="$work/want" code
    printf '%s' "$want_out" >"$want"
    timeout 120 "$@" </dev/null >"$out" 2>"$work/err"
    code=$?
    if grep -q $'\r' "$out"; then
        echo "FAIL $label: carriage returns in the output"
        tr -d '\r' <"$out" >"$out.stripped" && mv "$out.stripped" "$out"
        failures=$((failures + 1))
    fi
    if [ "$code" -ne "$want_code" ]; then
        echo "FAIL $label: exit code $code, expected $want_code"
        failures=$((failures + 1))
    fi
    if ! cmp -s "$want" "$out"; then
        echo "FAIL $label: output differs"
        diff <(od -c "$want") <(od -c "$out") | head -20
        failures=$((failures + 1))
    fi
    [ -s "$work/err" ] && { echo "  stderr of $label:"; head -5 "$work/err"; }
    return 0
}

# run_captured <output file> <command...>: runs with closed input, prints
# the exit code.
run_captured() {
    local out=$1
    shift
    timeout 120 "$@" </dev/null >"$out" 2>>"$work/err"
    echo $?
}

# Prepares wine for the Windows program; false (with a SKIP line) when wine
# or the program is missing.
wine_ready() {
    if [ ! -x "$wine" ]; then
        echo "SKIP Windows program: $wine is not installed"
        return 1
    fi
    if [ ! -f "${winexe:-}" ]; then
        echo "SKIP Windows program: ${winexe:-Partam64.exe} is not built"
        return 1
    fi
    export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all
    "$wine" wineboot -i >/dev/null 2>&1
    return 0
}

# A path of the work folder as the Windows program sees it.
winpath() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures failure(s)"
        exit 1
    fi
    echo "all program checks passed"
    exit 0
}
