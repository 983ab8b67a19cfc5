#include "cli/executor.h"

#include <gtest/gtest.h>

#include "base/result_codes.h"
#include "program_runner.h"

namespace partam {
namespace {

using test::AddMbrDrive;
using test::kBanner;
using test::RunWith;

class ExecutorTest : public ::testing::Test {
protected:
    void SetUp() override {
        AddMbrDrive(platform, 0, {{0x00, 0x07, 2048, 4096}, {0x80, 0x0C, 6144, 4096}});
        AddMbrDrive(platform, 1, {{0x00, 0x07, 2048, 2048}});
    }
    FakePlatform platform;
};

struct FrameCase {
    std::vector<std::string> args;
    int exitCode;
    std::string output;  // after the banner
};

// The shared checks stop a command before anything is asked.
TEST_F(ExecutorTest, SharedChecksRefuseBeforeThePrompt) {
    const FrameCase cases[] = {
        {{"/hide", "/part=*"}, 106, "\n Error 106: Invalid Partition specified.\n"},
        {{"/hide", "/part=3"}, 106, "\n Error 106: Invalid Partition specified.\n"},
        {{"/sort", "/disk=1", "/part=2"}, 106, "\n Error 106: Invalid Partition specified.\n"},
        {{"/unhide", "/disk=*", "/part=*"},
         128,
         "\n Error 128: All Disks command not allowed with this operation\n"},
        {{"/tablist", "/disk=*"}, 128, "\n Error 128: All Disks command not allowed with this operation\n"},
        {{"/create=x", "/part=*"},
         127,
         "\n Error 127: All Partitions command not allowed with this operation\n"},
        {{"/repair=xp", "/part=*"},
         127,
         "\n Error 127: All Partitions command not allowed with this operation\n"},
        {{"/copy", "/target=5"},
         122,
         "\n Error 122: Missing or invalid /Source=x command, required with /copy\n"},
        {{"/copy", "/source=1"},
         109,
         "\n Error 109: Missing or invalid /Target=x command, required with copy\n"},
        {{"/list", "/disk=7"}, 511, "\n Error 511: Invalid Disk selected\n\n"},
        {{"/list", "/disk=x.vmdk"},
         565,
         "\n Error 565: Unable to locate the specified virtual disk file\n\n"},
        {{"/wipe=bogus"}, 117, "\n Error 117: Invalid Parameter: /wipe=bogus\n"},
    };
    for (const FrameCase& c : cases) {
        platform.keysRead = 0;
        const auto run = RunWith(platform, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << " " << c.args[1 % c.args.size()];
        EXPECT_EQ(run.output, kBanner + c.output) << c.args[0] << " " << c.args[1 % c.args.size()];
        EXPECT_EQ(platform.keysRead, 0) << c.args[0];
    }
}

// What passes the checks is asked about; "n" cancels with 129.
TEST_F(ExecutorTest, CommandsThatPassTheChecksAreAsked) {
    const FrameCase cases[] = {
        {{"/del", "/part=9"}, 129, "delete partition 9 on disk 0"},
        {{"/del", "/part=*", "/disk=1"}, 129, "delete all partitions on disk 1"},
        {{"/hide", "/disk=*", "/part=*"}, 129, "Hide all partitions on disk 0"},
        {{"/copy", "/source=1", "/target=5"}, 129, "copy the selected sectors"},
        {{"/type=0c", "/part=2", "/disk=0"}, 129, "change the type of disk 0:Part 2 to 0c"},
    };
    for (const FrameCase& c : cases) {
        platform.QueueKeys("n");
        const auto run = RunWith(platform, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0];
        EXPECT_EQ(run.output, kBanner + "\n Preparing to " + c.output + ", are you sure? (Y/N): n\n\n" +
                                  "\n" + " Error 129: User cancelled process\n")
            << c.args[0];
    }
}

struct ActionCase {
    CommandId command;
    AreaKind area;
    int part;
    std::int64_t firstSector;
    bool isVirtual;
    const char* action;
};

TEST_F(ExecutorTest, ActionTexts) {
    using C = CommandId;
    using A = AreaKind;
    const A none = A::NotGiven;
    const ActionCase cases[] = {
        {C::Repair, none, 1, 1, false, "create a Windows XP MBR on disk 1"},
        {C::Repair, none, 1, 2, false, "create a Windows Win7 MBR on disk 1"},
        {C::Repair, none, 1, 3, false, ""},
        {C::Restore, A::Gpt, 1, 0, false, "restore the GPT"},
        {C::Restore, A::Head, 1, 0, false, "restore the first head"},
        {C::Restore, A::Mbr, 1, 0, false, "restore the MBR"},
        {C::Restore, A::Range, 1, 0, false, "restore the specified sector"},
        {C::Restore, A::Vbr, 1, 0, false, "restore the specified sector"},
        {C::Wipe, A::Range, 1, 0, false, "wipe the specified range"},
        {C::Wipe, A::Gpt, 1, 0, false, "wipe the GPT Table"},
        {C::Wipe, A::Disk, 1, 0, false, "wipe the entire disk"},
        {C::Wipe, A::Head, 1, 0, false, "wipe the first head"},
        {C::Wipe, A::Mbr, 1, 0, false, "wipe the MBR"},
        {C::Sort, none, 1, 0, false, "sort the MBR entries on disk 1"},
        {C::Active, none, 3, 0, false, "Activate partition 3 on disk 1"},
        {C::Active, none, -1, 0, false, "Activate all partitions on disk 1"},
        {C::Active, none, 3, 0, true, "set the virtual disk partition 3 active"},
        {C::Inactive, none, 3, 0, false, "Deactivate partition 3 on disk 1"},
        {C::Inactive, none, -1, 0, false, "Deactivate all partitions on disk 1"},
        {C::Inactive, none, 3, 0, true, "set the virtual disk partition 3 inactive"},
        {C::Hide, none, 2, 0, false, "Hide partition 2 on disk 1"},
        {C::Hide, none, -1, 0, false, "Hide all partitions on disk 1"},
        {C::Hide, none, 2, 0, true, "hide virtual disk partition 2"},
        {C::UnHide, none, 2, 0, false, "Unhide partition 2 on disk 1"},
        {C::UnHide, none, -1, 0, false, "Unhide all partitions on disk 1"},
        {C::UnHide, none, 2, 0, true, "unhide virtual disk partition 2"},
        {C::Del, none, 4, 0, false, "delete partition 4 on disk 1"},
        {C::Del, none, -1, 0, false, "delete all partitions on disk 1"},
        {C::Type, none, 2, 0, false, "change the type of disk 1:Part 2 to 7%s"},
        {C::Copy, none, 1, 0, false, "copy the selected sectors"},
        {C::WriteStatus, none, 1, 0, false, "write a new status flag"},
    };
    for (const ActionCase& c : cases) {
        RunContext run(platform);
        run.disk = std::make_unique<mDisk>(platform, 0, false);
        run.disk->Use(1);
        run.disk->isVirtual = c.isVirtual ? 1 : 0;
        run.options.command = c.command;
        run.options.area = c.area;
        run.options.part = c.part;
        run.options.firstSector = c.firstSector;
        run.options.valueText = "7%s";
        EXPECT_EQ(ActionText(run), c.action) << static_cast<int>(c.command);
    }
    // Everything else runs without a prompt.
    const CommandId silentCommands[] = {C::Save,      C::Show,      C::IsSorted, C::List,   C::TabList,
                                        C::WriteIni,  C::BootMenu,  C::Status,   C::Create, C::Format,
                                        C::FlashMBR,  C::Signature, C::VolumeID, C::Info,   C::DiskCount,
                                        C::PartCount, C::IsFixed};
    for (CommandId command : silentCommands) {
        RunContext run(platform);
        run.options.command = command;
        EXPECT_EQ(ActionText(run), "") << static_cast<int>(command);
        EXPECT_EQ(Confirm(run), 1);
    }
    EXPECT_EQ(platform.keysRead, 0);
}

TEST_F(ExecutorTest, OnlyYesConfirms) {
    const std::pair<std::string, int> cases[] = {{"y", 1}, {"Y", 1},  {"n", 0}, {"N", 0},
                                                 {"x", 0}, {"\n", 0}, {"", 0}};
    for (const auto& [key, answer] : cases) {
        platform.QueueKeys(key);
        RunContext run(platform);
        run.disk = std::make_unique<mDisk>(platform, 0, false);
        run.options.command = CommandId::Sort;
        EXPECT_EQ(Confirm(run), answer) << "key '" << key << "'";
        EXPECT_EQ(platform.TakeOutput(),
                  "\n Preparing to sort the MBR entries on disk 0, are you sure? (Y/N): " + key + "\n\n");
    }
}

TEST_F(ExecutorTest, ClosedInputCancelsWithoutWriting) {
    const std::vector<std::uint8_t> before = platform.FindFile(DrivePath(0))->data;
    const auto run = RunWith(platform, {"/wipe=mbr"});
    EXPECT_EQ(run.exitCode, 129);
    EXPECT_EQ(run.output, kBanner +
                              "\n Preparing to wipe the MBR, are you sure? (Y/N): \n\n\n"
                              " Error 129: User cancelled process\n");
    EXPECT_TRUE(platform.FindFile(DrivePath(0))->data == before);
}

TEST_F(ExecutorTest, ConfirmSwitchAsksNothing) {
    const auto run = RunWith(platform, {"/sort", "/confirm"});
    EXPECT_EQ(platform.keysRead, 0);
    EXPECT_EQ(run.output.find("Preparing"), std::string::npos);
}

TEST_F(ExecutorTest, ClosingNewlineUnlessSilent) {
    EXPECT_EQ(RunWith(platform, {"/diskcount"}).output, kBanner + "\n");
    EXPECT_EQ(RunWith(platform, {"/diskcount", "/silent"}).output, "");
}

TEST_F(ExecutorTest, ListingRecordsSuccessWithoutMessage) {
    for (const char* disk : {"/disk=0", "/disk=*"}) {
        const auto run = RunWith(platform, {"/list", disk});
        EXPECT_EQ(run.exitCode, 0) << disk;
        EXPECT_EQ(run.output.rfind(kBanner, 0), 0u);
        EXPECT_EQ(run.output.find("Error"), std::string::npos) << disk;
        EXPECT_EQ(run.output.back(), '\n');
    }
}

TEST_F(ExecutorTest, RefusalsThrownByABranchBecomeTheResult) {
    RunContext run(platform);
    RunCatchingRefusals(run, CommandId::Create, [] {});
    EXPECT_EQ(run.options.result, 0);
    RunCatchingRefusals(run, CommandId::Create, [] { throw kStartAssigned; });
    EXPECT_EQ(run.options.result, 137);
    // The first recorded result stays.
    RunCatchingRefusals(run, CommandId::Create, [] { throw kTableFull; });
    EXPECT_EQ(run.options.result, 137);
}

}  // namespace
}  // namespace partam
