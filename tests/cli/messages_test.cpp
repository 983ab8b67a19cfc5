#include "cli/messages.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/fake_platform.h"

namespace partam {
namespace {

struct CodeCase {
    int code;
    const char* line;
};

// Every result code's closing line. The fill texts are set by Closing().
const CodeCase kCodeLines[] = {
    {101, "\n Error 101: Invalid partition ID specified\n"},
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
    {136,
     "Error 136: Partamer is unable to access the disk(s) with current permissions,\n"
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

class MessagesTest : public ::testing::Test {
protected:
    // The closing message of a run that ended with result code.
    std::string Closing(int code, const std::vector<const char*>& args = {"partam", "/vol=50%s"}) {
        RunContext run(platform);
        run.arguments = ArgumentList(static_cast<int>(args.size()), args.data());
        run.options.result = code;
        run.options.valueText = "report.ini";
        run.options.badSwitchText = "/bogus";
        ShowMessages(run);
        return platform.TakeOutput();
    }

    FakePlatform platform;
};

TEST_F(MessagesTest, EveryCodeHasItsExactLine) {
    for (const CodeCase& c : kCodeLines) EXPECT_EQ(Closing(c.code), c.line) << "code " << c.code;
}

TEST_F(MessagesTest, VolumeCodesWithoutVolArgumentShowNothingForIt) {
    EXPECT_EQ(Closing(147, {"partam", "-vol=X"}),
              " Error 147: Unable to locate the specifed partition: '' \n");
}

TEST_F(MessagesTest, NoParametersExplainsAndWaitsForOneHiddenKey) {
    platform.QueueKeys("q");
    EXPECT_EQ(Closing(102),
              "\n Error 102: No command line parameters specified \n"
              "\n  Partamer is a command line application, but no command line parameters\n"
              "  were specified. Please make certain to start Partamer from a command\n"
              "  prompt.  For example, the following will display available app options:\n\n"
              "  partam /?\n\n"
              "  Press any key to exit . . .\n");
    EXPECT_EQ(platform.keysRead, 1);
}

TEST_F(MessagesTest, ErrorTextIsKeptByTheDisk) {
    platform.AddDrive(0, 2048);
    RunContext run(platform);
    run.disk = std::make_unique<mDisk>(platform, 0, false);
    run.options.result = 511;
    ShowMessages(run);
    EXPECT_STREQ(run.disk->errorText, "Invalid Disk selected");
    EXPECT_STREQ(ErrorText(run, 9999), "    ");
    EXPECT_STREQ(run.disk->errorText, "    ");
}

struct LevelCase {
    int level;
    int result;
    int shutdown;
    int ignore;
    const char* expected;
};

TEST_F(MessagesTest, MessageLevelAndShutdownNotice) {
    const LevelCase cases[] = {
        {0, 0, 0, 0, " Partition(s) successfully hidden \n"},
        {1, 0, 0, 0, ""},
        {3, 0, 0, 0, ""},
        {1, 511, 0, 0, ""},
        {3, 511, 1, 0, ""},
        {2, 511, 0, 0, " Error 511: Invalid Disk selected\n\n"},
        {0, 511, 1, 0, " Error 511: Invalid Disk selected\n\n Shutdown aborted due to previous error!\n"},
        {0, 511, 1, 1, " Error 511: Invalid Disk selected\n\n"},
        {0, 0, 1, 0, " Partition(s) successfully hidden \n"},
    };
    for (const LevelCase& c : cases) {
        RunContext run(platform);
        run.options.command = CommandId::Hide;
        run.options.messageCommand = CommandId::Hide;
        run.options.messageLevel = c.level;
        run.options.result = c.result;
        run.options.shutdownMode = c.shutdown;
        run.options.ignoreErrors = c.ignore;
        ShowMessages(run);
        EXPECT_EQ(platform.TakeOutput(), c.expected) << "level " << c.level << " result " << c.result;
    }
}

struct SuccessCase {
    CommandId command;
    CommandId messageCommand;
    AreaKind area;
    std::string valueText;
    int sector;
    int silent;
    const char* expected;
};

TEST_F(MessagesTest, SuccessMessages) {
    using C = CommandId;
    using A = AreaKind;
    const SuccessCase cases[] = {
        {C::Save, C::Save, A::Mbr, "mbr", 0, 0, " The MBR was successfully saved to x.bin\n"},
        {C::Save, C::Save, A::Head, "head", 0, 0, " The first head was successfully saved to x.bin\n"},
        {C::Save, C::Save, A::Disk, "disk", 0, 0, " The disk was successfully saved to x.bin\n"},
        {C::Save, C::Save, A::Gpt, "gpt", 0, 0, " The GPT was successfully saved to x.bin\n"},
        {C::Save, C::Save, A::Vbr, "vbr", 0, 0, " The volume boot record was successfully saved to x.bin\n"},
        {C::Save, C::Save, A::Range, "range", 0, 0,
         " The specified sector range was successfully saved to x.bin\n"},
        {C::Restore, C::Restore, A::Mbr, "mbr", 0, 0, " The MBR was successfully restored from x.bin\n"},
        {C::Restore, C::Restore, A::Range, "12", 0, 0,
         " The specified sector range was successfully restored from x.bin\n"},
        {C::IsSorted, C::IsSorted, A::NotGiven, "", 0, 0, " Partition entries are not sorted \n"},
        {C::Status, C::Status, A::NotGiven, "", 0, 0, " Status read successfully as 200  \n"},
        {C::ReadSignature, C::ReadSignature, A::NotGiven, "", 0, 0, " Disk 2 signature: 0x0AB1C2FF  \n"},
        {C::ReadSignature, C::ReadSignature, A::NotGiven, "", 0, 1, "0AB1C2FF"},
        {C::ReadVolumeID, C::ReadVolumeID, A::NotGiven, "", 0, 0, " Disk 2 Part 3 VolumeID: 1234-ABCD  \n"},
        {C::ReadVolumeID, C::ReadVolumeID, A::NotGiven, "", 0, 1, "1234-ABCD"},
        {C::List, C::List, A::NotGiven, "", 0, 0, ""},
        {C::TabList, C::List, A::NotGiven, "", 0, 0, ""},
        {C::Show, C::Show, A::NotGiven, "", 0, 0, ""},
        {C::FlashMBR, C::FlashMBR, A::NotGiven, "", 0, 0, ""},
        {C::Repair, C::Repair, A::NotGiven, "", 0, 0, " MBR successfully repaired \n"},
        {C::Repair, C::Repair, A::NotGiven, "", 5, 0, " Specified sectors successfully restored \n"},
        {C::Wipe, C::Wipe, A::Mbr, "mbr", 0, 0, " MBR successfully cleared \n"},
        {C::Wipe, C::Wipe, A::Head, "head", 0, 0, " Entire first head successfully cleared \n"},
        {C::Wipe, C::Wipe, A::Disk, "disk", 0, 0, " Disk successfully cleared \n"},
        {C::Wipe, C::Wipe, A::Gpt, "gpt", 0, 0, " Specified sectors successfully cleared \n"},
        {C::Wipe, C::Wipe, A::Mbr, "MBR", 0, 0, " Specified sectors successfully cleared \n"},
        {C::Sort, C::Sort, A::NotGiven, "", 0, 0, " Partition entries successfully sorted \n"},
        {C::Active, C::Active, A::NotGiven, "", 0, 0, " Partition successfully set to active \n"},
        {C::Inactive, C::Inactive, A::NotGiven, "", 0, 0, " Partition successfully set inactive \n"},
        {C::UnHide, C::UnHide, A::NotGiven, "", 0, 0, " Partition(s) successfully unhidden \n"},
        {C::Del, C::Del, A::NotGiven, "", 0, 0, " Partition successfully deleted \n"},
        {C::Del, C::DeleteAll, A::NotGiven, "", 0, 0, " All Partitions successfully deleted \n"},
        {C::Type, C::Type, A::NotGiven, "0c", 0, 0, " Partition type successfully changed \n"},
        {C::Copy, C::Copy, A::NotGiven, "", 0, 0, " Sector was successfully copied \n"},
        // A "%" in the user's file name is text, never a conversion.
        {C::WriteIni, C::WriteIni, A::NotGiven, "r%s%d.ini", 0, 0,
         " MBR information was successfully written to r%s%d.ini \n"},
        {C::BootMenu, C::BootMenu, A::NotGiven, "2", 0, 0, " \n Partition 2 successfully set to active \n"},
        {C::WriteStatus, C::WriteStatus, A::NotGiven, "", 0, 0, " Status written successfully \n"},
        {C::Create, C::Create, A::NotGiven, "", 0, 0, " Partition created successfully \n"},
        {C::Signature, C::WriteSignature, A::NotGiven, "", 0, 0,
         " Disk signature was successfully updated \n"},
        {C::Signature, C::GenerateSignature, A::NotGiven, "", 0, 0,
         " Disk signature was successfully generated \n"},
        {C::Signature, C::ZeroSignature, A::NotGiven, "", 0, 0,
         " Disk signature was successfully Zeroed out \n"},
        {C::Info, C::Info, A::NotGiven, "", 0, 0, ""},
        {C::DiskCount, C::None, A::NotGiven, "", 0, 0, ""},
    };
    for (const SuccessCase& c : cases) {
        RunContext run(platform);
        RunOptions& o = run.options;
        o.command = c.command;
        o.messageCommand = c.messageCommand;
        o.area = c.area;
        o.valueText = c.valueText;
        o.sector = c.sector;
        o.silent = c.silent;
        o.fileName = "x.bin";
        o.statusByte = 200;
        o.disk = 2;
        o.part = 3;
        const std::uint8_t signature[4] = {0x0A, 0xB1, 0xC2, 0xFF};
        std::copy(signature, signature + 4, o.signatureBytes);
        o.volumeIdText = "1234-ABCD";
        ShowMessages(run);
        EXPECT_EQ(platform.TakeOutput(), c.expected) << "command " << static_cast<int>(c.command);
    }
}

TEST_F(MessagesTest, SortedEntriesSayNothingAboutNot) {
    RunContext run(platform);
    run.options.command = CommandId::IsSorted;
    run.options.entriesSorted = 1;
    ShowMessages(run);
    EXPECT_EQ(platform.TakeOutput(), " Partition entries are sorted \n");
}

}  // namespace
}  // namespace partam
