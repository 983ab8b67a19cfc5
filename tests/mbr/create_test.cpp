// What partition creation asks of the system, and tables in disk order. The
// whole command on images, the entries' bytes (CHS past cylinder 1023 among
// them) and sfdisk reading the result, is the program tests'
// (tests/programs/create.sh).
#include "mbr/create.h"

#include <gtest/gtest.h>

#include "base/result_codes.h"
#include "mbr/partition_list.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

// The system is asked to read the disk again once the new entry is on it,
// and only then.
TEST(CreateTest, PropertiesUpdatedAfterAWrite) {
    for (const bool writeFails : {false, true}) {
        FakePlatform platform;
        FakeFile& drive = platform.AddDrive(0, 4096);
        test::PutSector(drive.data, 0, test::MakeMbr({{0, 7, 63, 1000}}));
        if (writeFails) drive.failWriteAt.insert(0);
        mDisk disk(platform, 0, TableReaders{MbrTableReader(), {}});
        CreateRequest inUse, sized;
        inUse.start = 63;
        sized.size = CreateRequest::Size::KiB;
        sized.sizeKiB = 100;
        EXPECT_THROW(static_cast<void>(CreatePartition(disk, inUse)), MBRERRORS);
        EXPECT_TRUE(platform.writes.empty() && platform.propertiesUpdated.empty());
        EXPECT_EQ(CreatePartition(disk, sized), writeFails ? kSectorWriteFailed : 0);
        // Only a write that went through is flushed and told of.
        const std::vector<std::string> told(!writeFails, DrivePath(0));
        EXPECT_EQ(std::tuple(platform.announced, platform.propertiesUpdated), std::tuple(told, told));
        EXPECT_EQ(drive.flushCount, writeFails ? 0 : 1);
        const PartitionEntry written = ReadSlot(SectorView(drive.data.data(), kSectorSize), 1);
        EXPECT_EQ(written.bytes,
                  (writeFails ? PartitionEntry{} : NewEntry(1064, 200, 7, false, 255, 63)).bytes);
    }
}

// Two primaries that start at the same sector are in disk order: a new one
// is made beside them, not refused as unsorted (126).
TEST(CreateTest, EqualStartsAreInOrder) {
    FakePlatform platform;
    FakeFile& drive = platform.AddDrive(0, 4096);
    test::PutSector(drive.data, 0, test::MakeMbr({{0, 7, 63, 1000}, {0, 0x83, 63, 500}}));
    mDisk disk(platform, 0, TableReaders{MbrTableReader(), {}});
    EXPECT_EQ(CreatePartition(disk, CreateRequest{}), 0);
    EXPECT_EQ(ReadSlot(SectorView(drive.data.data(), kSectorSize), 2).bytes,
              NewEntry(1064, 3031, 7, false, 255, 63).bytes);
}

}  // namespace
}  // namespace partam
