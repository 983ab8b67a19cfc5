#include "cli/help.h"

#include <string>

namespace partam {

namespace {

constexpr char kSwitchPrefix = '/';

constexpr const char* kUsageLine = " \n Usage: Partam %ccommand[=x or #] [/filename=y] [/sector=z]";

constexpr const char* kFirstHalf[] = {
    "List        Lists disk and partition details",
    "Disk=#      Selects the disk (or file), defaults to '0' if not specified",
    "Part=#      Partition to use by number, defaults to '1' if not specified",
    "Vol=x       Specifies volume by drive letter (C:) or volume label",
    "Sector=#    Specifies sector(s) to use for applicable operations",
    "Save=x      Saves the MBR/GPT/Head/VBR, or range. /Filename required",
    "Restore=x   Restores the MBR/GPT/Head/VBR or range from /Filename",
    "Repair=#    1=Replaces a damaged PE/XP/2K3 boot record, 2=Win7/2K8",
    "Show=x      Shows details from previously captured backup file 'x'",
    "Wipe=x      Wipes the MBR/GPT/HEAD/DISK, or range of SECTOR(s)",
    "Sort        Sort MBR partition entries to match physical location on disk",
    "IsSorted    Returns 0 if MBR partitions are already sorted",
    "Hide        Hides selected partition",
    "UnHide      UnHides selected partition",
    "Active      Assigns a partition as bootable",
    "Inactive    Sets the specified partition as unbootable",
    "Del         Deletes the selected partition",
    "Type=#      Changes the specified partition type to #",
};

constexpr const char* kSecondHalf[] = {
    "Shutdown=#  1-Force shutdown, 2-Force Reboot, 3-Shutdown, 4-Reboot",
    "Copy=#      Copies sector identified by /Sector to '#'",
    "WriteIni=x  Writes structured disk and partition info to filename 'x'",
    "Signature=  Read/Zero/Generate/Write. /Value=xxxxxxxx is required with write",
    "VolumeID=x  Read.  Displays the VolumeID for the specified partition",
    "Create      Creates a new new partition. Requires Start, Size, and Align",
    "Start=      Sector to start new partition. 'Freespace' uses first avail. ",
    "Size=       Size in MB of new partition. 'Max' uses all avail freespace. ",
    "Align=      Alignment boundary to start new partition, eg. 1k, 2k, 4k, etc.",
    "Status      Shows the status flag, or writes new status with =x",
    "BootMenu    Allows user to select the active partition from a menu",
    "Verify      Reports every fault found in the partition tables of the disk",
    "Msg=#       Hides the status message displayed upon program exit",
    "Confirm     Automatically answers 'Yes'",
    "Ignore      Ignore Errors and continue processing",
    "Result      Shows Errorlevel code on program exit",
    "Json        Shows List, TabList or Info as one JSON document",
    "?           Displays this help page",
};

}  // namespace

void HelpLine(RunContext& run, const char* text, bool isUsageLine) {
    if (isUsageLine) {
        // The usage line's one conversion is the "%c" of the switch prefix;
        // it is filled by hand so the text never acts as a format.
        std::string line(text);
        const auto at = line.find("%c");
        if (at != std::string::npos) line.replace(at, 2, 1, kSwitchPrefix);
        run.Print(line);
    } else {
        run.Printf("\n %c%s", kSwitchPrefix, text);
    }
}

void ShowHelp(RunContext& run) {
    HelpLine(run, kUsageLine, true);
    for (const char* line : kFirstHalf) HelpLine(run, line, false);
    run.Print("\n\nPress any key for remaining options...");
    run.platform.ReadKey(false);
    for (const char* line : kSecondHalf) HelpLine(run, line, false);
    run.Print("\n \nAll funtions return 0 on success, > 0 on error\n");
}

}  // namespace partam
