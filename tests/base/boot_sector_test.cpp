// What sector 0 holds, told apart by several fields together. The boot
// sectors that mkfs.fat and mkntfs write, and tables sfdisk writes, are the
// program tests' (no_table.sh); here each field is shown to count.
#include "base/boot_sector.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;
using K = SectorZeroKind;

struct Patch {
    std::size_t at;
    Bytes bytes;
};

Bytes With(Bytes sector, const std::vector<Patch>& patches) {
    for (const Patch& p : patches)
        std::copy(p.bytes.begin(), p.bytes.end(), sector.begin() + static_cast<std::ptrdiff_t>(p.at));
    return sector;
}

Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text)); }

TEST(BootSectorTest, KindOfSectorZero) {
    const Bytes empty = With(Bytes(512, 0), {{510, {0x55, 0xAA}}});
    const Bytes fat16 = test::WithFat16BootSector(empty);
    const Bytes fat32 = With(
        fat16,
        {{17, {0, 0}}, {22, {0}}, {38, {0}}, {54, Text("        ")}, {66, {0x29}}, {82, Text("FAT32   ")}});
    const Bytes ntfs =
        With(empty, {{0, {0xEB, 0x52, 0x90}}, {3, Text("NTFS    ")}, {11, {0x00, 0x02, 0x08}}});
    const Bytes exfat = With(empty, {{0, {0xEB, 0x76, 0x90}}, {3, Text("EXFAT   ")}, {108, {9, 3, 1}}});
    const Bytes mbr = test::MakeMbr({{0x80, 0x07, 2048, 4096}});
    const struct {
        const char* what;
        Bytes sector;
        K kind;
    } cases[] = {
        {"FAT16", fat16, K::FileSystem},
        {"FAT16, its jump not one", With(fat16, {{2, {0x00}}}), K::PartitionTable},
        {"FAT16, no sector size", With(fat16, {{11, {0, 0}}}), K::PartitionTable},
        {"FAT16, three FATs", With(fat16, {{16, {3}}}), K::PartitionTable},
        {"FAT16, no name and no signature byte", With(fat16, {{38, {0}}}), K::FileSystem},
        {"FAT16, no name, no root entries", With(fat16, {{38, {0}}, {17, {0, 0}}}), K::PartitionTable},
        {"FAT32", fat32, K::FileSystem},
        {"FAT32, not named", With(fat32, {{82, Text("FAT16   ")}}), K::PartitionTable},
        {"NTFS", ntfs, K::FileSystem},
        {"NTFS with a FAT count", With(ntfs, {{16, {2}}}), K::PartitionTable},
        {"exFAT", exfat, K::FileSystem},
        {"exFAT, a sector of 8 KiB", With(exfat, {{108, {13}}}), K::PartitionTable},
        {"an MBR", mbr, K::PartitionTable},
        {"an MBR whose code begins with a jump", With(mbr, {{0, {0xEB, 0x58, 0x90}}, {3, Text("MSDOS5.0")}}),
         K::PartitionTable},
        {"a hybrid MBR", With(mbr, {{466, {0xEE}}}), K::ProtectiveTable},
        {"no 55 AA", test::MakeMbr({{0, 0x07, 2048, 4096}}, 0, false), K::NoBootSignature},
        {"an SGI label", With(Bytes(512, 0), {{0, {0x0B, 0xE5, 0xA9, 0x41}}}), K::ForeignLabel},
        // DA BE ^ 55 AA ^ 8F 14 is zero.
        {"a Sun label whose checksum is 55 AA", With(empty, {{0, {0x8F, 0x14}}, {508, {0xDA, 0xBE}}}),
         K::ForeignLabel},
        {"DA BE as the top of a fourth entry's size", With(mbr, {{508, {0xDA, 0xBE}}}), K::PartitionTable},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifySectorZero(SectorView(c.sector.data(), kSectorSize)), c.kind) << c.what;
    }
}

}  // namespace
}  // namespace partam
