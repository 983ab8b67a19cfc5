#include "backup/safety_copies.h"

#include <gtest/gtest.h>

#include "mbr/partition_list.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;
using test::MakeMbr;

// Each disk's sector 0 goes to disk-<n>.mbr; sector 30 takes it only on an
// MBR disk whose partitions start after it and whose sector 30 holds
// nothing or an earlier copy; never on a filesystem that fills the disk.
// (A plain MBR disk, boot loader code in sector 30 and the filesystems that
// mkfs.fat makes are the program tests': edits.sh, backups.sh, no_table.sh.)
TEST(SafetyCopiesTest, FilesAndSectorThirty) {
    Bytes earlier = MakeMbr({{0, 0x07, 2048, 100}});
    const struct {
        const char* what;
        Bytes sector0;
        Bytes sector30;  // empty: zeros
        bool copied;
    } disks[] = {
        {"an earlier copy", MakeMbr({{0, 0x07, 2048, 100}}), earlier, true},
        {"a GPT disk", MakeMbr({{0, 0xEE, 1, 0xFFFFFFFF}}), {}, false},
        {"a partition at 16", MakeMbr({{0, 0x07, 16, 4000}}), {}, false},
        {"an extended partition at 30", MakeMbr({{0, 0x0F, 30, 4000}}), {}, false},
        {"no 55 AA", MakeMbr({{0, 0x07, 2048, 100}}, 7, false), {}, false},
        {"a filesystem's boot sector", test::WithFat16BootSector(MakeMbr({})), {}, false},
    };
    FakePlatform platform;
    for (std::size_t i = 0; i < std::size(disks); ++i) {
        FakeFile& drive = platform.AddDrive(static_cast<int>(i), 8192);
        test::PutSector(drive.data, 0, disks[i].sector0);
        if (!disks[i].sector30.empty()) test::PutSector(drive.data, 30, disks[i].sector30);
    }
    mDisk disk(platform, 0, TableReaders{MbrTableReader(), {}});
    EXPECT_EQ(MakeSafetyCopies(disk), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(std::tuple(disk.CurrentIndex(), disk.Problem()), std::tuple(0, 0));
    for (std::size_t i = 0; i < std::size(disks); ++i) {
        SCOPED_TRACE(disks[i].what);
        const Bytes& data = platform.FindFile(DrivePath(static_cast<int>(i)))->data;
        const Bytes sector30(data.begin() + 30 * 512, data.begin() + 31 * 512);
        const Bytes before = disks[i].sector30.empty() ? Bytes(512, 0) : disks[i].sector30;
        EXPECT_EQ(sector30, disks[i].copied ? disks[i].sector0 : before);
        const FakeFile* file = platform.FindFile("C:\\Temp\\disk-" + std::to_string(i) + ".mbr");
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->data, disks[i].sector0);
    }
}

// A Windows setup environment is left alone; without a temporary folder the
// copies go to c:\.
TEST(SafetyCopiesTest, SetupEnvironmentAndNoTemporaryFolder) {
    FakePlatform platform;
    test::PutSector(platform.AddDrive(0, 100).data, 0, MakeMbr({{0, 0x07, 63, 30}}));
    platform.AddFile("C:\\i386\\SETUPLDR.EXE");
    mDisk disk(platform, 0, TableReaders{MbrTableReader(), {}});
    EXPECT_EQ(MakeSafetyCopies(disk), std::vector<int>{});
    platform.tempFolder.reset();
    EXPECT_EQ(MakeSafetyCopies(disk), std::vector<int>{0});
    EXPECT_NE(platform.FindFile("c:\\disk-0.mbr"), nullptr);
    EXPECT_EQ(platform.writes, (std::vector<FakeWrite>{{"c:\\disk-0.mbr.partam-new", 0, 512, 512, true},
                                                       {DrivePath(0), 30 * 512, 512, 512, true}}));
}

// A copy file is a new one, on the medium before it is renamed over
// disk-0.mbr, whose copy becomes disk-0.mbr.1; a file someone else put
// under the new one's name is left alone. The file the command reads is
// never replaced: a restore from a copy reads the copy made before the
// change it undoes.
TEST(SafetyCopiesTest, CopyFilesKeepTheEarlierCopy) {
    const std::string copy = "C:\\Temp\\disk-0.mbr", earlier = copy + ".1", planted = copy + ".partam-new";
    const Bytes a = MakeMbr({{0, 0x07, 63, 30}}), b = MakeMbr({{0, 0x0C, 63, 30}}),
                c = MakeMbr({{0, 0x83, 63, 30}});
    // sector 0, the file the command reads, the copy and the earlier copy after it
    const std::tuple<Bytes, std::string, Bytes, Bytes> runs[] = {
        {a, "", a, {}}, {b, "C:\\x.bin", b, a}, {c, copy, b, a}, {c, earlier, b, a}, {c, "", c, b}};
    FakePlatform platform;
    FakeFile& drive = platform.AddDrive(0, 100);
    platform.AddFile(planted, {'m', 'i', 'n', 'e'});
    platform.AddFile("C:\\x.bin");
    for (const auto& [sector0, read, after, before] : runs) {
        SCOPED_TRACE(read);
        test::PutSector(drive.data, 0, sector0);
        mDisk disk(platform, 0, TableReaders{MbrTableReader(), {}});
        MakeSafetyCopies(disk, read);
        EXPECT_EQ(platform.FindFile(copy)->data, after);
        EXPECT_EQ(platform.FindFile(copy)->flushCount, 1);
        const FakeFile* kept = platform.FindFile(earlier);
        EXPECT_EQ(kept ? kept->data : Bytes(), before);
        EXPECT_EQ(platform.FindFile(planted)->data, (Bytes{'m', 'i', 'n', 'e'}));
    }
}

}  // namespace
}  // namespace partam
