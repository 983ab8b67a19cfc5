// The pure parts of partition creation, and what it asks of the system. The
// whole command on images, with sfdisk reading the result, is the program
// tests' (tests/programs/create.sh).
#include "mbr/create.h"

#include <gtest/gtest.h>

#include "base/result_codes.h"
#include "mbr/partition_list.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using Region = std::optional<std::pair<std::uint64_t, std::uint64_t>>;

TEST(CreateTest, EntryOfAPartitionPastCylinder1023) {
    // Start 63 is 0/1/1; start + size is 1724/5/10, its cylinder kept modulo
    // 1024 (0x2BC), bits 8 and 9 at the top of the sector byte.
    const PartitionEntry e = NewEntry(63, 27696321, 0x83, true, 255, 63);
    EXPECT_EQ(
        std::vector<std::uint8_t>(e.bytes.begin(), e.bytes.end()),
        (std::vector<std::uint8_t>{0x80, 1, 1, 0, 0x83, 5, 0x8A, 0xBC, 63, 0, 0, 0, 0xC1, 0x9C, 0xA6, 0x01}));
}

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
