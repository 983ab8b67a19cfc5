// The commands that write, run whole: the system is told of a changed table
// once per disk written and never otherwise, and a GPT disk is refused what
// its table does not support. Bytes and messages of each command are the
// program tests' (tests/programs/edits.sh).
#include <gtest/gtest.h>

#include <sstream>

#include "base/result_codes.h"
#include "cli/driver.h"
#include "cli/executor.h"
#include "cli/switches.h"
#include "mbr/partition_list.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

// Disk 0 holds NTFS and Linux partitions; disk 1 (drive 2) a FAT one.
void SetUpMachine(FakePlatform& platform) {
    test::PutSector(platform.AddDrive(0, 12288).data, 0,
                    test::MakeMbr({{0, 0x07, 2048, 4096}, {0, 0x83, 6144, 4096}}));
    test::PutSector(platform.AddDrive(2, 12288).data, 0, test::MakeMbr({{0, 0x0C, 2048, 2048}}));
}

// Parses the line and carries it out against disks read with the given
// readers; the run's result.
int RunLine(FakePlatform& platform, const std::string& line, TableReaders readers = StandardTableReaders()) {
    std::vector<std::string> words{"partam"};
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    RunContext run(platform);
    ParseCommandLine(run, static_cast<int>(argv.size()), argv.data());
    run.disk = std::make_unique<mDisk>(platform, 0, false, std::move(readers));
    run.sizeFormatter = std::make_unique<SizeFormatter>(platform);
    ProcessSwitches2(run);
    return run.options.result;
}

TEST(EditRunsTest, TheSystemIsToldOncePerDiskWritten) {
    const std::string d0 = DrivePath(0), d2 = DrivePath(2);
    // line, result, drives announced; refused, cancelled, read-only and
    // unwritten runs tell nothing
    const std::tuple<const char*, int, std::vector<std::string>> cases[] = {
        {"/hide /confirm", 0, {d0}},
        {"/hide /disk=1 /confirm", 0, {d2}},
        {"/hide /part=2 /confirm", kCannotHideType, {}},
        {"/hide /disk=* /part=* /confirm", kCannotHideType, {d0}},
        {"/del /disk=* /part=* /confirm", 0, {d0, d2}},
        {"/wipe=range /range=5-4 /confirm", 0, {}},
        {"/copy /source=0 /target=30 /confirm", 0, {d0}},
        {"/wipe=mbr", kUserCancelled, {}},
        {"/issorted", 0, {}},
        {"/list", 0, {}},
    };
    for (const auto& [line, result, announced] : cases) {
        SCOPED_TRACE(line);
        FakePlatform platform;
        SetUpMachine(platform);
        EXPECT_EQ(RunLine(platform, line), result);
        EXPECT_EQ(platform.announced, announced);
        for (const std::string& drive : announced) EXPECT_EQ(platform.FindFile(drive)->flushCount, 1);
    }
    // A system that could not be told changes nothing of the result.
    FakePlatform platform;
    SetUpMachine(platform);
    platform.announceFails = true;
    EXPECT_EQ(RunLine(platform, "/hide /confirm"), 0);
    EXPECT_EQ(platform.FindFile(d0)->data[450], 0x17);
}

// One GPT partition, as the GPT reader will hand it over.
class OneGptPartition : public PartitionTable {
public:
    std::int32_t PartitionCount(int) const override { return 1; }
    mPart* GetPartition(int number, bool) override { return number == 1 ? &part_ : nullptr; }
    int Problem() const override { return 0; }

private:
    mPart part_ = [] {
        mPart p;
        p.present = 1;
        return p;
    }();
};

TEST(EditRunsTest, WhatAGptDiskIsRefused) {
    TableReaders readers{MbrTableReader(), [](const TableSource&) -> std::unique_ptr<PartitionTable> {
                             return std::make_unique<OneGptPartition>();
                         }};
    // Edits of MBR entries have nothing to work on (131); deleting and
    // wiping a GPT come with the GPT reader (112).
    const std::tuple<const char*, int> cases[] = {
        {"/hide", kNotGptDisk},      {"/unhide", kNotGptDisk},         {"/active", kNotGptDisk},
        {"/inactive", kNotGptDisk},  {"/type=83", kNotGptDisk},        {"/sort", kNotGptDisk},
        {"/issorted", kNotGptDisk},  {"/del", kInvalidOption},         {"/del /part=*", kInvalidOption},
        {"/wipe=gpt", kInvalidOption}, {"/del /disk=* /part=*", kInvalidOption},
    };
    for (const auto& [line, result] : cases) {
        FakePlatform platform;
        FakeFile& drive = platform.AddDrive(0, 12288);
        test::PutSector(drive.data, 0, test::MakeMbr({{0, 0xEE, 1, 12287}}));
        EXPECT_EQ(RunLine(platform, std::string(line) + " /confirm", readers), result) << line;
        EXPECT_TRUE(platform.writes.empty()) << line;
    }
    // Deleting on every disk: the MBR disk is cleared all the same.
    FakePlatform platform;
    SetUpMachine(platform);
    test::PutSector(platform.FindFile(DrivePath(2))->data, 0, test::MakeMbr({{0, 0xEE, 1, 12287}}));
    EXPECT_EQ(RunLine(platform, "/del /disk=* /part=* /confirm", readers), kInvalidOption);
    EXPECT_EQ(test::DiffSectors(test::MakeMbr({}), platform.FindFile(DrivePath(0))->data, 0), "");
    // A GPT wipe of an MBR disk is refused.
    EXPECT_EQ(RunLine(platform, "/wipe=gpt /disk=0 /confirm"), kNotGptDisk);
}

}  // namespace
}  // namespace partam
