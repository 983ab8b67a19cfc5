#include "platform/image_drive.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;
using test::EntrySpec;
using test::MakeMbr;
using test::PutSector;

constexpr std::int64_t kS = 512;  // bytes per sector

SectorReader ReaderOf(const Bytes& image) {
    return [&image](std::uint64_t lba, std::uint8_t* sector) {
        if ((lba + 1) * 512 > image.size()) return false;
        std::memcpy(sector, image.data() + lba * 512, 512);
        return true;
    };
}

ComputedLayout LayoutOf(const Bytes& image, std::uint64_t sectors = 0) {
    return ComputeDriveLayout(ReaderOf(image), sectors ? sectors : image.size() / 512);
}

// type, start sector, sectors, number, hidden, boot
struct Expect {
    std::uint8_t type;
    std::int64_t start;
    std::int64_t sectors;
    std::uint32_t number;
    std::uint32_t hidden;
    bool boot;
};

void ExpectEntries(const DriveLayoutAnswer& answer, const std::vector<Expect>& expected) {
    ASSERT_EQ(answer.entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const LayoutEntry& e = answer.entries[i];
        const Expect& x = expected[i];
        EXPECT_TRUE(e.styleMbr) << "entry " << i;
        EXPECT_EQ(e.partitionType, x.type) << "entry " << i;
        EXPECT_EQ(e.startingOffset, x.start * kS) << "entry " << i;
        EXPECT_EQ(e.partitionLength, x.sectors * kS) << "entry " << i;
        EXPECT_EQ(e.partitionNumber, x.number) << "entry " << i;
        EXPECT_EQ(e.hiddenSectors, x.hidden) << "entry " << i;
        EXPECT_EQ(e.bootIndicator, x.boot) << "entry " << i;
    }
}

const Expect kEmpty{0, 0, 0, 0, 0, false};

TEST(ComputeDriveLayout, PrimariesInSlotOrderWithEmptySlotsZeroed) {
    Bytes image;
    PutSector(image, 0,
              MakeMbr({{0, 0x07, 2048, 4096}, {}, {0x80, 0x0C, 8192, 1000}, {0, 0, 100, 100}}, 0xCAFEF00D));
    PutSector(image, 9999, Bytes(512, 0));
    const ComputedLayout layout = LayoutOf(image);
    EXPECT_FALSE(layout.gpt);
    EXPECT_EQ(layout.answer.signature, 0xCAFEF00Du);
    ExpectEntries(layout.answer,
                  {{0x07, 2048, 4096, 1, 2048, false}, kEmpty, {0x0C, 8192, 1000, 2, 8192, true}, kEmpty});
}

// MBR: primary, extended at 1000. EBRs at 1000 and 1000 + 500.
Bytes ExtendedImage(std::uint32_t secondLink = 500) {
    Bytes image;
    PutSector(image, 0, MakeMbr({{0, 0x06, 63, 900}, {0, 0x0F, 1000, 2000}}));
    PutSector(image, 1000, MakeMbr({{0, 0x07, 63, 400}, {0, 0x05, 500, 600}}, 0, true, false));
    PutSector(image, 1500, MakeMbr({{0x80, 0x83, 48, 300}, {0, 0x05, secondLink, 100}}, 0, true, false));
    PutSector(image, 2999, Bytes(512, 0));
    return image;
}

TEST(ComputeDriveLayout, ExtendedChainGivesFourEntriesPerTable) {
    const ComputedLayout layout = LayoutOf(ExtendedImage(0));
    ExpectEntries(layout.answer, {
                                     {0x06, 63, 900, 1, 63, false},
                                     {0x0F, 1000, 2000, 0, 1000, false},
                                     kEmpty,
                                     kEmpty,
                                     // logicals count from their EBR, links from the extended start
                                     {0x07, 1063, 400, 2, 63, false},
                                     {0x05, 1500, 600, 0, 500, false},
                                     kEmpty,
                                     kEmpty,
                                     {0x83, 1548, 300, 3, 48, true},
                                     {0x05, 1000, 100, 0, 0, false},
                                     kEmpty,
                                     kEmpty,
                                 });
}

TEST(ComputeDriveLayout, BrokenChainsEnd) {
    struct Case {
        const char* name;
        Bytes image;
        std::size_t entries;
    };
    Bytes loop = ExtendedImage(0);  // the last link points back at the first EBR
    Bytes outside = ExtendedImage(4000);
    Bytes unsigned_ = ExtendedImage();
    unsigned_[1500 * 512 + 511] = 0;
    Bytes unreadable = ExtendedImage();
    unreadable.resize(1200 * 512);  // the second EBR lies past the readable end
    const Case cases[] = {
        {"loop back to the first record", loop, 12},
        {"link outside the disk", outside, 12},
        {"record without signature", unsigned_, 8},
        {"unreadable record", unreadable, 8},
    };
    for (const Case& c : cases) {
        const std::uint64_t sectors = 3000;  // the disk size the system reports
        EXPECT_EQ(LayoutOf(c.image, sectors).answer.entries.size(), c.entries) << c.name;
    }
}

TEST(ComputeDriveLayout, EndlessChainStopsAtTheBound) {
    // Every EBR links to the next one: more records than any disk has.
    Bytes image;
    PutSector(image, 0, MakeMbr({{0, 0x05, 1, 0xFFFFFFF0}}));
    const Bytes ebr = MakeMbr({{0, 0x07, 1, 1}, {0, 0x05, 0, 1}}, 0, true, false);
    std::uint64_t reads = 0;
    const SectorReader read = [&](std::uint64_t lba, std::uint8_t* sector) {
        ++reads;
        Bytes copy = ebr;
        const std::uint32_t next = static_cast<std::uint32_t>(lba);  // link to lba + 1 (relative to 1)
        for (int i = 0; i < 4; ++i) copy[446 + 16 + 8 + i] = static_cast<std::uint8_t>(next >> (8 * i));
        std::memcpy(sector, lba == 0 ? image.data() : copy.data(), 512);
        return true;
    };
    const ComputedLayout layout = ComputeDriveLayout(read, 1ull << 40);
    EXPECT_EQ(layout.answer.entries.size(), 4u * (1 + kMaxExtendedTables));
    EXPECT_EQ(reads, 1u + kMaxExtendedTables);
    EXPECT_EQ(layout.answer.entries.back().partitionType, 0);
    EXPECT_EQ(layout.answer.entries[layout.answer.entries.size() - 4].partitionNumber, kMaxExtendedTables);
}

TEST(ComputeDriveLayout, DisksWithoutAnMbr) {
    Bytes blank(512 * 64, 0);
    EXPECT_TRUE(LayoutOf(blank).answer.entries.empty());
    EXPECT_TRUE(ComputeDriveLayout(ReaderOf(blank), 0).answer.entries.empty());
    Bytes noSignature = MakeMbr({{0, 0x07, 63, 10}}, 1, false);
    noSignature.resize(512 * 64);
    EXPECT_TRUE(LayoutOf(noSignature).answer.entries.empty());

    // A disk formatted whole: one entry spanning it.
    Bytes ntfs = blank;
    std::memcpy(ntfs.data(), "\xEB\x52\x90NTFS    ", 11);
    ExpectEntries(LayoutOf(ntfs).answer, {{0x07, 0, 64, 1, 0, false}});
    Bytes fat32 = blank;
    fat32[0] = 0xEB;
    std::memcpy(fat32.data() + 82, "FAT32   ", 8);
    EXPECT_EQ(LayoutOf(fat32).answer.entries.at(0).partitionType, 0x0C);
}

TEST(ComputeDriveLayout, ProtectiveMbrAnswersOnlyTheExtendedForm) {
    Bytes image;
    PutSector(image, 0, MakeMbr({{0, 0xEE, 1, 0xFFFFFFFF}}));
    PutSector(image, 99, Bytes(512, 0));
    const ComputedLayout layout = LayoutOf(image);
    EXPECT_TRUE(layout.gpt);
    DriveLayoutAnswer out;
    out.entries.resize(3);
    EXPECT_TRUE(AnswerLayoutEx(layout, 1344, out));
    EXPECT_TRUE(out.entries.empty());
    EXPECT_FALSE(AnswerLayout(layout, 1344, out));
}

TEST(AnswerLayout, BufferMustHoldTheWholeAnswer) {
    struct Case {
        std::size_t entries;
        std::uint32_t buffer;
        bool extended;
        bool old;
    };
    const Case cases[] = {
        {9, 1344, true, true},                              // 48 + 9 * 144 = 1344
        {12, 1344, false, true},                            // 8 + 12 * 32 = 392
        {9, 1343, false, true},   {41, 1344, false, true},  // 8 + 41 * 32 = 1320
        {42, 1344, false, false},                           // 1352
        {0, 48, true, true},      {0, 7, false, false},
    };
    for (const Case& c : cases) {
        ComputedLayout layout;
        layout.answer.signature = 0x11223344;
        layout.answer.entries.resize(c.entries);
        DriveLayoutAnswer ex, old;
        EXPECT_EQ(AnswerLayoutEx(layout, c.buffer, ex), c.extended) << c.entries << " in " << c.buffer;
        EXPECT_EQ(AnswerLayout(layout, c.buffer, old), c.old) << c.entries << " in " << c.buffer;
        if (c.extended) {
            EXPECT_EQ(ex.entries.size(), c.entries);
        }
        if (c.old) {
            EXPECT_EQ(old.signature, 0x11223344u);
        }
    }
}

TEST(ImageAnswers, GeometryAndIdentity) {
    const std::pair<std::uint64_t, std::int64_t> cylinders[] = {
        {255 * 63 * 512 - 1, 0}, {255 * 63 * 512, 1}, {64ull << 20, 8}, {2ull << 40, 267349}};
    for (const auto& [bytes, expected] : cylinders) {
        const DiskGeometry g = ImageGeometry(bytes);
        EXPECT_EQ(g.cylinders, expected) << bytes;
        EXPECT_EQ(std::vector<std::uint32_t>(
                      {g.mediaType, g.tracksPerCylinder, g.sectorsPerTrack, g.bytesPerSector}),
                  std::vector<std::uint32_t>({12, 255, 63, 512}));
    }
    EXPECT_EQ(ImageIdentity("/tmp/disks/one.img", "/").bus, "File");
    EXPECT_EQ(ImageIdentity("/tmp/disks/one.img", "/").description, "one.img");
    EXPECT_EQ(ImageIdentity("plain.img", "/").description, "plain.img");
    EXPECT_EQ(ImageIdentity("C:\\disks/sub\\two.img", "\\/").description, "two.img");
}

}  // namespace
}  // namespace partam
