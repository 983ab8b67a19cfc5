# Shared by the program tests. Each script runs for one target:
#
#   script.sh native <partam>
#   script.sh win64  <partam> <Partam64.exe>     (under wine64)
#   script.sh win32  <partam> <Partam.exe>       (under 32-bit wine)
#
# It sources this file, which reads those arguments, makes a temporary
# folder ($work) and, for a Windows target, a wine prefix of its own; names
# the disk images with `images`; calls `check` for each run; and ends with
# `finish`. The same checks then hold on every target, and on a Windows
# target every run is also compared with the native program's.
#
# A target that cannot run here ends the script with 77 (`skip`), which
# CTest reports as skipped: a missing wine must never read as a pass.

set -u
target=${1:?target: native, win64 or win32}
native=${2:?native program}
program=${3:-$native}
work=$(mktemp -d)
# Temporary files, wine's server folder among them, stay in the work folder.
export TMPDIR="$work/tmp"
mkdir "$TMPDIR"
failures=0
image_list=()
runner=()
wine=

cleanup() {
    # The prefix's wine server goes before its folder does; only this
    # script's own prefix, never one of the caller's.
    if [[ ${WINEPREFIX:-} == "$work"/* ]]; then
        /usr/lib/wine/wineserver -k >/dev/null 2>&1
        /usr/lib/wine/wineserver -w >/dev/null 2>&1
    fi
    rm -rf "$work"
}
trap cleanup EXIT

skip() {
    echo "SKIP $target: $1"
    exit 77
}

# need_sbin_tools <tool...>: skips unless each is installed; the tools of
# ntfs-3g and dosfstools live in /usr/sbin and /sbin, which the search path
# of a user other than root leaves out, so those join it.
need_sbin_tools() {
    export PATH=$PATH:/usr/sbin:/sbin
    for tool in "$@"; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
}

# fail <what>: one failure of a check a script makes on its own.
fail() {
    echo "FAIL $target $1"
    failures=$((failures + 1))
}
# bytes <file> <offset> <count>: the bytes as hexadecimal pairs.
bytes() { od -An -tx1 -v -j "$2" -N "$3" "$1" | tr -d ' \n'; }
# expect <label> <what> <wanted> <got>: a failure, with the lines that
# differ, unless the two are the same.
expect() {
    if [ "$3" != "$4" ]; then
        echo "FAIL $target $1: $2"
        diff <(printf '%s\n' "$3") <(printf '%s\n' "$4") | head -20
        failures=$((failures + 1))
    fi
}
# said <variable> <text>: sets the variable to the banner and the text, the
# output of a run that ends with that text.
said() { printf -v "$1" '%s\n%s' "$banner" "$2"; }
# make_image <name> <size> <sfdisk script>: an image in $work whose table
# sfdisk wrote, with boot code, and a copy as it was made (<name>.orig) that
# `fresh` and `changes` go back to. The commands that can cost a table first
# copy sector 0 into sector 30 of an MBR disk; the image holds that copy.
make_image() {
    truncate -s "$2" "$work/$1"
    printf '%b' "$3" | sfdisk -q "$work/$1" >/dev/null || { echo "FAIL: sfdisk could not write $1"; exit 1; }
    put "$1" 0 '\x33\xc0\xfa\xbc\x00\x7c\x8e\xd0'
    [[ $3 == *"label: gpt"* ]] || dd if="$work/$1" of="$work/$1" bs=512 count=1 seek=30 conv=notrunc status=none
    cp "$work/$1" "$work/$1.orig"
}
# fresh <image>...: each image in $work as it was made, from <image>.orig.
fresh() { local i; for i in "$@"; do cp --sparse=always "$work/$i.orig" "$work/$i"; done; }
# changes <image>: every byte that differs from the image as made, one line
# each: "<offset> <was> <is>" (hexadecimal bytes).
changes() {
    local offset was is
    cmp -l "$work/$1.orig" "$work/$1" | while read -r offset was is; do
        printf '%d %02x %02x\n' $((offset - 1)) $((8#$was)) $((8#$is))
    done
}
# dumped <image>: the partitions as sfdisk reads them, one compact line each.
dumped() { sfdisk --dump "$work/$1" 2>/dev/null | sed -n 's/^.*\.img\([0-9]*\) : /\1 /p' | tr -d ' '; }

case $target in
native) platform=Linux program=$native ;;
win64) platform=Windows wine=/usr/lib/wine/wine64 arch=win64 ;;
win32) platform=Windows wine=/usr/lib/wine/wine arch=win32 ;;
*)
    echo "unknown target $target"
    exit 2
    ;;
esac

# What the program prints first, unless /silent.
banner=$'\n'" Partam - Version 3.0.46 beta  for $platform"$'\n  Partition tables at the sector level\n'

if [ -n "$wine" ]; then
    [ -x "$wine" ] || skip "$wine is not installed"
    "$wine" --version >/dev/null 2>&1 || skip "$wine does not run on this machine"
    [ -f "$program" ] || skip "$program is not built"
    # A prefix of this run's own: concurrent tests never share a wine
    # server, and the 32-bit one is made by 32-bit wine. No Mono or Gecko.
    export WINEPREFIX="$work/wineprefix" WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if ! "$wine" wineboot -i >"$work/wineboot.log" 2>&1; then
        echo "FAIL $target: wineboot could not make a prefix"
        cat "$work/wineboot.log"
        exit 1
    fi
    # Wine reads the environment, PARTAM_DISKS too, in the locale's
    # character set: UTF-8, whatever the caller's locale.
    runner=(env LC_ALL=C.UTF-8 "$wine")
fi

# images <file>...: the disk images of the runs that follow, as drives 0,
# 1, 2 ...; names without a folder are in $work.
images() {
    image_list=()
    local image
    for image in "$@"; do
        [[ $image == /* ]] || image="$work/$image"
        image_list+=("$image")
    done
}

# The image list as PARTAM_DISKS of the native program and of the Windows
# one (Z: is the Linux root under wine).
native_disks() { (IFS=:; printf '%s' "${image_list[*]}"); }
windows_disks() {
    local image list=()
    for image in "${image_list[@]}"; do
        image="Z:$image"
        list+=("${image//\//\\}")
    done
    (IFS=';'; printf '%s' "${list[*]}")
}

# feed <text>: the next check's standard input holds the text, redirected
# from a file; without it a run's input is closed.
input_file=/dev/null
feed() {
    input_file="$work/input"
    printf '%s' "$1" >"$input_file"
}

# run <output file> <program arguments...>: the target's program on the
# images with closed input (or what `feed` gave); its exit status in
# $status, its output with its line ends in $1. On Windows every line end
# must be CR LF (text-mode output); they are turned into LF for the
# comparisons.
run() {
    local out=$1
    shift
    [ ${#image_list[@]} -gt 0 ] || { echo "FAIL: no disk images named; a run never reaches the machine's drives"; exit 1; }
    if [ -z "$wine" ]; then
        PARTAM_DISKS=$(native_disks) timeout 120 "$program" "$@" <"$input_file" >"$out" 2>"$work/err"
        status=$?
        return
    fi
    PARTAM_DISKS=$(windows_disks) timeout 120 "${runner[@]}" "$program" "$@" <"$input_file" >"$out.crlf" 2>"$work/err"
    status=$?
    if ! crlf_only "$out.crlf"; then
        echo "FAIL $target $*: line ends other than CR LF"
        od -c "$out.crlf" | head -10
        failures=$((failures + 1))
    fi
    LC_ALL=C sed 's/\r$//' "$out.crlf" >"$out"
}

# True when every line end in the file is CR LF and no CR stands elsewhere.
crlf_only() {
    local cr lf ended
    cr=$(LC_ALL=C tr -cd '\r' <"$1" | wc -c)
    lf=$(LC_ALL=C tr -cd '\n' <"$1" | wc -c)
    ended=$(LC_ALL=C grep -a -c $'\r$' "$1")
    [ "$cr" -eq "$lf" ] && [ "$ended" -eq "$lf" ]
}

# The native program on the same images, for the comparison on Windows.
run_native() {
    local out=$1
    shift
    PARTAM_DISKS=$(native_disks) timeout 120 "$native" "$@" <"$input_file" >"$out" 2>"$work/err.native"
    native_status=$?
}

# The exit status a whole code ends with on this target: Linux ends a code
# it cannot carry with 255 (see main.cpp); wine hands on the low 8 bits, or
# 1 when those are 0 (512), so that a failure never reads as success.
status_of() {
    if [ -z "$wine" ]; then
        if [ "$1" -gt 255 ]; then echo 255; else echo "$1"; fi
    elif [ "$1" -ne 0 ] && [ $(($1 & 255)) -eq 0 ]; then
        echo 1
    else
        echo $(($1 & 255))
    fi
}

# compare_writes: set by a script whose runs write to the images. On a
# Windows target the native program then runs on the images as they were
# before the target's run, and both must leave the same bytes; the images
# stay as the target's run left them.
compare_writes=
# Files besides the images that the runs write (the files of a virtual
# disk), kept and compared with them.
written_files=()
compared_files() { printf '%s\n' "${image_list[@]}" "${written_files[@]/#/$work/}"; }
# Files in $work that the runs write and the script then checks itself (a
# report): after a check they hold what the target's program wrote, not
# what the native run that follows it on Windows wrote.
target_files=()
# With compared_head set (a size as head -c takes it), only that much of
# each file is kept and compared: for images too large to read whole whose
# runs write near their start.
compared_head=
keep_images() {
    local i=0 f k
    while read -r f; do
        k="$work/kept.$i.$1"
        [ -f "$f" ] && if [ -n "$compared_head" ]; then head -c "$compared_head" "$f" >"$k"; else cp --sparse=always "$f" "$k"; fi
        i=$((i + 1))
    done < <(compared_files)
}
put_back_images() {
    local i=0 f k
    while read -r f; do
        k="$work/kept.$i.$1"
        [ -f "$k" ] && if [ -n "$compared_head" ]; then dd if="$k" of="$f" conv=notrunc status=none; else cp --sparse=always "$k" "$f"; fi
        i=$((i + 1))
    done < <(compared_files)
}
# same_images <label>: the native run left what the target's run left.
same_images() {
    local i=0 f
    while read -r f; do
        if [ -f "$work/kept.$i.target" ] && ! cmp -s ${compared_head:+-n "$compared_head"} "$f" "$work/kept.$i.target"; then
            echo "FAIL $1: the native program left other bytes on $f"
            cmp -l ${compared_head:+-n "$compared_head"} "$f" "$work/kept.$i.target" | head -5
            failures=$((failures + 1))
        fi
        i=$((i + 1))
    done < <(compared_files)
    put_back_images target
}

# check <label> <code> <output> <program arguments...>
# One run on every target: the program's whole exit code and every byte it
# prints ($banner is this target's banner). Either may be `-`, "not fixed
# here". On a Windows target the native program runs too (unless
# own_outcome is set), and the two must
# print the same bytes (the banner line aside) and end with the same status
# (or 255 natively for a code beyond 8 bits). The native program must write
# nothing on standard error, where the sanitizers report.
check() {
    local label="$target $1" code=$2 want=$3
    shift 3
    [ -n "$wine" ] && [ -n "$compare_writes" ] && keep_images before
    run "$work/out" "$@"
    if [ "$code" != - ] && [ "$status" -ne "$(status_of "$code")" ]; then
        echo "FAIL $label: exit status $status, expected $(status_of "$code") (code $code)"
        failures=$((failures + 1))
    fi
    if [ "$want" != - ] && ! cmp -s <(printf '%s' "$want") "$work/out"; then
        echo "FAIL $label: output differs"
        diff <(printf '%s' "$want" | od -c) <(od -c "$work/out") | head -20
        failures=$((failures + 1))
    fi
    if [ -n "$wine" ] && [ -z "$own_outcome" ]; then
        if [ -n "$compare_writes" ]; then
            keep_images target
            put_back_images before
        fi
        local f
        for f in "${target_files[@]}"; do [ -e "$work/$f" ] && mv "$work/$f" "$work/$f.target"; done
        run_native "$work/native.out" "$@"
        for f in "${target_files[@]}"; do
            rm -f "$work/$f"
            [ -e "$work/$f.target" ] && mv "$work/$f.target" "$work/$f"
        done
        [ -n "$compare_writes" ] && same_images "$label"
        if [ "$native_status" -ne "$status" ] && [ "$native_status" -ne 255 ]; then
            echo "FAIL $label: exit status $status, $native_status natively"
            failures=$((failures + 1))
        fi
        if ! cmp -s <(LC_ALL=C sed '2s/ for Linux$/ for Windows/' "$work/native.out") "$work/out"; then
            echo "FAIL $label: other bytes than the native program's"
            diff <(LC_ALL=C sed '2s/ for Linux$/ for Windows/' "$work/native.out") "$work/out" | head -10
            failures=$((failures + 1))
        fi
    fi
    if [ -n "$stderr_pattern" ]; then
        if ! grep -q -E -- "$stderr_pattern" "$work/err"; then
            echo "FAIL $label: standard error does not say /$stderr_pattern/:"
            head -5 "$work/err"
            failures=$((failures + 1))
        fi
    elif [ -s "$work/err" ]; then
        echo "FAIL $label: standard error:"
        head -20 "$work/err"
        failures=$((failures + 1))
    fi
    stderr_pattern=
    input_file=/dev/null
    own_outcome=
    return 0
}

# own_outcome=1: the next check's outcome on a Windows target is the Windows
# program's own (where the system there really does otherwise), so the
# native program is not run beside it.
own_outcome=

# expect_stderr <extended regular expression>: the next check's standard
# error must match it (instead of being empty).
stderr_pattern=
expect_stderr() { stderr_pattern=$1; }

# programs_in <folder>: the runs that follow use copies of the programs in
# $work/<folder> (the target's and the native one, whose names differ), so
# that a file put there is beside both.
programs_in() {
    local folder="$work/$1"
    mkdir -p "$folder"
    cp "$native" "$folder/"
    [ "$program" = "$native" ] || cp "$program" "$folder/"
    program="$folder/$(basename "$program")"
    native="$folder/$(basename "$native")"
}

# put <image> <byte offset> <printf format>: writes bytes into an image in
# $work, which keeps its size.
put() { printf "$3" | dd of="$work/$1" bs=1 seek="$2" conv=notrunc status=none; }

# entry <status> <type> <start> <sectors>: a 16-byte partition entry as the
# printf escapes put takes (no CHS bytes).
entry() {
    local v out i
    out=$(printf '\\x%02x\\x00\\x00\\x00\\x%02x\\x00\\x00\\x00' "$1" "$2")
    for v in "$3" "$4"; do
        for i in 0 8 16 24; do out+=$(printf '\\x%02x' $(((v >> i) & 255))); done
    done
    printf '%s' "$out"
}

# table <image> <sector> <entry>...: a partition table at a sector (an MBR
# or an EBR): the entries from slot 0 on, and 55 AA.
table() {
    local image=$1 sector=$2 slots=""
    shift 2
    for e in "$@"; do slots+=$e; done
    put "$image" $((sector * 512 + 446)) "$slots"
    put "$image" $((sector * 512 + 510)) '\x55\xaa'
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures failure(s) on $target"
        exit 1
    fi
    echo "all program checks passed on $target"
    exit 0
}
