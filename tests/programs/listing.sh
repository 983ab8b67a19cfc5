#!/usr/bin/env bash
# Disks and their listing, run through the built program of one target (see
# lib.bash) on image files:
# - what the listing shows of images partitioned by util-linux sfdisk agrees
#   with `sfdisk --dump` (slots, logical partitions, types, starts, sizes);
# - the exit codes and error lines of runs about disks;
# - on Windows, every run prints the native program's bytes past its banner
#   and ends with the same status.
#
# usage: listing.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"

command -v sfdisk >/dev/null || skip "sfdisk is not installed"

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
    images "$1"
    run "$work/list.out" /list /text /extended /disk=0
    awk '$1 ~ /^[0-9]+$/ && $2 ~ /^[0-9]+$/ { split($3, t, "-"); print "P", $2, t[1], $7, $8, $5 }
         $1 ~ /^L[0-9]+$/ && $2 == "-" { split($3, t, "-"); print "L", substr($1, 2), t[1], $7, $8, $5 }' \
        "$work/list.out" | tr -d ',' | sort
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
    listed "$image" >"$work/listed"
    got=$(cat "$work/listed")
    if [ -z "$want" ] || [ "$want" != "$got" ]; then
        echo "FAIL $target: listing of $image disagrees with sfdisk --dump"
        diff <(echo "$want") <(echo "$got")
        failures=$((failures + 1))
    fi
    images "$image"
    check "/partcount of $image" "$(echo "$want" | grep -c '^P')" - /partcount
done

# Error lines of runs about disks, with the program's whole codes (above
# 255 the exit status differs by target; see status_of). Entry N of the
# list is always disk N: an entry that cannot be opened, or more than 20,
# stop the run before any disk is read, and standard error names the entry.
no_disk="$banner"$'\n Error 515: No Disk Identified or Insufficient User Privileges\n\n'
images /nonexistent.img
expect_stderr 'PARTAM_DISKS entry 0 ".*nonexistent.img" cannot be opened'
check "no disk" 515 "$no_disk" /list
images mbr.img missing.img empty.img
expect_stderr 'PARTAM_DISKS entry 1 ".*missing.img" cannot be opened'
check "a missing entry between two images" 515 "$no_disk" /list /disk=1
expect_stderr 'PARTAM_DISKS entry 1 ".*missing.img" cannot be opened'
check "/diskcount with a missing entry" 515 "$no_disk" /diskcount
images mbr.img tmp
expect_stderr 'PARTAM_DISKS entry 1 ".*tmp" cannot be opened'
check "a folder as an entry" 515 "$no_disk" /list
images $(printf 'empty.img %.0s' {1..21})
expect_stderr 'PARTAM_DISKS holds more than 20 entries'
check "21 entries" 515 "$no_disk" /list
images $(printf 'empty.img %.0s' {1..20})
check "20 entries" 20 "$banner"$'\n' /diskcount

# A disk without partitions is listed and answered, not refused.
images empty.img mbr.img
check "/partcount of a blank disk 0" 0 "$banner"$'\n' /partcount
check "/isfixed of a blank disk 0" 1 "$banner"$'\n' /isfixed
check "/list with a blank disk 0" 0 - /list
grep -q "Disk: 1 " "$work/out" && grep -q "No partitions found on this disk" "$work/out" ||
    { echo "FAIL $target: /list with a blank disk 0 did not list both disks"; failures=$((failures + 1)); }

# An answer belongs to the disk asked about; /ignore makes no missing disk
# present.
check "/partcount /disk=5" 511 "$banner"$'\n Error 511: Invalid Disk selected\n\n' /partcount /disk=5
check "/isfixed /disk=5" 511 "$banner"$'\n Error 511: Invalid Disk selected\n\n' /isfixed /disk=5
check "/list /disk=9 /ignore" 511 "$banner"$'\n Error 511: Invalid Disk selected\n\n' /list /disk=9 /ignore

# An EBR chain that links back to its own EBR ends early: the table is
# corrupt, which decides a command on that disk and no other, and a listing
# of every disk warns in that disk's block.
truncate -s 8M "$work/loop.img"
put loop.img 0 '\x33\xc0'
table loop.img 0 "$(entry 0 0x0f 2048 8192)"
table loop.img 2048 "$(entry 0 0x83 63 100)" "$(entry 0 5 0 100)"
images loop.img mbr.img
corrupt="$banner"$'\n Error 513: Partition table is corrupt\n\n'
check "/list of the corrupt disk" 513 "$corrupt" /list /disk=0
check "/partcount of the other disk" 3 "$banner"$'\n' /partcount /disk=1
check "/tablist of the other disk" 0 - /tablist /disk=1 /text
grep -q "Disk: 1 " "$work/out" && ! grep -q "Disk: 0 " "$work/out" ||
    { echo "FAIL $target: /tablist /disk=1 did not list disk 1 alone"; failures=$((failures + 1)); }
images loop.img
check "a chain that loops" 0 "$banner"'
 ----------------------------------------------------------------------------- 
  Disk: 0                         MBR/GPT:         MBR                         
    Size:        8.00MB           CHS:             1 255 63                    
    Sectors:     16384            Disk Signature:  0x00000000                  
    Partitions:  1                Partition Order: 1                           
    Media Type:  Fixed            Interface:       File                        
    Description: loop.img                                                      
 ----------------------------------------------------------------------------- 
 Pos Idx Type/Name Size Boot Hide  Start Sector  Total Sectors  DL Vol Label   
 --- --- --------- ---- ---- ---- -------------- -------------- -- ----------- 
  1   1  0F-EXTEND 4.0M  No   No           2,048          8,192    <None>      
  L1  -  83-Linux   50K  No   No           2,111            100    <None>      
                                                                               
  ** Warning** The partition table on disk 0 appears to be corrupt!            
     There will be limited partition functionality due to this discrepancy     
 ----------------------------------------------------------------------------- 

' /list /disk=* /text /extended

# Two extended partitions, each followed by its own chain, and the free
# regions exactly: in front of the first partition from sector 63, and after
# the last to the end of the disk.
truncate -s 16M "$work/two.img"
put two.img 0 '\x33\xc0'
put two.img 440 '\x78\x56\x34\x12'
table two.img 0 "$(entry 0 0x0f 2048 8192)" "$(entry 0x80 7 10240 2048)" "$(entry 0 5 12288 4096)"
table two.img 2048 "$(entry 0 0x83 63 2000)" "$(entry 0 5 4096 2063)"
table two.img 6144 "$(entry 0 0x83 63 2000)"
table two.img 12288 "$(entry 0 0x0b 63 1000)"
images two.img
check "two extended partitions" 0 "$banner"'
 ----------------------------------------------------------------------------- 
  Disk: 0                         MBR/GPT:         MBR                         
    Size:        16.00MB          CHS:             2 255 63                    
    Sectors:     32768            Disk Signature:  0x12345678                  
    Partitions:  3                Partition Order: 1 2 3                       
    Media Type:  Fixed            Interface:       File                        
    Description: two.img                                                       
 ----------------------------------------------------------------------------- 
 Pos Idx Type/Name Size Boot Hide  Start Sector  Total Sectors  DL Vol Label   
 --- --- --------- ---- ---- ---- -------------- -------------- -- ----------- 
  Freespace        992K                       63          1,985                
  1   1  0F-EXTEND 4.0M  No   No           2,048          8,192    <None>      
  L1  -  83-Linux  1.0M  No   No           2,111          2,000    <None>      
  L2  -  83-Linux  1.0M  No   No           6,207          2,000    <None>      
  2   2  07-NTFS   1.0M  Yes  No          10,240          2,048    <None>      
  3   3  05-EXTEND 2.0M  No   No          12,288          4,096    <None>      
  L3  -  0B-FAT32  500K  No   No          12,351          1,000    <None>      
  Freespace        8.0M                   16,384         16,384                
 ----------------------------------------------------------------------------- 

' /list /text /extended /freespace
images mbr.img empty.img
check /disk=7 511 "$banner"$'\n Error 511: Invalid Disk selected\n\n' /list /disk=7
check "/tablist /disk=*" 128 "$banner"$'\n Error 128: All Disks command not allowed with this operation\n' \
    /tablist /disk=*
check /diskcount 2 "$banner"$'\n' /diskcount

# Listings whose every byte the native and Windows programs must share.
images mbr.img unsorted.img empty.img
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
for arguments in "${runs[@]}"; do
    # shellcheck disable=SC2086
    check "$arguments" - - $arguments
done
finish
