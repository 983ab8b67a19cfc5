// The commands that write, run whole: the system is told of a changed table
// once per disk written and never otherwise, a GPT disk is refused what its
// table does not support, and a GPT is written so that a write that stops
// leaves one whole copy. Bytes and messages are the program tests'.
#include <gtest/gtest.h>

#include <sstream>

#include "base/result_codes.h"
#include "cli/driver.h"
#include "cli/executor.h"
#include "cli/run.h"
#include "cli/switches.h"
#include "mbr/partition_list.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

// One GPT partition, as the GPT reader will hand it over.
struct OneGptPartition : PartitionTable {
    std::int32_t PartitionCount(int) const override { return 1; }
    mPart* GetPartition(int number, bool) override { return number == 1 ? &part : nullptr; }
    int Problem() const override { return 0; }
    mPart part;
};

// The result of a command line on disk 0 holding NTFS and Linux partitions
// (or, with gpt, a GPT of one partition) and disk 1 (drive 2) a FAT one.
int RunOn(FakePlatform& platform, const std::string& line, bool gpt = false) {
    const test::Bytes mbr = test::MakeMbr({{0, 0x07, 2048, 4096}, {0, 0x83, 6144, 4096}});
    test::PutSector(platform.AddDrive(0, 12288).data, 0, gpt ? test::MakeMbr({{0, 0xEE, 1, 12287}}) : mbr);
    test::PutSector(platform.AddDrive(2, 12288).data, 0, test::MakeMbr({{0, 0x0C, 2048, 2048}}));
    TableReaders readers = StandardTableReaders();
    readers.gpt = [](const TableSource&) -> std::unique_ptr<PartitionTable> {
        return std::make_unique<OneGptPartition>();
    };
    std::vector<std::string> words{"partam"};
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    RunContext run(platform);
    ParseCommandLine(run, static_cast<int>(argv.size()), argv.data());
    run.disk = std::make_unique<mDisk>(platform, 0, std::move(readers));
    run.sizeFormatter = std::make_unique<SizeFormatter>(platform);
    ProcessSwitches2(run);
    return run.options.result;
}

TEST(EditRunsTest, TheSystemIsToldOncePerDiskWritten) {
    const std::string d0 = DrivePath(0), d2 = DrivePath(2);
    // clang-format off
    const std::tuple<const char*, int, std::vector<std::string>> cases[] = {
        {"/hide /confirm", 0, {d0}}, {"/hide /disk=1 /confirm", 0, {d2}},
        {"/copy /source=0 /target=30 /confirm", 0, {d0}}, {"/del /disk=* /part=* /confirm", 0, {d0, d2}},
        {"/hide /disk=* /part=* /confirm", kCannotHideType, {d0}},  // the 0x07 was hidden
        {"/hide /part=2 /confirm", kCannotHideType, {}}, {"/wipe=range /range=5-4 /confirm", 0, {}},
        {"/wipe=mbr", kUserCancelled, {}}, {"/issorted", 0, {}},
    };
    // clang-format on
    for (const bool fails : {false, true}) {
        for (const auto& [line, result, announced] : cases) {
            SCOPED_TRACE(line);
            FakePlatform platform;
            platform.announceFails = fails;  // which changes no result
            EXPECT_EQ(RunOn(platform, line), result);
            EXPECT_EQ(platform.announced, announced);
            for (const std::string& drive : announced) EXPECT_GE(platform.FindFile(drive)->flushCount, 1);
        }
    }
}

constexpr std::uint64_t kGptSectors = 4096;

// Drive 0 holding a GPT of two basic data partitions, 34 to 999 and 1000 to
// 1999.
FakeFile& AddGptDrive(FakePlatform& platform) {
    FakeFile& drive = platform.AddDrive(0, kGptSectors);
    drive.data =
        test::MakeGpt(kGptSectors, {{test::kBasicDataType, 34, 999}, {test::kBasicDataType, 1000, 1999}});
    return drive;
}

int RunConfirmed(FakePlatform& platform, const char* command, const char* part = "/part=1") {
    const char* argv[] = {"partam", command, part, "/confirm"};
    return RunProgram(platform, 4, argv);
}

// The backup copy is written and flushed before the primary is touched: a
// first write that fails leaves the primary as it was.
TEST(EditRunsTest, GptWritesPutTheBackupFirst) {
    FakePlatform platform;
    AddGptDrive(platform);
    EXPECT_EQ(RunConfirmed(platform, "/del"), 0);
    std::vector<std::pair<std::uint64_t, std::uint32_t>> written;  // sector, count
    std::size_t backupDone = 0;
    for (std::size_t i = 0; i < platform.writes.size(); ++i) {
        const FakeWrite& w = platform.writes[i];
        if (w.path != DrivePath(0)) continue;
        written.emplace_back(w.offset / 512, w.count / 512);
        if (written.size() == 2) backupDone = i + 1;
    }
    const decltype(written) order = {{kGptSectors - 33, 32}, {kGptSectors - 1, 1}, {2, 32}, {1, 1}};
    EXPECT_EQ(written, order);
    EXPECT_NE(std::find_if(platform.flushes.begin(), platform.flushes.end(),
                           [&](const FakeFlush& f) { return f.afterWrites == backupDone; }),
              platform.flushes.end());

    FakePlatform failing;
    FakeFile& drive = AddGptDrive(failing);
    const test::Bytes before = drive.data;
    drive.failWriteAt = {(kGptSectors - 33) * 512};
    EXPECT_EQ(RunConfirmed(failing, "/del"), kGptSaveFailed);
    EXPECT_EQ(test::DiffSectors(before, drive.data, 1, 33), "");
}

// A disk whose size could not be read is not wiped, nor said to be.
TEST(EditRunsTest, NoWipeOfADiskOfUnknownSize) {
    FakePlatform platform;
    FakeFile& drive = platform.AddDrive(0, 100);
    drive.geometryEx.reset();
    drive.geometry->cylinders = 0;
    const char* argv[] = {"partam", "/wipe=disk", "/confirm", "/silent"};
    EXPECT_EQ(RunProgram(platform, 4, argv), kWipeFailed);
    for (const FakeWrite& w : platform.writes) EXPECT_NE(w.path, DrivePath(0));
}

}  // namespace
}  // namespace partam
