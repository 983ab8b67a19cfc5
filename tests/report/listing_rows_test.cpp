#include <gtest/gtest.h>

#include <functional>

#include "report/listing.h"
#include "report/listing_fixture.h"

namespace partam::test {
namespace {

// Primary 1 of the disk the rows are printed for: 100 MiB at 2048, active.
mPart Primary() {
    mPart p;
    p.start = 2048;
    p.sectors = 204800;
    p.bytes = 104857600;
    p.type = 0x07;
    p.typeName = "NTFS";
    p.position = 1;
    p.isPrimary = 1;
    p.slot = 0;
    p.active = 1;
    return p;
}

mPart Logical(std::uint32_t position, char letter) {
    mPart p = Primary();
    p.isPrimary = 0;
    p.active = 0;
    p.position = position;
    p.driveLetter = letter;
    return p;
}

struct RowCase {
    const char* name;
    std::function<void(mDisk&)> setUp;
    int number;
    mPart partition;
    std::string expected;
};

TEST(ListingRowsTest, PartitionRows) {
    mPart hidden = Primary();
    hidden.type = 0x17;
    hidden.active = 0;
    hidden.hidden = 1;
    hidden.position = 4;
    hidden.slot = 3;
    hidden.volumeLabel = "ABCDEFGHIJKLMN";
    mPart longName = Primary();
    longName.type = 0x0F;
    longName.typeName = "EXTENDED";
    auto none = [](mDisk&) {};
    const RowCase cases[] = {
        {"primary", none, 1, Primary(),
         "  1   1  07-NTFS   100M  Yes  No           2,048        204,800    <None>      \n"},
        {"primary's letter comes from the disk",
         [](mDisk& d) { d.GetPartition(1, false)->driveLetter = 'C'; }, 1,
         [] {
             mPart p = Primary();
             p.volumeLabel = "SYSTEM";
             return p;
         }(),
         "  1   1  07-NTFS   100M  Yes  No           2,048        204,800 C: SYSTEM      \n"},
        {"hidden, long label cut", none, 2, hidden,
         "  4   4  17-NTFS   100M  No   Yes          2,048        204,800    ABCDEFGHIJK \n"},
        {"virtual disk, long type name cut", [](mDisk& d) { d.isVirtual = 1; }, 1, longName,
         "  1   1  0F-EXTEND 100M  Yes  No           2,048        204,800 NA <None>      \n"},
        {"logical with its own letter", none, 5, Logical(3, 'F'),
         "  L3  -  07-NTFS   100M  No   No           2,048        204,800 F: <None>      \n"},
        {"logical numbered above 9", none, 10, Logical(12, 0),
         " L12  -  07-NTFS   100M  No   No           2,048        204,800    <None>      \n"},
    };
    for (const RowCase& c : cases) {
        ListingRun run;
        AddImageDrive(run.platform, 0, MakeMbr({{0x80, 0x07, 2048, 204800}, {0, 0x07, 206848, 1000}}));
        c.setUp(run.Disk());
        EXPECT_EQ(run.Capture([&](ReportContext& r) { ShowPartitionRow(r, c.number, c.partition, 0); }),
                  c.expected)
            << c.name;
    }
}

TEST(ListingRowsTest, BackupDisplayRowsHaveNoFrame) {
    mPart other = Primary();
    other.position = 4;
    other.slot = 2;
    other.type = 0x1C;
    other.typeName = "FAT32XL";
    other.bytes = 1536;
    other.active = 0;
    other.hidden = 1;
    other.start = 0x1FFFFFFFFull;  // only the low 32 bits are shown
    other.sectors = 3;
    ListingRun run;
    AddImageDrive(run.platform, 0, MakeMbr({}));
    EXPECT_EQ(run.Capture([&](ReportContext& r) { ShowPartitionRow(r, 1, Primary(), 1); }),
              "\n  1   1  07-NTFS    100M  Yes    No           2,048         204,800");
    EXPECT_EQ(run.Capture([&](ReportContext& r) { ShowPartitionRow(r, 4, other, 1); }),
              "\n  4   3  1C-FAT32XL 1.5K  No     Yes  4,294,967,295               3");
}

TEST(ListingRowsTest, GptRows) {
    ListingRun run;
    AddImageDrive(run.platform, 0, MakeMbr({{0, 0x07, 2048, 1000}}));
    run.Disk();
    EXPECT_EQ(run.Capture([](ReportContext& r) {
        ShowGptRow(r, 1, GptRow{2048, 104857600, "Basic Data", "NTFS", 0, "Data"});
    }),
              "  1  Basic Data           NTFS           2048 100M  No  No   No      Data      \n");
    run.Disk().GetPartition(1, false)->driveLetter = 'E';
    EXPECT_EQ(run.Capture([](ReportContext& r) {
        ShowGptRow(
            r, 12,
            GptRow{1234567890123, 10737418240, "Microsoft Reserved Partition", "FAT32X", 1, "ABCDEFGHIJKL"});
    }),
              " 12  Microsoft Reserved   FAT32 1234567890123  10G  No  Yes  No      ABCDEFGHI \n");
    EXPECT_EQ(run.Capture([](ReportContext& r) {
        EXPECT_EQ(DriveLetterText(r, 1), "E:");
        // No partition 3: no letter, not a colon after a blank.
        EXPECT_EQ(DriveLetterText(r, 3), "  ");
    }),
              "");
    run.Disk().isVirtual = 1;
    EXPECT_EQ(run.Capture([](ReportContext& r) { EXPECT_EQ(DriveLetterText(r, 1), "NA"); }), "");
}

TEST(ListingRowsTest, CodePageTableShowsEveryByteButTheControlLine) {
    ListingRun run;
    AddImageDrive(run.platform, 0, MakeMbr({}));
    run.platform.codePage = 850;
    const std::string out = run.Capture([](ReportContext& r) { ShowCodePageTable(r); });
    ASSERT_EQ(out.substr(0, 15), "\nCodepage= 850\n");
    const std::string groupZero = std::string("  0 ") + '\0' +
                                  "      1 \x01      2 \x02      3 \x03      4 \x04  "
                                  "    5 \x05      6 \x06      7 \x07    \n";
    EXPECT_EQ(out.substr(15, groupZero.size()), groupZero);
    // Group 8 (backspace, tab, line feed, ...) leaves an empty line.
    EXPECT_EQ(out.substr(15 + groupZero.size(), 5), "\n 16 ");
    EXPECT_NE(out.find("\n 64 @     65 A     66 B     67 C     68 D     69 E     70 F     71 G    \n"),
              std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 11), "255 \xFF    \n\n");
    // 31 groups of 8 codes, 9 characters each, 32 line ends, the head and
    // the closing line end.
    EXPECT_EQ(out.size(), 15 + 31 * 72 + 32 + 1u);
}

}  // namespace
}  // namespace partam::test
