#include "cli/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "support/fake_platform.h"

namespace partam {
namespace {

// The closing message of a run with these options and one argument.
std::string Shown(const RunOptions& options, const char* argument = "/vol=50%s") {
    FakePlatform platform;
    platform.QueueKeys("qq");
    RunContext run(platform);
    const char* argv[] = {"partam", argument};
    run.arguments = ArgumentList(2, argv);
    run.options = options;
    ShowMessages(run);
    EXPECT_EQ(platform.keysRead, options.result == 102 ? 1 : 0);  // 102 waits for one key
    return platform.TakeOutput();
}

// Every result code's closing line, filled from a run of "/vol=50%s" with
// value "report.ini" and bad switch "/bogus".
// clang-format off
const std::pair<int, const char*> kCodeLines[] = {
    {101, "\n Error 101: Invalid partition ID specified\n"},
    {102, "\n Error 102: No command line parameters specified \n"},  // then its help and a key
    {104, " Error 104: Unable to write MBR information to file report.ini.\n"},
    {105, "\n Error 105: Invalid or incomplete switch: /bogus\n"},
    {106, " Error 106: Invalid Partition specified.\n"},
    {109, " Error 109: Missing or invalid /Target=x command, required with copy\n"},
    {110, " Error 110: The specified file does not contain the MBR signature\n"},
    {111, " Error 111: Missing or incomplete Range specified for the operation\n"},
    {112, " Error 112: Invalid option specified.\n"},
    {113, " Error 113: All disks can only be used with all partitions\n"},
    {116, " Error 116: Status must be between 0 and 254\n"},
    {117, " Error 117: Invalid Parameter: /bogus\n"},
    {118, " Error 118: Missing or Incomplete Parameter: /bogus\n"},
    {119, " Error 119: /Value must include an 8 character hex string, eg. AC67AC67\n"},
    {120, " Error 120: Invalid or missing option required with /Signature\n"},
    {121, " Error 121:     \n\n"},
    {122, " Error 122: Missing or invalid /Source=x command, required with /copy\n"},
    {124, " Error 124: Invalid or missing option required with /VolumeID\n"},
    {125, " Partition entries already sorted. No changes have been made.\n"},
    {126, " Error 126: Partition table must be sorted before performing this operation \n"},
    {127, " Error 127: All Partitions command not allowed with this operation\n"},
    {128, " Error 128: All Disks command not allowed with this operation\n"},
    {129, " Error 129: User cancelled process\n"},
    {131, " Error 131: Unable to perform GPT operations on Non-GPT Disks\n"},
    {133, " Error 133: Invalid or missing filename\n"},
    {134, " Error 134: Unable to locate the specified file\n"},
    {135, " Error 135: Unable to open the specified file\n"},
    {136, "Error 136: Partamer is unable to access the disk(s) with current permissions,\n"
           "          please restart as Administrator.\n"},
    {137, " Error 137: The specified start sector is currently assigned\n"},
    {138, " Error 138: The specified size extends into unavailable space \n"},
    {139, " Error 139: Invalid value specified for align parameter\n"},
    {141, " Error 141: Missing or invalid size parameter specified\n"},
    {142, " Error 142: Unable to locate available freepace for new partition \n"},
    {143, " Error 143: Partition table is full, unable to create new partitions \n"},
    {144, " Error 144: Unable to locate the System partition \n"},
    {145, " Error 145: Unable to locate the Boot partition \n"},
    {146, " Error 146: Unable to locate a utility / recovery partition \n"},
    {147, " Error 147: Unable to locate the specifed partition: '50%s' \n"},
    {148, " Error 148: Unable to locate the partition assigned to drive letter: 50%s \n"},
    {149, " Error 149: Unsupported partition boot record for\n"},
    {200, " Error 200: Invalid EFI Disk\n\n"},
    {201, " Error 201:     \n\n"},
    {202, " Error 202: Unable to Save changes to the GPT\n\n"},
    {203, " Error 203: Unable to Read from File\n\n"},
    {204, " Error 204: Unable to Open File\n\n"},
    {205, " Error 205: Invalid Partamer Backup File\n\n"},
    {300, " Error 300: Specified file is not a VMware disk file\n\n"},
    {301, " Error 301:     \n\n"},
    {302, " Error 302: Specified file is not a VMware disk file\n\n"},
    {303, " Error 303: Unable to open a required file for the specified virtual disk\n\n"},
    {304, " Error 304: Unable to determine the specific virtual disk type\n\n"},
    {305, " Error 305: Unable to locate a valid MBR in the virtual disk file\n\n"},
    {1, " Error 1:     \n\n"},
    {501, " Error 501: An invalid/missing disk device was detected\n\n"},
    {502, " Error 502: Could not read from the device number\n\n"},
    {503, " Error 503: The MBR is missing or corrupt\n\n"},
    {504, " Error 504: An invalid entry was located in the boot record \n\n"},
    {505, " Error 505: Unable to save the specified sectors to the selected disk\n\n"},
    {506, " Error 506: Unable to read the MBR from selected disk\n\n"},
    {507, " Error 507: An error ocurred writing the backup file\n\n"},
    {508, " Error 508: An error ocurred reading the backup file\n\n"},
    {509, " Error 509: The file does not contain a copy of a valid MBR\n\n"},
    {510, " Error 510: Unable to locate a valid MBR at this location\n\n"},
    {511, " Error 511: Invalid Disk selected\n\n"},
    {512, " Error 512: Invalid Partition selected\n\n"},
    {513, " Error 513: Partition table is corrupt\n\n"},
    {514, " Error 514: Discrepancy between Bios Disk Count and Actual Disk Count\n\n"},
    {515, " Error 515: No Disk Identified or Insufficient User Privileges\n\n"},
    {516, " Error 516: Unable to complete disk wipe\n\n"},
    {517, " Error 517:     \n\n"},
    {518, " Error 518: Unable to create partition, invalid or missing MBR\n\n"},
    {550, " Error 550: Unable to locate specified volume\n\n"},
    {551, " Error 551: Specified volume is already mounted\n\n"},
    {552, " Error 552: Specified volume is not mounted\n\n"},
    {553, " Error 553: Unable to mount the selected volume\n\n"},
    {554, " Error 554: Unable to dismount the selected volume\n\n"},
    {555, " Error 555: Specified Drive Letter already assigned\n\n"},
    {556, " Error 556: Unable to assign label to selected volume\n\n"},
    {557, " Error 557: Invalid mode or signature specified\n\n"},
    {558, " Error 558: Unable to hide this partition type\n\n"},
    {559, " Error 559: Unable to modify removable disk partitions\n\n"},
    {560, " Error 560: File size does not match requested command\n\n"},
    {561, " Error 561: File does not contain a valid MBR\n\n\n"},
    {562, " Error 562: Invalid path or filename specified\n\n"},
    {563, " Error 563: Unable to overwrite existing file. Check permissions and attributes.\n\n"},
    {564, " Error 564: Unable to locate specified file\n\n"},
    {565, " Error 565: Unable to locate the specified virtual disk file\n\n"},
    {566, " Error 566: Specified file is not a VMware disk file\n\n"},
    {567, " Error 567: Unable to identify format of VMDK file\n\n"},
    {568, " Error 568: Unable to identify virtual disk parameters\n\n"},
    {569, " Error 569: Virtual disk file locked, or insufficient privileges\n\n"},
    {570, " Error 570:     \n\n"},
};
// clang-format on

TEST(MessagesTest, EveryCodeHasItsExactLine) {
    RunOptions o;
    o.valueText = "report.ini";
    o.badSwitchText = "/bogus";
    for (const auto& [code, line] : kCodeLines) {
        o.result = code;
        EXPECT_EQ(Shown(o), line + std::string(code == 102 ? kNoParametersHelp : "")) << code;
    }
    o.result = 147;  // without a /vol argument the volume codes name nothing
    EXPECT_EQ(Shown(o, "-vol=X"), " Error 147: Unable to locate the specifed partition: '' \n");
}

TEST(MessagesTest, MessageLevelAndShutdownNotice) {
    const std::string hidden = " Partition(s) successfully hidden \n",
                      e511 = " Error 511: Invalid Disk selected\n\n";
    const std::tuple<int, int, int, int, std::string> cases[] = {
        // clang-format off
        // level, result, shutdown, ignore: the message
        {0, 0, 0, 0, hidden}, {1, 0, 0, 0, ""}, {3, 0, 0, 0, ""}, {0, 0, 1, 0, hidden}, {1, 511, 0, 0, ""},
        {3, 511, 1, 0, ""}, {2, 511, 0, 0, e511}, {0, 511, 1, 1, e511},
        {0, 511, 1, 0, e511 + " Shutdown aborted due to previous error!\n"},
        // clang-format on
    };
    for (const auto& [level, result, shutdown, ignore, message] : cases) {
        RunOptions o;
        o.command = o.messageCommand = CommandId::Hide;
        o.messageLevel = level;
        o.result = result;
        o.shutdownMode = shutdown;
        o.ignoreErrors = ignore;
        EXPECT_EQ(Shown(o), message) << "level " << level << " result " << result;
    }
}

TEST(MessagesTest, SuccessMessages) {
    using C = CommandId;
    using A = AreaKind;
    const A N = A::NotGiven;
    struct Case {
        CommandId command;  // also the message's command
        AreaKind area;
        const char* value;
        int flag;  // the sector of a repair, /silent of a read, the sorted state of IsSorted
        const char* expected;
    };
    const Case cases[] = {
        // clang-format off
        {C::Save, A::Mbr, "", 0, " The MBR was successfully saved to x.bin\n"},
        {C::Save, A::Head, "", 0, " The first head was successfully saved to x.bin\n"},
        {C::Save, A::Disk, "", 0, " The disk was successfully saved to x.bin\n"},
        {C::Save, A::Gpt, "", 0, " The GPT was successfully saved to x.bin\n"},
        {C::Save, A::Vbr, "", 0, " The volume boot record was successfully saved to x.bin\n"},
        {C::Save, A::Range, "", 0, " The specified sector range was successfully saved to x.bin\n"},
        {C::Restore, A::Mbr, "", 0, " The MBR was successfully restored from x.bin\n"},
        {C::IsSorted, N, "", 0, " Partition entries are not sorted \n"},
        {C::IsSorted, N, "", 1, " Partition entries are sorted \n"},
        {C::Status, N, "", 0, " Status read successfully as 200  \n"},
        {C::ReadSignature, N, "", 0, " Disk 2 signature: 0x0AB1C2FF  \n"},
        {C::ReadSignature, N, "", 1, "0AB1C2FF"},
        {C::ReadVolumeID, N, "", 0, " Disk 2 Part 3 VolumeID: 1234-ABCD  \n"},
        {C::ReadVolumeID, N, "", 1, "1234-ABCD"}, {C::Repair, N, "", 0, " MBR successfully repaired \n"},
        {C::Repair, N, "", 5, " Specified sectors successfully restored \n"},
        {C::Wipe, N, "mbr", 0, " MBR successfully cleared \n"},
        {C::Wipe, N, "disk", 0, " Disk successfully cleared \n"},
        {C::Wipe, N, "head", 0, " Entire first head successfully cleared \n"},
        {C::Wipe, N, "gpt", 0, " Specified sectors successfully cleared \n"},
        {C::Wipe, N, "MBR", 0, " Specified sectors successfully cleared \n"},
        {C::Sort, N, "", 0, " Partition entries successfully sorted \n"},
        {C::Active, N, "", 0, " Partition successfully set to active \n"},
        {C::Inactive, N, "", 0, " Partition successfully set inactive \n"},
        {C::UnHide, N, "", 0, " Partition(s) successfully unhidden \n"},
        {C::Del, N, "", 0, " Partition successfully deleted \n"},
        {C::DeleteAll, N, "", 0, " All Partitions successfully deleted \n"},
        {C::Type, N, "0c", 0, " Partition type successfully changed \n"},
        {C::Copy, N, "", 0, " Sector was successfully copied \n"},
        // A "%" in the user's file name is text, never a conversion.
        {C::WriteIni, N, "r%s%d.ini", 0, " MBR information was successfully written to r%s%d.ini \n"},
        {C::BootMenu, N, "2", 0, " \n Partition 2 successfully set to active \n"},
        {C::WriteStatus, N, "", 0, " Status written successfully \n"},
        {C::Create, N, "", 0, " Partition created successfully \n"},
        {C::WriteSignature, N, "", 0, " Disk signature was successfully updated \n"},
        {C::GenerateSignature, N, "", 0, " Disk signature was successfully generated \n"},
        {C::ZeroSignature, N, "", 0, " Disk signature was successfully Zeroed out \n"},
        {C::List, N, "", 0, ""}, {C::TabList, N, "", 0, ""}, {C::Show, N, "", 0, ""},
        {C::FlashMBR, N, "", 0, ""}, {C::Info, N, "", 0, ""}, {C::DiskCount, N, "", 0, ""},
        // clang-format on
    };
    RunOptions o;
    o.fileName = "x.bin";
    o.statusByte = 200;
    o.disk = 2;
    o.part = 3;
    std::copy_n("\x0A\xB1\xC2\xFF", 4, o.signatureBytes);
    o.volumeIdText = "1234-ABCD";
    for (const Case& c : cases) {
        o.command = o.messageCommand = c.command;
        o.area = c.area;
        o.valueText = c.value;
        o.sector = o.silent = o.entriesSorted = c.flag;
        EXPECT_EQ(Shown(o), c.expected) << "command " << static_cast<int>(c.command);
    }
}

}  // namespace
}  // namespace partam
