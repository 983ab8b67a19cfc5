#include "mbr/partition_list.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <string>
#include <vector>

#include "base/text.h"
#include "disk/disk.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;
using test::EntrySpec;
using test::MakeMbr;
using Lines = std::vector<std::string>;

constexpr std::uint64_t kDriveSectors = 8192;
constexpr std::uint32_t kExtended = 2048;  // start of the extended partition

// One line per record, so that a whole list compares at once.
std::string Describe(const mPart& p) {
    return Format("%s%u s%u 0x%02X %s %" PRIu64 "+%" PRIu64 " %" PRIu64 "%s%s", p.isPrimary ? "P" : "L",
                  p.position, p.slot, p.type, p.typeName.c_str(), p.start, p.sectors, p.bytes,
                  p.active ? " A" : "", p.hidden ? " H" : "");
}

Lines DescribeAll(const PartitionList& list, bool logicalsOnly = false) {
    Lines out;
    for (const auto& r : list.records)
        if (!logicalsOnly || !r->isPrimary) out.push_back(Describe(*r));
    return out;
}

class PartitionListTest : public ::testing::Test {
protected:
    FakePlatform fake;
    FakeFile& drive = fake.AddDrive(0, kDriveSectors);
    std::unique_ptr<mDisk> disk;

    PartitionList& Open() {
        disk = std::make_unique<mDisk>(fake, 0, false, TableReaders{ReadMbrTable, {}});
        return dynamic_cast<PartitionList&>(*disk->partitions);
    }
    void Put(std::uint64_t lba, const Bytes& sector) { test::PutSector(drive.data, lba, sector); }
    // An EBR: its logical partition and the link to the next one (0: none).
    void PutEbr(std::uint64_t lba, EntrySpec logical, std::uint32_t link) {
        Put(lba, MakeMbr({logical, link ? EntrySpec{0, 0x05, link, 16} : EntrySpec{}}, 0, true, false));
    }
    void MakeRemovable(std::vector<LayoutEntry> layout) {
        drive.geometry->mediaType = kRemovableMedia;
        drive.layoutEx = DriveLayoutAnswer{0, std::move(layout)};
    }
};

struct PrimaryCase {
    const char* name;
    Bytes mbr;
    Lines records;
    int sorted;
};

TEST_F(PartitionListTest, PrimarySlots) {
    const PrimaryCase cases[] = {
        {"gaps",
         MakeMbr({{}, {0, 0x07, 2048, 1000}, {}, {0, 0x0C, 4096, 100}}),
         {"P1 s1 0x07 NTFS 2048+1000 512000", "P2 s3 0x0C FAT32X 4096+100 51200"},
         1},
        {"status",
         MakeMbr({{0x80, 0x07, 63, 10}, {0x81, 0x83, 73, 10}, {0x7F, 0x11, 83, 10}, {0, 0x87, 93, 1}}),
         {"P1 s0 0x07 NTFS 63+10 5120 A", "P2 s1 0x83 Linux 73+10 5120", "P3 s2 0x11 DOS 83+10 5120 H",
          "P4 s3 0x87 UNKNWN 93+1 512"},
         1},
        {"unsorted",
         MakeMbr({{0, 0x07, 2048, 8}, {0, 0x07, 63, 8}}),
         {"P1 s0 0x07 NTFS 2048+8 4096", "P2 s1 0x07 NTFS 63+8 4096"},
         0},
        {"no 55 AA", MakeMbr({{0, 0x07, 2048, 1000}}, 1, false), {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Put(0, c.mbr);
        PartitionList& list = Open();
        EXPECT_EQ(DescribeAll(list), c.records);
        EXPECT_EQ(list.sorted, c.sorted);
        EXPECT_EQ(disk->tableValid, 1);
        EXPECT_EQ(list.PartitionCount(0), static_cast<std::int32_t>(c.records.size()));
        EXPECT_EQ(list.PartitionCount(1), 0);
    }
}

// Four primaries of types 0x72 0x65 0x79 0x0D are message text ("rey\r").
TEST_F(PartitionListTest, BootTextIsNotATable) {
    const std::pair<std::array<std::uint8_t, 4>, int> cases[] = {
        {{0x72, 0x65, 0x79, 0x0D}, 0}, {{0x65, 0x72, 0x79, 0x0D}, 1}, {{0x72, 0x65, 0x79, 0x0C}, 1}};
    for (const auto& [t, valid] : cases) {
        Put(0, MakeMbr({{0, t[0], 1, 1}, {0, t[1], 2, 1}, {0, t[2], 3, 1}, {0, t[3], 4, 1}}));
        EXPECT_EQ(Open().PartitionCount(0), 4);
        EXPECT_EQ(disk->tableValid, valid);
        EXPECT_EQ(disk->GetError(), valid ? 0 : 513);
    }
}

TEST_F(PartitionListTest, ExtendedPartitionNumbering) {
    Put(0, MakeMbr({{0, 0x0F, kExtended, 4000}, {0, 0x07, 8000, 100}}));
    PutEbr(kExtended, {0, 0x07, 63, 500}, 1000);
    PutEbr(kExtended + 1000, {0x80, 0x0B, 63, 200}, 0);
    PartitionList& list = Open();
    EXPECT_EQ(DescribeAll(list),
              (Lines{"P1 s0 0x0F EXTEND 2048+4000 2048000", "L1 s0 0x07 NTFS 2111+500 256000",
                     "L2 s0 0x0B FAT32 3111+200 102400 A", "P2 s1 0x07 NTFS 8000+100 51200"}));
    EXPECT_EQ((std::array<int, 4>{list.PartitionCount(0), list.PartitionCount(1), list.PartitionCount(2),
                                  list.PartitionCount(3)}),
              (std::array<int, 4>{2, 2, 4, 0}));
    EXPECT_EQ(list.GetPartition(2, true)->start, 2111u);   // logical 1
    EXPECT_EQ(list.GetPartition(2, false)->start, 8000u);  // primary 2
    EXPECT_EQ(list.GetPartition(3, false), nullptr);
    EXPECT_EQ(list.GetPartition(0, true), nullptr);
    EXPECT_EQ(list.GetPartition(5, true), nullptr);
    EXPECT_EQ(disk->activePartition, 3);
}

struct Ebr {
    std::uint64_t lba;
    EntrySpec logical;
    std::uint32_t link;
};

struct ChainCase {
    const char* name;
    std::uint8_t extendedType;
    std::vector<Ebr> ebrs;
    std::vector<std::uint64_t> unreadable;
    Lines logicals;
};

// count EBRs one sector apart, each with a one-sector logical behind it.
std::vector<Ebr> Ladder(std::uint32_t count) {
    std::vector<Ebr> ebrs;
    for (std::uint32_t k = 0; k < count; ++k)
        ebrs.push_back({kExtended + k, {0, 0x83, 1, 1}, k + 1 < count ? k + 1 : 0});
    return ebrs;
}

Lines LadderLogicals(std::uint32_t count) {
    Lines out;
    for (std::uint32_t k = 0; k < count; ++k)
        out.push_back(Format("L%u s0 0x83 Linux %u+1 512", k + 1, kExtended + k + 1));
    return out;
}

TEST_F(PartitionListTest, ExtendedChainWalk) {
    const Ebr one{kExtended, {0, 0x07, 63, 1}, 10};
    const char* first = "L1 s0 0x07 NTFS 2111+1 512";
    const ChainCase cases[] = {
        // Links count from the extended start: the third EBR is at X + 3000,
        // not 3000 past the second (where a decoy lies). Starts sum in 64 bits.
        {"relative links",
         0x05,
         {{kExtended, {0, 0x07, 63, 100}, 1000},
          {kExtended + 1000, {0, 0x06, 0xFFFFFF00u, 7}, 3000},
          {kExtended + 3000, {0, 0x0B, 10, 20}, 0},
          {kExtended + 4000, {0, 0x83, 1, 1}, 0}},
         {},
         {"L1 s0 0x07 NTFS 2111+100 51200", "L2 s0 0x06 FAT16B 4294970088+7 3584",
          "L3 s0 0x0B FAT32 5058+20 10240"}},
        {"hidden extended is walked", 0x1F, {{kExtended, {0, 0x07, 63, 1}, 0}}, {}, {first}},
        {"loop back to the first",
         0x0F,
         {one, {kExtended + 10, {0, 0x0C, 63, 1}, 1}, {kExtended + 1, {}, 10}},
         {},
         {first, "L2 s0 0x0C FAT32X 2121+1 512"}},
        {"empty first slot",
         0x0F,
         {{kExtended, {}, 10}, {kExtended + 10, {0, 0x07, 63, 1}, 0}},
         {},
         {"L1 s0 0x07 NTFS 2121+1 512"}},
        {"unreadable EBR", 0x0F, {one, {kExtended + 10, {0, 0x07, 63, 1}, 0}}, {kExtended + 10}, {first}},
        {"link beyond the disk",
         0x0F,
         {{kExtended, {0, 0x07, 63, 1}, kDriveSectors}, {kExtended + kDriveSectors, {0, 0x07, 63, 1}, 0}},
         {},
         {first}},
        {"200 logicals", 0x0F, Ladder(200), {}, LadderLogicals(200)},
        {"chain past the bound", 0x0F, Ladder(kMaxExtendedChain + 4), {}, LadderLogicals(kMaxExtendedChain)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        drive.data.assign(2 * kDriveSectors * 512, 0);  // room past the size the drive reports
        drive.failReadAt.clear();
        Put(0, MakeMbr({{0, c.extendedType, kExtended, 5000}, {0, 0x07, 7900, 100}}));
        for (const auto& e : c.ebrs) PutEbr(e.lba, e.logical, e.link);
        for (auto lba : c.unreadable) drive.failReadAt.insert(lba * 512);
        PartitionList& list = Open();
        EXPECT_EQ(DescribeAll(list, true), c.logicals);
        EXPECT_EQ(list.PartitionCount(1), static_cast<std::int32_t>(c.logicals.size()));
        EXPECT_EQ(Describe(*list.records.back()), "P2 s1 0x07 NTFS 7900+100 51200");
        EXPECT_EQ(disk->tableValid, 1);
    }
}

TEST_F(PartitionListTest, CheckOrderSortsACopy) {
    Put(0, MakeMbr({{0, 0x07, 300, 1}, {}, {0, 0x0C, 100, 1}, {0, 0x83, 200, 1}}));
    PartitionList& list = Open();
    const Lines asRead = DescribeAll(list);
    std::vector<mPart*> ascending;
    EXPECT_EQ(list.CheckOrder(&ascending), 0);
    EXPECT_EQ(list.sorted, 0);
    ASSERT_EQ(ascending.size(), 3u);
    EXPECT_EQ(
        (Lines{Describe(*ascending[0]), Describe(*ascending[1]), Describe(*ascending[2])}),
        (Lines{"P2 s2 0x0C FAT32X 100+1 512", "P3 s3 0x83 Linux 200+1 512", "P1 s0 0x07 NTFS 300+1 512"}));
    EXPECT_EQ(DescribeAll(list), asRead);

    // Equal starts stay in position order and count as sorted.
    Put(0, MakeMbr({{0, 0x07, 2048, 1}, {0, 0x83, 2048, 1}}));
    disk->Reload(true);
    EXPECT_EQ(dynamic_cast<PartitionList&>(*disk->partitions).CheckOrder(&ascending), 1);
    ASSERT_EQ(ascending.size(), 2u);
    EXPECT_EQ(ascending[0]->type, 0x07u);
}

TEST_F(PartitionListTest, RemovableMediaTakesTheSystemsView) {
    MakeRemovable(
        {{true, 0x0B, 2048 * 512, 1000 * 512, 1, 2048, true}, {true, 0x83, 4096 * 512, 5220, 2, 0, false}});
    Put(0, MakeMbr({{0, 0x0C, 2048, 999}, {0x80, 0x83, 4000, 7}, {0, 0x07, 6000, 1}}));
    PartitionList& list = Open();
    EXPECT_EQ(DescribeAll(list),
              (Lines{"P1 s0 0x0B FAT32 2048+1000 512000 A", "P2 s1 0x83 Linux 4096+10 5220 A"}));
    EXPECT_EQ(list.records[0]->entry.TypeByte(), 0x0B);
    EXPECT_EQ(disk->tableValid, 0);
}

TEST_F(PartitionListTest, SuperFloppyAndMissingMedium) {
    MakeRemovable({{true, 0x07, 0, 8192 * 512, 1, 0, false}});
    Bytes boot(512, 0);
    std::copy_n("\xEB\x52\x90NTFS", 7, boot.begin());
    Put(0, boot);
    EXPECT_EQ(DescribeAll(Open()), (Lines{"P1 s0 0x07 NTFS 0+8192 4194304"}));

    drive.layoutEx.reset();
    drive.layout.reset();
    EXPECT_EQ(DescribeAll(Open()), Lines{});

    drive.geometry.reset();  // no medium: one placeholder that counts as nothing
    PartitionList& list = Open();
    EXPECT_EQ(DescribeAll(list), (Lines{"L0 s0 0x00  0+0 0"}));
    EXPECT_EQ(list.records[0]->present, 1);
    EXPECT_EQ(list.PartitionCount(2), 0);
    EXPECT_EQ(disk->tableValid, 1);
}

TEST(PartitionRecord, SetTypeDecodesTheEntry) {
    mPart p;
    p.entry.bytes = {0x80, 0x20, 0x61, 0x02, 0x07, 0xFE, 0xFF, 0xFF,
                     0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00};
    SetType(p, 0x11C, false);
    EXPECT_EQ(Describe(p), "L0 s0 0x11C UNKNWN 2048+1048576 0");
    EXPECT_EQ(p.entry.TypeByte(), 0x1C);
    EXPECT_EQ(p.entry.Status(), 0x80);  // the status byte is the caller's
    EXPECT_EQ((std::array<std::uint32_t, 6>{p.startChs.cylinder, p.startChs.head, p.startChs.sector,
                                            p.endChs.cylinder, p.endChs.head, p.endChs.sector}),
              (std::array<std::uint32_t, 6>{258, 32, 33, 1023, 254, 63}));
    SetType(p, 0x1C, true);
    EXPECT_EQ(Describe(p), "L0 s0 0x1C FAT32X 2048+1048576 0 A H");
}

TEST(PartitionRecord, BuildFromLayout) {
    DriveLayout layout(0, kNoFile);
    layout.slots[1] = {1, 0x07, 2048 * 512, 0x200000000 * 512, 2, 2048, 1};
    mPart p;
    p.driveLetter = 'C';
    EXPECT_FALSE(BuildFromLayout(0, layout, p));
    EXPECT_EQ(p.present, 0);
    EXPECT_FALSE(BuildFromLayout(4, layout, p));
    ASSERT_TRUE(BuildFromLayout(1, layout, p));
    EXPECT_EQ(Describe(p), "L0 s0 0x07 NTFS 2048+8589934592 4398046511104 A");
    EXPECT_EQ(p.driveLetter, 0);
    // The entry describes the partition; a size past 32 bits is capped.
    EXPECT_EQ(p.entry.bytes, (std::array<std::uint8_t, 16>{0x80, 0, 0, 0, 0x07, 0, 0, 0, 0x00, 0x08, 0, 0,
                                                           0xFF, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace partam
