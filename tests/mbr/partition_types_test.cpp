#include "mbr/partition_types.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "disk/partition.h"

namespace partam {
namespace {

struct LookupCase {
    std::uint32_t type;
    bool wantShortName, found;
    std::string text;
    bool hidden;
};

TEST(PartitionTypes, LookupGivesRowTextAndHiddenFlag) {
    const LookupCase cases[] = {
        {0x07, true, true, "NTFS", false},
        {0x17, true, true, "NTFS", true},
        {0x17, false, true, "Hidden NTFS/HPFS", true},
        {0x0E, false, true, "16Bit Fat, LBA Mapped  >=32MB", false},
        {0x85, true, true, "LxExt", false},
        {0x85, false, true, "Linux Extended", false},
        {0x86, true, true, "NTVol", false},
        {0x3D, true, true, "Netware", true},
        {0x11, true, true, "DOS", false},
        // Unknown: the text is emptied and the flag keeps what it held.
        {0x00, true, false, "", true},
        {0x0D, true, false, "", true},
        {0x1D, false, false, "", true},
        {0x87, true, false, "", true},
        {0x107, true, false, "", true},  // the full value is compared, not its low byte
    };
    for (const auto& c : cases) {
        std::string text = "stale";
        bool hidden = true;
        EXPECT_EQ(LookupType(c.type, c.wantShortName, text, hidden), c.found) << std::hex << c.type;
        EXPECT_EQ(text, c.text) << std::hex << c.type;
        EXPECT_EQ(hidden, c.hidden) << std::hex << c.type;
    }
    for (std::uint32_t type : {0x00u, 0x0Du, 0x1Du, 0x87u, 0x183u})
        EXPECT_EQ(PartitionTypeName(type), "UNKNWN");
    EXPECT_EQ(PartitionTypeName(0x0C), "FAT32X");
}

// The catalogue's hidden column and IsHiddenType are separate answers that
// disagree on 0x11 and 0x3D (and 0x1D, which is not catalogued).
TEST(PartitionTypes, CatalogueShapeAndHiddenColumn) {
    const auto rows = PartitionTypeCatalogue();
    ASSERT_EQ(rows.size(), 78u);
    std::set<std::uint32_t> types, hidden, differ;
    for (const auto& row : rows) {
        EXPECT_TRUE(types.insert(row.type).second) << "duplicate " << std::hex << row.type;
        EXPECT_LE(std::string(row.shortName).size(), 7u) << row.shortName;
        if (row.hidden) hidden.insert(row.type);
        if (row.hidden != IsHiddenType(row.type)) differ.insert(row.type);
    }
    EXPECT_EQ(hidden, (std::set<std::uint32_t>{0x14, 0x16, 0x17, 0x1B, 0x1C, 0x1E, 0x1F, 0x3D}));
    EXPECT_EQ(differ, (std::set<std::uint32_t>{0x11, 0x3D}));
    EXPECT_TRUE(IsHiddenType(0x1D));
    EXPECT_FALSE(IsHiddenType(0x01));  // below 0x10 nothing is hidden
    EXPECT_TRUE(IsExtendedType(0x1F));
    EXPECT_FALSE(IsExtendedType(0x85));
    EXPECT_FALSE(IsMountableType(0x0F));
}

}  // namespace
}  // namespace partam
