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

}  // namespace
}  // namespace partam
