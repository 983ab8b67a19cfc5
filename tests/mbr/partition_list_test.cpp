#include "mbr/partition_list.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;
using test::EntrySpec;
using test::MakeMbr;
using Lines = std::vector<std::string>;

constexpr std::uint32_t kDriveSectors = 8192;
constexpr std::uint32_t kExtended = 2048;  // start of the extended partition

// One line per record, so that a whole list compares at once.
std::string Describe(const mPart& p) {
    return Format("%s%u s%u 0x%02X %s %" PRIu64 "+%" PRIu64 " %" PRIu64 "%s%s", p.isPrimary ? "P" : "L",
                  p.position, p.slot, p.type, p.typeName.c_str(), p.start, p.sectors, p.bytes,
                  p.active ? " A" : "", p.hidden ? " H" : "");
}

template <class Records>
Lines DescribeAll(const Records& records) {
    Lines out;
    for (const auto& r : records) out.push_back(Describe(*r));
    return out;
}

// A disk image held in memory, read through a table source as the disk
// object would hand it over.
class PartitionListTest : public ::testing::Test {
protected:
    Bytes image = Bytes(512, 0);
    std::set<std::uint64_t> unreadable;
    std::uint64_t diskSectors = kDriveSectors;
    bool removable = false;
    std::optional<DriveLayout> layout;
    BootFileSystem superFloppy = BootFileSystem::None;
    std::unique_ptr<PartitionList> list;

    PartitionList& Open(const MbrReadLimits& limits = {}) {
        TableSource source;
        source.read = [this](std::uint64_t lba, std::uint8_t* sector) {
            if (unreadable.count(lba) || (lba + 1) * 512 > image.size()) return false;
            std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(lba * 512), 512, sector);
            return true;
        };
        std::copy_n(image.begin(), 512, source.sector0.begin());
        source.totalSectors = diskSectors;
        source.removable = removable;
        source.layout = layout;
        source.superFloppy = superFloppy;
        list = ReadMbrTable(source, limits);
        return *list;
    }
    void Put(std::uint64_t lba, const Bytes& sector) { test::PutSector(image, lba, sector); }
    // An EBR: its logical partition and the link to the next one (0: none).
    void PutEbr(std::uint64_t lba, EntrySpec logical, std::uint32_t link) {
        Put(lba, MakeMbr({logical, link ? EntrySpec{0, 0x05, link, 16} : EntrySpec{}}, 0, true, false));
    }
};

// Four primaries of types 0x72 0x65 0x79 0x0D are message text ("rey\r").
TEST_F(PartitionListTest, BootTextIsNotATable) {
    const std::pair<std::array<std::uint8_t, 4>, int> cases[] = {
        {{0x72, 0x65, 0x79, 0x0D}, 0}, {{0x65, 0x72, 0x79, 0x0D}, 1}, {{0x72, 0x65, 0x79, 0x0C}, 1}};
    for (const auto& [t, valid] : cases) {
        Put(0, MakeMbr({{0, t[0], 1, 1}, {0, t[1], 2, 1}, {0, t[2], 3, 1}, {0, t[3], 4, 1}}));
        EXPECT_EQ(Open().PartitionCount(0), 4);
        EXPECT_EQ(std::tuple(list->Problem(), list->Findings()),
                  std::tuple(valid ? 0 : 513, valid ? 0u : kFindingBootText));
    }
}

// A walk that must stop: EBRs at the extended start + offset, each with a
// one-sector logical of the given type 63 sectors in (0: an empty slot).
// Every walk that ends anywhere but at the end of the chain is a finding.
TEST_F(PartitionListTest, ExtendedChainWalkEnds) {
    const struct {
        const char* what;
        std::vector<std::array<std::uint32_t, 3>> ebrs;  // offset, type, link
        std::uint32_t unreadable;                        // an offset; 0: none
        std::vector<std::uint64_t> logicalStarts;
        std::uint32_t findings;
    } cases[] = {
        {"a loop", {{0, 0x07, 10}, {10, 0x0C, 1}, {1, 0, 10}}, 0, {2111, 2121}, kFindingChainLoop},
        {"an empty slot is passed", {{0, 0, 10}, {10, 0x07, 0}}, 0, {2121}, 0},
        {"an unreadable EBR", {{0, 0x07, 10}, {10, 0x07, 0}}, 10, {2111}, kFindingChainUnreadable},
        {"beyond the disk",
         {{0, 0x07, kDriveSectors}, {kDriveSectors, 0x07, 0}},
         0,
         {2111},
         kFindingChainOutside},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        image.assign(2 * kDriveSectors * 512, 0);  // room past the size the disk reports
        unreadable.clear();
        if (c.unreadable) unreadable.insert(kExtended + c.unreadable);
        Put(0, MakeMbr({{0, 0x05, kExtended, 5000}, {0, 0x07, 7900, 100}}));
        for (const auto& [offset, type, link] : c.ebrs)
            PutEbr(kExtended + offset, {0, static_cast<std::uint8_t>(type), 63, 1}, link);
        PartitionList& list = Open();
        std::vector<std::uint64_t> starts;
        for (const auto& r : list.Records())
            if (!r->isPrimary) starts.push_back(r->start);
        EXPECT_EQ(starts, c.logicalStarts);
        EXPECT_EQ(Describe(*list.Records().back()), "P2 s1 0x07 NTFS 7900+100 51200");
        EXPECT_EQ(std::tuple(list.Findings(), list.Problem()), std::tuple(c.findings, c.findings ? 513 : 0));
    }
}

// A long chain is read whole; one past the longest followed is cut and the
// table counts as corrupt.
TEST_F(PartitionListTest, LongChainsAndTheBound) {
    diskSectors = 1 << 20;
    Put(0, MakeMbr({{0, 0x1F, kExtended, 900000}}));
    const std::uint32_t count = 5000;
    for (std::uint32_t k = 0; k < count; ++k)
        PutEbr(kExtended + 2 * k, {0, 0x83, 1, 1}, k + 1 < count ? 2 * (k + 1) : 0);
    const PartitionList& whole = Open();
    EXPECT_EQ(std::tuple(Describe(*whole.Records().back()), whole.Findings(), whole.PartitionCount(2)),
              std::tuple(std::string("L5000 s0 0x83 Linux 12047+1 512"), 0u, 5001));
    const PartitionList& cut = Open({.maxChain = 4999});
    EXPECT_EQ(
        std::tuple(Describe(*cut.Records().back()), cut.Findings()),
        std::tuple(std::string("L4999 s0 0x83 Linux 12045+1 512"), std::uint32_t{kFindingChainTooLong}));
}

// The system's view of a removable disk's slots is taken over the bytes;
// a slot whose type differs from it is a finding.
TEST_F(PartitionListTest, RemovableMediaTakesTheSystemsView) {
    removable = true;
    layout = DriveLayout(0, kNoFile);
    layout->slots[0] = {1, 0x0B, 2048 * 512, 1000 * 512, 1, 2048, 1};
    layout->slots[1] = {1, 0x83, 4096 * 512, 5220, 2, 0, 0};
    Put(0, MakeMbr({{0, 0x0C, 2048, 999}, {0x80, 0x83, 4000, 7}, {0, 0x07, 6000, 1}}));
    PartitionList& list = Open();
    EXPECT_EQ(DescribeAll(list.Records()),
              (Lines{"P1 s0 0x0B FAT32 2048+1000 512000 A", "P2 s1 0x83 Linux 4096+10 5220 A"}));
    EXPECT_EQ(list.Records()[0]->entry.TypeByte(), 0x0B);
    EXPECT_EQ(list.Findings(), std::uint32_t{kFindingRemovableType});
    layout.reset();  // no view: nothing is present
    EXPECT_EQ(DescribeAll(Open().Records()), Lines{});

    // A super-floppy: one partition whose type follows from the filesystem.
    superFloppy = BootFileSystem::Ntfs;
    layout = DriveLayout(0, kNoFile);
    layout->slots[0] = {1, 0x07, 0, 8192 * 512};
    EXPECT_EQ(DescribeAll(Open().Records()), (Lines{"P1 s0 0x07 NTFS 0+8192 4194304"}));
    layout.reset();
    EXPECT_EQ(DescribeAll(Open().Records()), Lines{});
}

// Only a status of 0x80 marks a partition active.
TEST_F(PartitionListTest, OnlyStatus0x80IsActive) {
    Put(0, MakeMbr({{0x81, 0x07, 63, 100}, {0x80, 0x83, 200, 100}, {0x01, 0x07, 400, 100}}));
    EXPECT_EQ(DescribeAll(Open().Records()),
              (Lines{"P1 s0 0x07 NTFS 63+100 51200", "P2 s1 0x83 Linux 200+100 51200 A",
                     "P3 s2 0x07 NTFS 400+100 51200"}));
}

TEST_F(PartitionListTest, NoMediumIsOnePlaceholder) {
    Put(0, MakeMbr({{0, 0x07, 63, 100}}));
    TableSource source;
    source.mediaPresent = false;
    std::copy_n(image.begin(), 512, source.sector0.begin());
    const auto placeholder = ReadMbrTable(source);
    EXPECT_EQ(DescribeAll(placeholder->Records()), (Lines{"L0 s0 0x00  0+0 0"}));
    EXPECT_EQ(placeholder->PartitionCount(2), 0);
}

TEST(PartitionRecord, SetTypeAndBuildFromLayout) {
    mPart p;
    p.entry.bytes = {0x80, 0x20, 0x61, 0x02, 0x07, 0xFE, 0xFF, 0xFF, 0x00, 0x08, 0, 0, 0, 0, 0x10, 0};
    SetType(p, 0x11C, true);
    EXPECT_EQ(Describe(p), "L0 s0 0x11C UNKNWN 2048+1048576 0 A");
    EXPECT_EQ(p.entry.bytes[4], 0x1C);
    EXPECT_EQ((std::array{p.startChs.cylinder, p.startChs.head, p.startChs.sector, p.endChs.cylinder}),
              (std::array<std::uint32_t, 4>{258, 32, 33, 1023}));

    DriveLayout layout(0, kNoFile);
    layout.slots[1] = {1, 0x07, 2048 * 512, 0x200000000 * 512, 2, 2048, 1};
    EXPECT_FALSE(BuildFromLayout(0, layout, p));
    EXPECT_EQ(p.present, 0);
    EXPECT_FALSE(BuildFromLayout(4, layout, p));
    ASSERT_TRUE(BuildFromLayout(1, layout, p));
    EXPECT_EQ(Describe(p), "L0 s0 0x07 NTFS 2048+8589934592 4398046511104 A");
    // The entry describes the partition; a size past 32 bits is capped.
    EXPECT_EQ(p.entry.bytes, (std::array<std::uint8_t, 16>{0x80, 0, 0, 0, 0x07, 0, 0, 0, 0x00, 0x08, 0, 0,
                                                           0xFF, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace partam
