#include "base/mbr_format.h"

#include <gtest/gtest.h>

#include <array>

#include "support/images.h"

namespace partam {
namespace {

using Three = std::array<std::uint8_t, 3>;

std::array<std::uint32_t, 3> Values(const Chs& c) { return {c.cylinder, c.head, c.sector}; }

// Cylinder bits 8 and 9 travel in the top of the sector byte; wider values
// keep their low bits when encoded.
TEST(MbrFormat, ChsBytes) {
    const std::pair<Three, Chs> cases[] = {{{0xFE, 0xFF, 0xFF}, {1023, 254, 63}},
                                           {{0x05, 0x41, 0x02}, {258, 5, 1}},
                                           {{0x10, 0xC2, 0x07}, {775, 16, 2}}};
    for (const auto& [bytes, chs] : cases) {
        EXPECT_EQ(Values(DecodeChs(bytes.data())), Values(chs));
        Three out{};
        EncodeChs(chs, out.data());
        EXPECT_EQ(out, bytes);
    }
    Three out{};
    EncodeChs({1024 + 517, 256 + 3, 64 + 5}, out.data());
    EXPECT_EQ(out, (Three{0x03, 0x85, 0x05}));
    // A geometry whose 32-bit product wraps to zero still divides correctly.
    EXPECT_EQ(Values(LbaToChs(100, 65536, 65536)), Values({0, 0, 101}));
}

TEST(MbrFormat, EntriesAndSlots) {
    const PartitionEntry e = MakeEntry(true, 0x07, {0, 32, 33}, {1023, 254, 63}, 2048, 0x01020304);
    EXPECT_EQ(e.bytes, (std::array<std::uint8_t, 16>{0x80, 0x20, 0x21, 0x00, 0x07, 0xFE, 0xFF, 0xFF, 0x00,
                                                     0x08, 0x00, 0x00, 0x04, 0x03, 0x02, 0x01}));
    const auto mbr = test::MakeMbr({{}, {}, {0x80, 0x0C, 63, 1000}}, 0xA1B2C3D4);
    std::array<std::uint8_t, 512> sector{};
    std::copy_n(mbr.begin(), 512, sector.begin());
    EXPECT_TRUE(ReadSlot(sector, 4).IsAllZero());
    EXPECT_TRUE(HasBootSignature(sector));

    const auto before = sector;
    WriteSlot(sector, 4, e);  // slots outside 0-3 are never written
    WriteSlot(sector, -1, e);
    EXPECT_EQ(sector, before);
    WriteSlot(sector, 3, e);
    EXPECT_EQ(ReadSlot(sector, 3).bytes, e.bytes);
    ClearPartitionTable(sector);  // boot code and both signatures stay
    for (std::size_t i = 0; i < 512; ++i)
        EXPECT_EQ(sector[i], i >= 446 && i < 510 ? 0 : before[i]) << "offset " << i;
    sector[511] = 0x55;
    EXPECT_FALSE(HasBootSignature(sector));
}

}  // namespace
}  // namespace partam
