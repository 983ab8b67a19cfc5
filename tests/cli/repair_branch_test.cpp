// /repair= run whole against the fake platform: the bytes sector 0 holds
// afterwards, and the refusals that write nothing.
#include <gtest/gtest.h>

#include <sstream>

#include "backup/boot_code.h"
#include "cli/run.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

// A table found inconsistent (here an EBR chain that loops) gets the
// partitions the system sees in the slots it leaves free, once each.
TEST(RepairBranchTest, RebuildsAnInconsistentTableFromTheSystemsView) {
    FakePlatform platform;
    FakeFile& drive = platform.AddDrive(0, 300000);
    test::PutSector(drive.data, 0, test::MakeMbr({{0, 0x0F, 2048, 8192}}));
    test::PutSector(drive.data, 2048, test::MakeMbr({{0, 0x83, 63, 100}, {0, 0x05, 0, 100}}, 0, true, false));
    drive.layoutEx = DriveLayoutAnswer{0x12345678,
                                       {{true, 0x0F, 2048 * 512, 8192 * 512, 0, 2048, false},
                                        {true, 0x07, 100000 * 512, 50000 * 512, 2, 100000, true}}};
    const char* argv[] = {"partam", "/repair=pt", "/ignore", "/silent"};
    EXPECT_EQ(RunProgram(platform, 4, argv), 0);
    test::Bytes want = test::MakeMbr({{0, 0x0F, 2048, 8192}, {0x80, 0x07, 100000, 50000}});
    EXPECT_EQ("", test::DiffSectors(want, drive.data, 0));
}

// The boot code goes in and the four bytes at 440 stay, whatever the last
// two bytes held before: a sector 0 without 55 AA gets them.
TEST(RepairBranchTest, KeepsTheSignatureBytesWithoutBootSignature) {
    FakePlatform platform;
    FakeFile& drive = platform.AddDrive(0, 4096);
    test::PutSector(drive.data, 0, test::MakeMbr({{0, 0x07, 63, 1000}}, 0xCAFEF00D, false));
    const char* argv[] = {"partam", "/repair=xp", "/confirm", "/silent"};
    EXPECT_EQ(RunProgram(platform, 4, argv), 0);
    const test::Bytes want = {kBootCodeXp[0], kBootCodeXp[1], 0x0D, 0xF0, 0xFE, 0xCA, 0, 0, 0x55, 0xAA};
    EXPECT_EQ(
        test::Bytes({drive.data[0], drive.data[1], drive.data[440], drive.data[441], drive.data[442],
                     drive.data[443], drive.data[444], drive.data[445], drive.data[510], drive.data[511]}),
        want);
}

}  // namespace
}  // namespace partam
