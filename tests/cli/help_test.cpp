#include "cli/help.h"

#include <gtest/gtest.h>

#include "program_runner.h"

namespace partam {
namespace {

using test::kBanner;
using test::RunWith;

const std::string kFirstHalf =
    " \n Usage: Partam /command[=x or #] [/filename=y] [/sector=z]"
    "\n /List        Lists disk and partition details"
    "\n /Disk=#      Selects the disk (or file), defaults to '0' if not specified"
    "\n /Part=#      Partition to use by number, defaults to '1' if not specified"
    "\n /Vol=x       Specifies volume by drive letter (C:) or volume label"
    "\n /Sector=#    Specifies sector(s) to use for applicable operations"
    "\n /Save=x      Saves the MBR/GPT/Head/VBR, or range. /Filename required"
    "\n /Restore=x   Restores the MBR/GPT/Head/VBR or range from /Filename"
    "\n /Repair=#    1=Replaces a damaged PE/XP/2K3 boot record, 2=Win7/2K8"
    "\n /Show=x      Shows details from previously captured backup file 'x'"
    "\n /Wipe=x      Wipes the MBR/GPT/HEAD/DISK, or range of SECTOR(s)"
    "\n /Sort        Sort MBR partition entries to match physical location on disk"
    "\n /IsSorted    Returns 0 if MBR partitions are already sorted"
    "\n /Hide        Hides selected partition"
    "\n /UnHide      UnHides selected partition"
    "\n /Active      Assigns a partition as bootable"
    "\n /Inactive    Sets the specified partition as unbootable"
    "\n /Del         Deletes the selected partition"
    "\n /Type=#      Changes the specified partition type to #"
    "\n\nPress any key for remaining options...";

const std::string kSecondHalf =
    "\n /Shutdown=#  1-Force shutdown, 2-Force Reboot, 3-Shutdown, 4-Reboot"
    "\n /Copy=#      Copies sector identified by /Sector to '#'"
    "\n /WriteIni=x  Writes structured disk and partition info to filename 'x'"
    "\n /Signature=  Read/Zero/Generate/Write. /Value=xxxxxxxx is required with write"
    "\n /VolumeID=x  Read.  Displays the VolumeID for the specified partition"
    "\n /Create      Creates a new new partition. Requires Start, Size, and Align"
    "\n /Start=      Sector to start new partition. 'Freespace' uses first avail. "
    "\n /Size=       Size in MB of new partition. 'Max' uses all avail freespace. "
    "\n /Align=      Alignment boundary to start new partition, eg. 1k, 2k, 4k, etc."
    "\n /Status      Shows the status flag, or writes new status with =x"
    "\n /BootMenu    Allows user to select the active partition from a menu"
    "\n /Msg=#       Hides the status message displayed upon program exit"
    "\n /Confirm     Automatically answers 'Yes'"
    "\n /Ignore      Ignore Errors and continue processing"
    "\n /Result      Shows Errorlevel code on program exit"
    "\n /?           Displays this help page"
    "\n \nAll funtions return 0 on success, > 0 on error\n";

TEST(HelpTest, PageIsExactAndPausesForOneHiddenKey) {
    FakePlatform platform;
    platform.QueueKeys("xz");
    RunContext run(platform);
    ShowHelp(run);
    // The key is read without echo, so nothing of it shows.
    EXPECT_EQ(platform.TakeOutput(), kFirstHalf + kSecondHalf);
    EXPECT_EQ(platform.keysRead, 1);
}

TEST(HelpTest, ClosedInputDoesNotStopThePage) {
    FakePlatform platform;
    RunContext run(platform);
    ShowHelp(run);
    EXPECT_EQ(platform.TakeOutput(), kFirstHalf + kSecondHalf);
}

TEST(HelpTest, RunsWithoutCommandShowTheHelpPageAndEndWithZero) {
    const std::vector<std::vector<std::string>> cases = {
        {"/disk=1"}, {"/?"}, {"/list", "/?"}, {"/part=2", "/text"}};
    for (const auto& args : cases) {
        FakePlatform platform;
        test::AddMbrDrive(platform, 0, {{0x80, 0x07, 2048, 4096}});
        const auto run = RunWith(platform, args);
        EXPECT_EQ(run.exitCode, 0) << args[0];
        EXPECT_EQ(run.output, kBanner + kFirstHalf + kSecondHalf) << args[0];
    }
}

TEST(HelpTest, OptionsFileHelpRunsTheCommandThenShowsThePage) {
    FakePlatform platform;
    test::AddMbrDrive(platform, 0, {{0x80, 0x07, 2048, 4096}});
    platform.AddFile(platform.programFolder + "partam.opt",
                     test::Bytes{'/', 'd', 'i', 's', 'k', 'c', 'o', 'u', 'n', 't', ' ', '/', '?', '\n'});
    const auto run = RunWith(platform, {});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, kBanner + kFirstHalf + kSecondHalf + "\n");
}

}  // namespace
}  // namespace partam
