// The commands that write, run whole: the system is told of a changed table
// once per disk written and never otherwise, and a GPT disk is refused what
// its table does not support. Each command's bytes and messages are the
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

// Disk 0 holds NTFS and Linux partitions (with gptDisk0, a protective MBR
// instead), disk 1 (drive 2) a FAT one.
void SetUpMachine(FakePlatform& platform, bool gptDisk0 = false) {
    const test::Bytes mbr = test::MakeMbr({{0, 0x07, 2048, 4096}, {0, 0x83, 6144, 4096}});
    test::PutSector(platform.AddDrive(0, 12288).data, 0, gptDisk0 ? test::MakeMbr({{0, 0xEE, 1, 12287}}) : mbr);
    test::PutSector(platform.AddDrive(2, 12288).data, 0, test::MakeMbr({{0, 0x0C, 2048, 2048}}));
}

// The result of a command line carried out on disks read by these readers.
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
    // clang-format off
    const std::tuple<const char*, int, std::vector<std::string>> cases[] = {
        {"/hide /confirm", 0, {d0}}, {"/hide /disk=1 /confirm", 0, {d2}},
        {"/hide /disk=* /part=* /confirm", kCannotHideType, {d0}},  // the 0x07 was hidden
        {"/del /disk=* /part=* /confirm", 0, {d0, d2}}, {"/copy /source=0 /target=30 /confirm", 0, {d0}},
        {"/hide /part=2 /confirm", kCannotHideType, {}}, {"/wipe=range /range=5-4 /confirm", 0, {}},
        {"/wipe=mbr", kUserCancelled, {}}, {"/issorted", 0, {}},
    };
    // clang-format on
    for (const bool fails : {false, true}) {
        for (const auto& [line, result, announced] : cases) {
            SCOPED_TRACE(line);
            FakePlatform platform;
            SetUpMachine(platform);
            platform.announceFails = fails;  // which changes no result
            EXPECT_EQ(RunLine(platform, line), result);
            EXPECT_EQ(platform.announced, announced);
            for (const std::string& drive : announced) EXPECT_EQ(platform.FindFile(drive)->flushCount, 1);
        }
    }
}

// One GPT partition, as the GPT reader will hand it over.
struct OneGptPartition : PartitionTable {
    std::int32_t PartitionCount(int) const override { return 1; }
    mPart* GetPartition(int number, bool) override { return number == 1 ? &part : nullptr; }
    int Problem() const override { return 0; }
    mPart part;
};

TEST(EditRunsTest, WhatAGptDiskIsRefused) {
    const TableReaders readers{MbrTableReader(), [](const TableSource&) -> std::unique_ptr<PartitionTable> {
                                   return std::make_unique<OneGptPartition>();
                               }};
    // MBR entries to edit there are none (131); deleting from a GPT and
    // wiping it come with the GPT reader (112), and on every disk the MBR
    // disks are cleared all the same.
    const std::tuple<const char*, int> cases[] = {
        {"/hide", kNotGptDisk},        {"/unhide", kNotGptDisk},        {"/active", kNotGptDisk},
        {"/inactive", kNotGptDisk},    {"/type=83", kNotGptDisk},       {"/sort", kNotGptDisk},
        {"/issorted", kNotGptDisk},    {"/del", kInvalidOption},        {"/del /part=*", kInvalidOption},
        {"/wipe=gpt", kInvalidOption}, {"/del /disk=* /part=*", kInvalidOption},
    };
    for (const auto& [line, result] : cases) {
        FakePlatform platform;
        SetUpMachine(platform, true);
        EXPECT_EQ(RunLine(platform, std::string(line) + " /confirm", readers), result) << line;
        const bool everyDisk = std::string(line).find("/disk=*") != std::string::npos;
        EXPECT_EQ(platform.writes.size(), everyDisk ? 1u : 0u) << line;
    }
}

}  // namespace
}  // namespace partam
