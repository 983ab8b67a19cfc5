#!/usr/bin/env bash
# The built program on image files in a temporary folder: the exact output
# and exit code of the runs that need no partition table, on one target (the
# native program, or a Windows one under wine; see lib.bash).
#
# usage: basics.sh <native|win64|win32> <native program> [<Windows program>]
source "$(dirname "$0")/lib.bash"

# a.img holds one NTFS-typed partition (sectors 2048-6143), b.img nothing.
truncate -s 10M "$work/a.img"
truncate -s 10M "$work/b.img"
put a.img 0 '\x33\xc0'
table a.img 0 "$(entry 0 7 2048 4096)"

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
help+=$'\n /Verify      Reports every fault found in the partition tables of the disk'
help+=$'\n /Msg=#       Hides the status message displayed upon program exit'
help+=$'\n /Confirm     Automatically answers \'Yes\''
help+=$'\n /Ignore      Ignore Errors and continue processing'
help+=$'\n /Result      Shows Errorlevel code on program exit'
help+=$'\n /Json        Shows List, TabList or Info as one JSON document'
help+=$'\n /?           Displays this help page'
help+=$'\n \nAll funtions return 0 on success, > 0 on error\n'

no_parameters=$'\n Error 102: No command line parameters specified \n'
no_parameters+=$'\n  Partamer is a command line application, but no command line parameters\n'
no_parameters+=$'  were specified. Please make certain to start Partamer from a command\n'
no_parameters+=$'  prompt.  For example, the following will display available app options:\n\n'
no_parameters+=$'  partam /?\n\n'
no_parameters+=$'  Press any key to exit . . .\n'

images a.img b.img
check /bogus 105 "$banner"$'\n Error 105: Invalid or incomplete switch: /bogus\n' /bogus
check /disk=1 0 "$banner$help" /disk=1
check /diskcount 2 "$banner"$'\n' /diskcount
check "/silent /result /diskcount" 2 $'\n2\n' /silent /result /diskcount
# A refused value of a command switch still names its command; a number
# past 2^64 is refused, not wrapped round to a small one.
check "/status /save=xyz" 105 "$banner"$'\n Error 105: Invalid or incomplete switch: /save=xyz\n' /status /save=xyz
check "/disk=2^64+1" 105 "$banner"$'\n Error 105: Invalid or incomplete switch: /disk=18446744073709551617\n' \
    /disk=18446744073709551617 /diskcount

# An image whose name lies outside every ANSI code page: the Windows
# programs take UTF-8 as theirs, so any name Windows accepts works.
cp "$work/a.img" "$work/диск-磁盘.img"
images диск-磁盘.img
check "file name outside the ANSI code page" 1 "$banner"$'\n' /diskcount

# Copies of the programs in a folder of their own: no options file beside
# them, and then one.
images a.img b.img
programs_in bin
check "no arguments" 102 "$banner$no_parameters"
printf '/diskcount\n  /result\n' >"$work/bin/partam.opt"
check "options file" 2 "$banner"$'\n\n Result: 2\n'
# From the options file, /? beside a command runs the command, then shows help.
printf '/diskcount /?\n' >"$work/bin/partam.opt"
check "options file with /?" 2 "$banner$help"$'\n'
finish
