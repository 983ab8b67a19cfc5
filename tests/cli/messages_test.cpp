#include "cli/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

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
// value "report.ini" and bad switch "/bogus". Most lines are
// " Error <code>: <text>\n", with a second "\n" for the disk-level codes.
// clang-format off
const std::pair<int, const char*> kCommandLevel[] = {
    {104, "Unable to write MBR information to file report.ini."}, {106, "Invalid Partition specified."},
    {109, "Missing or invalid /Target=x command, required with copy"}, {112, "Invalid option specified."},
    {110, "The specified file does not contain the MBR signature"}, {129, "User cancelled process"},
    {111, "Missing or incomplete Range specified for the operation"}, {117, "Invalid Parameter: /bogus"},
    {113, "All disks can only be used with all partitions"}, {116, "Status must be between 0 and 254"},
    {118, "Missing or Incomplete Parameter: /bogus"}, {133, "Invalid or missing filename"},
    {119, "/Value must include an 8 character hex string, eg. AC67AC67"},
    {120, "Invalid or missing option required with /Signature"},
    {122, "Missing or invalid /Source=x command, required with /copy"},
    {124, "Invalid or missing option required with /VolumeID"},
    {126, "Partition table must be sorted before performing this operation "},
    {127, "All Partitions command not allowed with this operation"},
    {128, "All Disks command not allowed with this operation"},
    {131, "Unable to perform GPT operations on Non-GPT Disks"}, {134, "Unable to locate the specified file"},
    {135, "Unable to open the specified file"}, {137, "The specified start sector is currently assigned"},
    {138, "The specified size extends into unavailable space "}, {139, "Invalid value specified for align parameter"},
    {141, "Missing or invalid size parameter specified"},
    {142, "Unable to locate available freepace for new partition "},
    {143, "Partition table is full, unable to create new partitions "},
    {144, "Unable to locate the System partition "}, {145, "Unable to locate the Boot partition "},
    {146, "Unable to locate a utility / recovery partition "},
    {147, "Unable to locate the specifed partition: '50%s' "},
    {148, "Unable to locate the partition assigned to drive letter: 50%s "},
    {149, "Unsupported partition boot record for"},
};
const std::pair<int, const char*> kDiskLevel[] = {
    {1, "    "}, {121, "    "}, {201, "    "}, {301, "    "}, {517, "    "}, {570, "    "}, {200, "Invalid EFI Disk"},
    {202, "Unable to Save changes to the GPT"}, {203, "Unable to Read from File"}, {204, "Unable to Open File"},
    {205, "Invalid Partamer Backup File"}, {513, "Partition table is corrupt"},
    {300, "Specified file is not a VMware disk file"}, {302, "Specified file is not a VMware disk file"},
    {303, "Unable to open a required file for the specified virtual disk"},
    {304, "Unable to determine the specific virtual disk type"},
    {305, "Unable to locate a valid MBR in the virtual disk file"},
    {501, "An invalid/missing disk device was detected"}, {502, "Could not read from the device number"},
    {503, "The MBR is missing or corrupt"}, {504, "An invalid entry was located in the boot record "},
    {505, "Unable to save the specified sectors to the selected disk"},
    {506, "Unable to read the MBR from selected disk"}, {507, "An error ocurred writing the backup file"},
    {508, "An error ocurred reading the backup file"}, {509, "The file does not contain a copy of a valid MBR"},
    {510, "Unable to locate a valid MBR at this location"}, {511, "Invalid Disk selected"},
    {512, "Invalid Partition selected"}, {516, "Unable to complete disk wipe"},
    {514, "Discrepancy between Bios Disk Count and Actual Disk Count"},
    {515, "No Disk Identified or Insufficient User Privileges"},
    {518, "Unable to create partition, invalid or missing MBR"}, {550, "Unable to locate specified volume"},
    {551, "Specified volume is already mounted"}, {552, "Specified volume is not mounted"},
    {553, "Unable to mount the selected volume"}, {554, "Unable to dismount the selected volume"},
    {555, "Specified Drive Letter already assigned"}, {556, "Unable to assign label to selected volume"},
    {557, "Invalid mode or signature specified"}, {558, "Unable to hide this partition type"},
    {559, "Unable to modify removable disk partitions"}, {560, "File size does not match requested command"},
    {561, "File does not contain a valid MBR\n"}, {562, "Invalid path or filename specified"},
    {563, "Unable to overwrite existing file. Check permissions and attributes."},
    {564, "Unable to locate specified file"}, {565, "Unable to locate the specified virtual disk file"},
    {566, "Specified file is not a VMware disk file"}, {567, "Unable to identify format of VMDK file"},
    {568, "Unable to identify virtual disk parameters"},
    {569, "Virtual disk file locked, or insufficient privileges"},
};
const std::pair<int, const char*> kOtherLines[] = {
    {101, "\n Error 101: Invalid partition ID specified\n"},
    {102, "\n Error 102: No command line parameters specified \n"},  // then its help and a key
    {105, "\n Error 105: Invalid or incomplete switch: /bogus\n"},
    {125, " Partition entries already sorted. No changes have been made.\n"},
    {136, "Error 136: Partamer is unable to access the disk(s) with current permissions,\n"
          "          please restart as Administrator.\n"}};
// clang-format on

TEST(MessagesTest, EveryCodeHasItsExactLine) {
    std::vector<std::pair<int, std::string>> lines(std::begin(kOtherLines), std::end(kOtherLines));
    const auto add = [&lines](const auto& table, const char* end) {
        for (const auto& [code, text] : table)
            lines.emplace_back(code, " Error " + std::to_string(code) + ": " + text + end);
    };
    add(kCommandLevel, "\n");
    add(kDiskLevel, "\n\n");
    RunOptions o;
    std::tie(o.valueText, o.badSwitchText) = std::tuple("report.ini", "/bogus");
    for (const auto& [code, line] : lines) {
        o.result = code;
        EXPECT_EQ(Shown(o), line + std::string(code == 102 ? kNoParametersHelp : "")) << code;
    }
    o.result = 147;  // without a /vol argument the volume codes name nothing
    EXPECT_EQ(Shown(o, "-vol=X"), " Error 147: Unable to locate the specifed partition: '' \n");
}

// Every code the program can record says what happened: a line of its own or
// a text in the general form. Only 121 is four blanks, as it always was.
TEST(MessagesTest, EveryRecordableCodeHasAText) {
    FakePlatform platform;
    RunContext run(platform);
    for (const MBRERRORS code : kAllResultCodes) {
        if (code == kSuccess) continue;
        const std::string line = ResultLine(run, code);
        const bool blank = line == " Error " + std::to_string(code) + ":     \n\n";
        EXPECT_EQ(blank, code == kUnnamedFailure) << code << ": " << line;
    }
}

TEST(MessagesTest, MessageLevelAndShutdownNotice) {
    const std::string hidden = " Partition(s) successfully hidden \n",
                      e511 = " Error 511: Invalid Disk selected\n\n";
    const std::pair<std::tuple<int, int, int, int>, std::string> cases[] = {
        // clang-format off
        // level, result, shutdown, ignore: the message
        {{0, 0, 0, 0}, hidden}, {{1, 0, 0, 0}, ""}, {{3, 0, 0, 0}, ""}, {{0, 0, 1, 0}, hidden},
        {{1, 511, 0, 0}, ""}, {{3, 511, 1, 0}, ""}, {{2, 511, 0, 0}, e511}, {{0, 511, 1, 1}, e511},
        {{0, 511, 1, 0}, e511 + " Shutdown aborted due to previous error!\n"},
        // clang-format on
    };
    RunOptions o;
    o.command = o.messageCommand = CommandId::Hide;
    for (const auto& [levelResultShutdownIgnore, message] : cases) {
        std::tie(o.messageLevel, o.result, o.shutdownMode, o.ignoreErrors) = levelResultShutdownIgnore;
        EXPECT_EQ(Shown(o), message) << testing::PrintToString(levelResultShutdownIgnore);
    }
}

}  // namespace
}  // namespace partam
