#include "mbr/partition_types.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "disk/partition.h"

namespace partam {
namespace {

// The text, then the hidden flag (true beforehand) and whether the type was found.
std::string Lookup(std::uint32_t type, bool wantShortName) {
    std::string text = "stale";
    bool hidden = true;
    const bool found = LookupType(type, wantShortName, text, hidden);
    return text + (hidden ? " H" : "") + (found ? "" : " missing");
}

TEST(PartitionTypes, LookupAndCatalogue) {
    // Unknown types empty the text and leave the flag as it was; 0x107 is
    // compared in full, not by its low byte.
    const std::tuple<std::uint32_t, bool, const char*> cases[] = {
        {0x07, true, "NTFS"},       {0x17, true, "NTFS H"},      {0x17, false, "Hidden NTFS/HPFS H"},
        {0x00, true, " H missing"}, {0x1D, false, " H missing"}, {0x107, true, " H missing"}};
    for (const auto& [type, wantShortName, expected] : cases)
        EXPECT_EQ(Lookup(type, wantShortName), expected);
    EXPECT_EQ(Lookup(0x0E, false), "16Bit Fat, LBA Mapped  >=32MB");
    EXPECT_EQ(PartitionTypeName(0x183), "UNKNWN");

    // The catalogue's hidden column and IsHiddenType are separate answers
    // that disagree on 0x11 and 0x3D.
    std::set<std::uint32_t> types, hidden, differ;
    for (const auto& row : PartitionTypeCatalogue()) {
        EXPECT_TRUE(types.insert(row.type).second) << "duplicate " << std::hex << row.type;
        EXPECT_LE(std::string(row.shortName).size(), 7u) << row.shortName;
        if (row.hidden) hidden.insert(row.type);
        if (row.hidden != IsHiddenType(row.type)) differ.insert(row.type);
    }
    EXPECT_EQ(hidden, (std::set<std::uint32_t>{0x14, 0x16, 0x17, 0x1B, 0x1C, 0x1E, 0x1F, 0x3D}));
    EXPECT_EQ(differ, (std::set<std::uint32_t>{0x11, 0x3D}));
}

}  // namespace
}  // namespace partam
