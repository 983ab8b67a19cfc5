// The partitions Linux reads from an MBR disk, and the changes that bring
// its view in line with a new table.
#include "platform/posix/kernel_table.h"

#include <gtest/gtest.h>

#include "support/images.h"

namespace partam::posix {
namespace {

using test::Bytes;
using test::MakeMbr;
using Parts = std::vector<KernelPartition>;

TEST(KernelTableTest, WhatTheKernelReads) {
    const auto ebr = [](std::uint8_t type, std::uint32_t start, std::uint32_t size, std::uint32_t link) {
        return MakeMbr({{0, type, start, size}, {0, 0x05, link, 2000}}, 0, true, false);
    };
    // Behind the extended partition at 10000, logicals at 10063 and 12063.
    Bytes chain = MakeMbr({{0x80, 0x07, 2048, 4096}, {0, 0x0F, 10000, 5000}});
    test::PutSector(chain, 10000, ebr(0x83, 63, 1000, 2000));
    test::PutSector(chain, 12000, MakeMbr({{0, 0x07, 63, 500}}, 0, true, false));
    // An EBR that links to itself, holding a partition each time round.
    Bytes loop = MakeMbr({{0, 0x05, 10000, 5000}});
    test::PutSector(loop, 10000, ebr(0x83, 63, 10, 0));
    Parts looped{{1, 10000, 2}};
    for (std::uint32_t n = 5; n < kKernelPartitionLimit; ++n) looped.push_back({n, 10063, 10});

    const std::tuple<const char*, Bytes, std::optional<Parts>> cases[] = {
        {"no boot signature", MakeMbr({{0, 0x07, 2048, 4096}}, 1, false), Parts{}},
        {"a status that is none: no table", MakeMbr({{0x81, 0x07, 2048, 4096}}), Parts{}},
        {"protective MBR: the GPT's", MakeMbr({{0, 0xEE, 1, 19999}}), std::nullopt},
        // A slot counts by its size, whatever its type; an extended one is
        // kept as two sectors.
        {"slots", MakeMbr({{0, 0x07, 2048, 4096}, {}, {0, 0x00, 9000, 100}}), Parts{{1, 2048, 4096}, {3, 9000, 100}}},
        {"chain", chain, Parts{{1, 2048, 4096}, {2, 10000, 2}, {5, 10063, 1000}, {6, 12063, 500}}},
        {"hidden extended is a plain partition", MakeMbr({{0, 0x1F, 10000, 5000}}), Parts{{1, 10000, 5000}}},
        {"cut at the end, left out beyond it", MakeMbr({{0, 0x07, 19000, 5000}, {0, 0x07, 25000, 10}}),
         Parts{{1, 19000, 1000}}},
        {"a loop ends at the last number", loop, looped},
    };
    for (const auto& [name, image, view] : cases) {
        const SectorReader read = [&image](std::uint64_t lba, std::uint8_t* s) {
            if ((lba + 1) * 512 > image.size()) return false;
            std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(lba * 512), 512, s);
            return true;
        };
        EXPECT_EQ(KernelView(read, 20000), view) << name;
    }
}

TEST(KernelTableTest, ChangesToTheView) {
    using C = KernelChange;
    const std::tuple<const char*, Parts, Parts, std::vector<C>> cases[] = {
        {"kept, deleted, resized, moved, added", {{1, 2048, 4096}, {2, 8192, 10}, {3, 9000, 5}, {4, 9200, 5}},
         {{1, 2048, 100}, {3, 9100, 5}, {4, 9200, 5}, {5, 9500, 20}},
         {{C::Delete, {2, 8192, 10}}, {C::Delete, {3, 9000, 5}}, {C::Resize, {1, 2048, 100}},
          {C::Add, {3, 9100, 5}}, {C::Add, {5, 9500, 20}}}},
    };
    for (const auto& [name, current, wanted, changes] : cases)
        EXPECT_EQ(PlanKernelChanges(current, wanted), changes) << name;
}

}  // namespace
}  // namespace partam::posix
