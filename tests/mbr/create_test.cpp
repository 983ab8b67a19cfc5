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

// The cases create.sh runs on images (an empty table, a gap between two, an
// alignment too large for a gap or the disk, 3 TiB) are not repeated here.
TEST(CreateTest, FreeSpaceSearch) {
    constexpr std::uint64_t k3TiB = 3ull << 31;
    // name, primaries, total sectors, alignment in sectors, region (first, last)
    // clang-format off
    const std::tuple<const char*, std::vector<Extent>, std::uint64_t, std::uint64_t, Region> cases[] = {
        {"no sectors", {}, 0, 1, std::nullopt},
        {"before the first, in any order", {{2048, 100}, {100, 10}}, 9000, 1, std::pair(64, 99)},
        {"one sector apart: no room", {{63, 1000}, {1065, 100}}, 1700, 1, std::pair(1166, 1699)},
        {"not after a partition inside another", {{63, 5000}, {100, 10}, {6000, 10}}, 6010, 1,
         std::pair(5064, 5999)},
        {"500 after the last: none", {{63, 1000}}, 1563, 1, std::nullopt},
        {"501 after it", {{63, 1000}}, 1564, 1, std::pair(1064, 1563)},
        {"begins past the last sector an entry reaches", {{63, 0xFFFFFFC0}}, k3TiB, 1, std::nullopt},
    };
    // clang-format on
    for (const auto& [name, primaries, total, align, region] : cases) {
        const auto found = FindFreeSpace(primaries, total, align);
        EXPECT_EQ(found ? Region(std::pair(found->first, found->last)) : std::nullopt, region) << name;
    }
    const std::vector<Extent> two{{63, 1000}, {2048, 1000}};
    EXPECT_EQ(LargestSizeFrom(two, 3100, 3049), 50u);
    EXPECT_EQ(LargestSizeFrom(two, 3100, 3099), 0u);
    EXPECT_EQ(LargestSizeFrom({}, k3TiB, 64), kLastEntrySector - 64);
    EXPECT_TRUE(SectorInUse(two, 3100, 1063) && SectorInUse(two, 3100, 2048));
    EXPECT_FALSE(SectorInUse(two, 3100, 1064) || SectorInUse(two, 2000, 2048));  // beyond the disk
    EXPECT_TRUE(RangeInUse(two, 1100, 4000) && !RangeInUse(two, 1064, 2047));
    EXPECT_EQ(AlignmentSectors(~0ull), 0u);  // the rest of the alignments are create.sh's
}

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
        mDisk disk(platform, 0, false, TableReaders{MbrTableReader(), {}});
        CreateRequest inUse, sized;
        inUse.start = 63;
        sized.size = CreateRequest::Size::KiB;
        sized.sizeKiB = 100;
        EXPECT_THROW(CreatePartition(disk, inUse), MBRERRORS);
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

}  // namespace
}  // namespace partam
