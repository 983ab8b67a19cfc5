#!/usr/bin/env bash
# The built programs on image files in a temporary folder: the exact output
# and exit code of the runs that need no partition table. The native program
# always; the Windows program under wine64 when both are present, which must
# print the same bytes (its banner names Windows) and end with the same codes.
#
# usage: basics.sh <native program> <Partam64.exe>
set -u
native=${1:?native program}
winexe=${2:-}
source "$(dirname "$0")/lib.bash"

# a.img holds one NTFS-typed partition (sectors 2048-6143), b.img nothing.
truncate -s 10M "$work/a.img"
truncate -s 10M "$work/b.img"
put() { printf "$2" | dd of="$work/a.img" bs=1 seek="$1" conv=notrunc status=none; }
put 0 '\x33\xc0'
put 446 '\x00\x00\x00\x00\x07\x00\x00\x00\x00\x08\x00\x00\x00\x10\x00\x00'
put 510 '\x55\xaa'

help=$' \n Usage: Partam /command[=x or #] [/filename=y] [/sector=z]'
help+=$'\n /List        Lists disk and partition details'
help+=$'\n /Disk=#      Selects the disk (or file), defaults to \'0\' if not specified'
help+=$'\n /Part=#      Partition to use by number, defaults to \'1\' if not specified'
help+=$'\n /Vol=x       Specifies volume by drive letter (C:) or volume label'
help+=$'\n /Sector=#    Specifies sector(s) to use for applicable operations'
help+=$'\n /Save=x      Saves the MBR/GPT/Head/VBR, or range. /Filename required'
help+=$'\n /Restore=x   Restores the MBR/GPT/Head/VBR or range from /Filename'
help+=$'\n /Repair=#    1=Replaces a damaged PE/XP/2K3 boot record, 2=Win7/2K8'
help+=$'\n /Show=x      Shows details from previously captured backup file \'x\''
help+=$'\n /Wipe=x      Wipes the MBR/GPT/HEAD/DISK, or range of SECTOR(s)'
help+=$'\n /Sort        Sort MBR partition entries to match physical location on disk'
help+=$'\n /IsSorted    Returns 0 if MBR partitions are already sorted'
help+=$'\n /Hide        Hides selected partition'
help+=$'\n /UnHide      UnHides selected partition'
help+=$'\n /Active      Assigns a partition as bootable'
help+=$'\n /Inactive    Sets the specified partition as unbootable'
help+=$'\n /Del         Deletes the selected partition'
help+=$'\n /Type=#      Changes the specified partition type to #'
help+=$'\n\nPress any key for remaining options...'
help+=$'\n /Shutdown=#  1-Force shutdown, 2-Force Reboot, 3-Shutdown, 4-Reboot'
help+=$'\n /Copy=#      Copies sector identified by /Sector to \'#\''
help+=$'\n /WriteIni=x  Writes structured disk and partition info to filename \'x\''
help+=$'\n /Signature=  Read/Zero/Generate/Write. /Value=xxxxxxxx is required with write'
help+=$'\n /VolumeID=x  Read.  Displays the VolumeID for the specified partition'
help+=$'\n /Create      Creates a new new partition. Requires Start, Size, and Align'
help+=$'\n /Start=      Sector to start new partition. \'Freespace\' uses first avail. '
help+=$'\n /Size=       Size in MB of new partition. \'Max\' uses all avail freespace. '
help+=$'\n /Align=      Alignment boundary to start new partition, eg. 1k, 2k, 4k, etc.'
help+=$'\n /Status      Shows the status flag, or writes new status with =x'
help+=$'\n /BootMenu    Allows user to select the active partition from a menu'
help+=$'\n /Msg=#       Hides the status message displayed upon program exit'
help+=$'\n /Confirm     Automatically answers \'Yes\''
help+=$'\n /Ignore      Ignore Errors and continue processing'
help+=$'\n /Result      Shows Errorlevel code on program exit'
help+=$'\n /?           Displays this help page'
help+=$'\n \nAll funtions return 0 on success, > 0 on error\n'

no_parameters=$'\n Error 102: No command line parameters specified \n'
no_parameters+=$'\n  Partamer is a command line application, but no command line parameters\n'
no_parameters+=$'  were specified. Please make certain to start Partamer from a command\n'
no_parameters+=$'  prompt.  For example, the following will display available app options:\n\n'
no_parameters+=$'  partam /?\n\n'
no_parameters+=$'  Press any key to exit . . .\n'

# run_suite <platform name> <disks list> <program> [runner...]
run_suite() {
    local name=$1 disks=$2 program=$3
    shift 3
    local runner=("$@")
    local b
    b="$(banner_text "$name")"$'\n'

    PARTAM_DISKS=$disks check "$name /bogus" 105 \
        "$b"$'\n Error 105: Invalid or incomplete switch: /bogus\n' "${runner[@]}" "$program" /bogus
    PARTAM_DISKS=$disks check "$name /disk=1" 0 "$b$help" "${runner[@]}" "$program" /disk=1
    PARTAM_DISKS=$disks check "$name /diskcount" 2 "$b"$'\n' "${runner[@]}" "$program" /diskcount
    PARTAM_DISKS=$disks check "$name /silent /result /diskcount" 2 $'\n2\n' \
        "${runner[@]}" "$program" /silent /result /diskcount

    # A copy of the program in a folder of its own: no options file beside it.
    local folder="$work/$name-bin"
    mkdir -p "$folder"
    cp "$program" "$folder/"
    local copy="$folder/$(basename "$program")"
    PARTAM_DISKS=$disks check "$name no arguments" 102 "$b$no_parameters" "${runner[@]}" "$copy"
    printf '/diskcount\n  /result\n' >"$folder/partam.opt"
    PARTAM_DISKS=$disks check "$name options file" 2 "$b"$'\n\n Result: 2\n' "${runner[@]}" "$copy"
}

run_suite Linux "$work/a.img:$work/b.img" "$native"

if wine_ready; then
    run_suite Windows "$(winpath "$work")\\a.img;$(winpath "$work")\\b.img" "$winexe" "$wine"
fi
finish
