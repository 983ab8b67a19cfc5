#include "mbr/mbr_sector.h"

#include <gtest/gtest.h>

#include <array>

#include "support/images.h"

namespace partam {
namespace {

using Three = std::array<std::uint8_t, 3>;

std::array<std::uint32_t, 3> Values(const Chs& c) { return {c.cylinder, c.head, c.sector}; }

TEST(MbrSector, ChsBytesDecodeAndEncode) {
    const std::pair<Three, Chs> cases[] = {
        {{0x00, 0x01, 0x00}, {0, 0, 1}},   {{0xFE, 0xFF, 0xFF}, {1023, 254, 63}},
        {{0x20, 0x21, 0x00}, {0, 32, 33}}, {{0x05, 0x41, 0x02}, {258, 5, 1}},
        {{0x00, 0x81, 0x05}, {517, 0, 1}}, {{0x10, 0xC2, 0x07}, {775, 16, 2}},
    };
    for (const auto& [bytes, chs] : cases) {
        EXPECT_EQ(Values(DecodeChs(bytes.data())), Values(chs));
        Three out{};
        EncodeChs(chs, out.data());
        EXPECT_EQ(out, bytes);
    }
    Three out{};
    EncodeChs({1024 + 517, 256 + 3, 64 + 5}, out.data());  // wide values keep their low bits
    EXPECT_EQ(out, (Three{0x03, 0x85, 0x05}));
}

struct LbaCase {
    std::uint32_t lba, heads, sectorsPerTrack;
    Chs chs;
};

TEST(MbrSector, LbaToChs) {
    const LbaCase cases[] = {
        {0, 255, 63, {0, 0, 1}},
        {62, 255, 63, {0, 0, 63}},
        {63, 255, 63, {0, 1, 1}},
        {2048, 255, 63, {0, 32, 33}},
        {16065, 255, 63, {1, 0, 1}},
        {0xFFFFFFFFu, 255, 63, {267349, 89, 4}},
        {1000, 16, 63, {0, 15, 56}},
        // No geometry: no address, and no division by zero.
        {2048, 0, 63, {0, 0, 0}},
        {2048, 255, 0, {0, 0, 0}},
        // A product that would wrap to zero in 32 bits.
        {100, 65536, 65536, {0, 0, 101}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Values(LbaToChs(c.lba, c.heads, c.sectorsPerTrack)), Values(c.chs))
            << c.lba << " on " << c.heads << "x" << c.sectorsPerTrack;
}

TEST(MbrSector, EntriesAndSlots) {
    const PartitionEntry e = MakeEntry(true, 0x07, {0, 32, 33}, {1023, 254, 63}, 2048, 0x01020304);
    EXPECT_EQ(e.bytes, (std::array<std::uint8_t, 16>{0x80, 0x20, 0x21, 0x00, 0x07, 0xFE, 0xFF, 0xFF, 0x00,
                                                     0x08, 0x00, 0x00, 0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(Values(EndChs(e)), Values({1023, 254, 63}));

    const auto mbr = test::MakeMbr({{}, {}, {0x80, 0x0C, 63, 1000}}, 0xA1B2C3D4);
    std::array<std::uint8_t, 512> sector{};
    std::copy_n(mbr.begin(), 512, sector.begin());
    EXPECT_EQ(ReadSlot(sector, 2).Sectors(), 1000u);
    EXPECT_TRUE(ReadSlot(sector, 4).IsAllZero());
    EXPECT_TRUE(HasBootSignature(sector));

    const auto before = sector;
    WriteSlot(sector, 4, e);
    WriteSlot(sector, -1, e);
    EXPECT_EQ(sector, before);
    WriteSlot(sector, 3, e);
    EXPECT_EQ(ReadSlot(sector, 3).bytes, e.bytes);
    ClearPartitionTable(sector);
    for (std::size_t i = 0; i < 512; ++i)
        EXPECT_EQ(sector[i], i >= 446 && i < 510 ? 0 : before[i]) << "offset " << i;
    sector[511] = 0x55;
    EXPECT_FALSE(HasBootSignature(sector));
}

}  // namespace
}  // namespace partam
