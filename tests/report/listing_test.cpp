#include "report/listing.h"

#include <gtest/gtest.h>

#include <sstream>

#include "report/listing_fixture.h"

namespace partam::test {
namespace {

// Entries in slots 0 and 2 of an 80 GB disk.
Bytes TwoPrimariesInSlotsZeroAndTwo() {
    return MakeMbr({{0x80, 0x07, 2048, 204800}, {}, {0, 0x0C, 206848, 1843200}});
}

// A primary, then an extended partition at 2048 with two logical partitions.
Bytes ExtendedWithTwoLogicals() {
    Bytes image = MakeMbr({{0x80, 0x07, 63, 1000}, {0, 0x0F, 2048, 8192}});
    PutSector(image, 2048, MakeMbr({{0, 0x07, 63, 2000}, {0, 0x05, 4096, 2063}}, 0, true, false));
    PutSector(image, 6144, MakeMbr({{0, 0x83, 63, 2000}}, 0, true, false));
    return image;
}

const char kTwoPrimaries[] = R"(
╒═════════════════════════════════════════════════════════════════════════════╕
│ Disk: 0                         MBR/GPT:         MBR                        │
│   Size:        74.53GB          CHS:             9729 255 63                │
│   Sectors:     156301488        Disk Signature:  0x12345678                 │
│   Partitions:  2                Partition Order: 1 3                        │
│   Media Type:  Fixed            Interface:       SATA                       │
│   Description: Partam Test Disk                                             │
├─────────────────────────────────────────────────────────────────────────────┤
│Pos Idx Type/Name Size Boot Hide  Start Sector  Total Sectors  DL Vol Label  │
├─── ─── ───────── ──── ──── ──── ────────────── ────────────── ── ───────────┤
│ 1   1  07-NTFS   100M  Yes  No           2,048        204,800    <None>     │
│ 2   3  0C-FAT32X 900M  No   No         206,848      1,843,200    <None>     │
╘═════════════════════════════════════════════════════════════════════════════╛
)";

const char kEmptyDiskTwo[] = R"(
╒═════════════════════════════════════════════════════════════════════════════╕
│ Disk: 2                         MBR/GPT:         MBR                        │
│   Size:        74.53GB          CHS:             9729 255 63                │
│   Sectors:     156301488        Disk Signature:  0xA1B2C3D4                 │
│   Partitions:  0                Partition Order:                            │
│   Media Type:  Fixed            Interface:       SATA                       │
│   Description: Partam Test Disk                                             │
├─────────────────────────────────────────────────────────────────────────────┤
│Pos Idx Type/Name Size Boot Hide  Start Sector  Total Sectors  DL Vol Label  │
├─── ─── ───────── ──── ──── ──── ────────────── ────────────── ── ───────────┤
│  No partitions found on this disk                                           │
╘═════════════════════════════════════════════════════════════════════════════╛
)";

TEST(ListingTest, MbrDiskInEachFrameStyle) {
    struct Case {
        int style;
        std::uint32_t codePage;
    };
    const Case cases[] = {{1, 437}, {2, 850}, {3, 437}, {3, 65001}, {1, 65001}};
    for (const Case& c : cases) {
        ListingRun run;
        AddImageDrive(run.platform, 0, TwoPrimariesInSlotsZeroAndTwo());
        const std::string out = run.Show(ListingOptions{}, c.style, c.codePage);
        EXPECT_EQ(out, InStyle(kTwoPrimaries, c.style, c.codePage))
            << "style " << c.style << " cp " << c.codePage;
        EXPECT_EQ(WrongWidthLines(out, c.codePage == 65001), "");
    }
}

TEST(ListingTest, AllDisksSkipsTheOneThatIsNotReady) {
    ListingRun run;
    AddImageDrive(run.platform, 0, TwoPrimariesInSlotsZeroAndTwo());
    AddImageDrive(run.platform, 1, TwoPrimariesInSlotsZeroAndTwo()).geometry.reset();  // no medium
    AddImageDrive(run.platform, 2, MakeMbr({}, 0xA1B2C3D4));
    const std::string expected = InStyle(std::string(kTwoPrimaries) + kEmptyDiskTwo, 3);

    ListingOptions all;
    all.disk = -1;
    EXPECT_EQ(run.Show(all, 3), expected);
    ListingOptions noDiskGiven;
    noDiskGiven.diskGiven = 0;
    EXPECT_EQ(run.Show(noDiskGiven, 3), expected);

    ListingOptions one;
    one.disk = 2;
    EXPECT_EQ(run.Show(one, 3), InStyle(kEmptyDiskTwo, 3));
    one.disk = 1;
    EXPECT_EQ(run.Show(one, 3), "");
    one.disk = 7;  // no such disk
    EXPECT_EQ(run.Show(one, 3), "");
}

// What follows the column underline: the rows and the bottom border.
std::string RowsOf(const std::string& listing) {
    const std::string underline = InStyle("\u251C\u2500\u2500\u2500 ", 1);
    const std::size_t at = listing.find('\n', listing.find(underline));
    return at == std::string::npos ? listing : listing.substr(at + 1);
}

TEST(ListingTest, LogicalPartitionsOnlyWithExtended) {
    const std::string primaries =
        R"(│ 1   1  07-NTFS   500K  Yes  No              63          1,000    <None>     │
│ 2   2  0F-EXTEND 4.0M  No   No           2,048          8,192    <None>     │
)";
    const std::string logicals =
        R"(│ L1  -  07-NTFS   1.0M  No   No           2,111          2,000    <None>     │
│ L2  -  83-Linux  1.0M  No   No           6,207          2,000    <None>     │
)";
    const std::string bottom =
        R"(╘═════════════════════════════════════════════════════════════════════════════╛
)";
    ListingRun run;
    AddImageDrive(run.platform, 0, ExtendedWithTwoLogicals());
    ListingOptions options;
    const std::string out = run.Show(options);
    EXPECT_NE(out.find("Partitions:  2                Partition Order: 1 2                        "),
              std::string::npos);
    EXPECT_EQ(RowsOf(out), InStyle(primaries + bottom, 1));
    options.extendedOnly = true;
    EXPECT_EQ(RowsOf(run.Show(options)), InStyle(primaries + logicals + bottom, 1));
}

TEST(ListingTest, CorruptTableListsWhatWasReadThenWarns) {
    ListingRun run;
    AddImageDrive(run.platform, 0,
                  MakeMbr({{0, 0x72, 0, 0}, {0, 0x65, 0, 0}, {0, 0x79, 0, 0}, {0, 0x0D, 0, 0}}));
    const std::string out = run.Show(ListingOptions{});
    EXPECT_EQ(RowsOf(out),
              InStyle(R"(│ 1   1  72-UNKNWN   0B  No   No               0              0    <None>     │
│ 2   2  65-NOVELL   0B  No   No               0              0    <None>     │
│ 3   3  79-UNKNWN   0B  No   No               0              0    <None>     │
│ 4   4  0D-UNKNWN   0B  No   No               0              0    <None>     │
│                                                                             │
│ ** Warning** The partition table on disk 0 appears to be corrupt!           │
│    There will be limited partition functionality due to this discrepancy    │
╘═════════════════════════════════════════════════════════════════════════════╛
)",
                      1));
    EXPECT_EQ(WrongWidthLines(out), "");
}

TEST(ListingTest, GptDiskShowsItsHeadWithoutRows) {
    ListingRun run;
    AddImageDrive(run.platform, 0, MakeMbr({{0, 0xEE, 1, 0xFFFFFFFF}}));
    const std::string out = run.Show(ListingOptions{});
    EXPECT_EQ(out, InStyle(R"(
╒═════════════════════════════════════════════════════════════════════════════╕
│ Disk: 0                         MBR/GPT:         GPT                        │
│   Media Type:  Fixed            Interface:       SATA                       │
│   Description: Partam Test Disk                                             │
├─────────────────────────────────────────────────────────────────────────────┤
│Pos    GPT Type         FSType   LBA Start   Size Reqd R/O Hide  DL Vol Label│
├─── ─────────────────── ────── ───────────── ──── ──── ─── ────  ── ─────────┤
╘═════════════════════════════════════════════════════════════════════════════╛
)",
                           1));
}

// The free-space rows of a disk, in style 3.
std::string FreeSpaceRows(const std::vector<EntrySpec>& slots, std::uint64_t diskSectors) {
    ListingRun run;
    AddImageDrive(run.platform, 0, MakeMbr(slots), diskSectors);
    ListingOptions options;
    options.freeSpace = true;
    std::istringstream lines(run.Show(options, 3));
    std::string line, rows;
    while (std::getline(lines, line))
        if (line.find("Freespace") != std::string::npos) rows += line + "\n";
    return rows;
}

TEST(ListingTest, FreeSpaceRows) {
    const std::string before2048 =
        "  Freespace        992K                       63          1,984                \n";
    struct Case {
        const char* name;
        std::vector<EntrySpec> slots;
        std::uint64_t diskSectors;
        std::string expected;
    };
    const Case cases[] = {
        {"first at 2048", {{0, 7, 2048, 1000}}, 3049, before2048},
        {"first at 63", {{0, 7, 63, 1000}}, 1064, ""},
        {"first at 64", {{0, 7, 64, 1000}}, 1065, ""},
        {"first at 65",
         {{0, 7, 65, 1000}},
         1066,
         "  Freespace        512B                       63              1                \n"},
        {"adjacent", {{0, 7, 2048, 1000}, {0, 7, 3048, 1000}}, 4049, before2048},
        {"one-sector gap", {{0, 7, 2048, 1000}, {0, 7, 3049, 1000}}, 4050, before2048},
        {"two-sector gap",
         {{0, 7, 2048, 1000}, {0, 7, 3050, 1000}},
         4051,
         before2048 + "  Freespace        512B                    3,049              1                \n"},
        {"trailing",
         {{0, 7, 2048, 1000}},
         10000,
         before2048 + "  Freespace        3.4M                    3,049          6,951                \n"},
    };
    for (const Case& c : cases) EXPECT_EQ(FreeSpaceRows(c.slots, c.diskSectors), c.expected) << c.name;
}

TEST(ListingTest, TooLongDescriptionPushesTheSideOutward) {
    ListingRun run;
    const std::string name(70, 'D');
    AddImageDrive(run.platform, 0, TwoPrimariesInSlotsZeroAndTwo()).identity = DriveIdentity{"SATA", name};
    EXPECT_EQ(WrongWidthLines(run.Show(ListingOptions{}, 3)), "88:     Description: " + name + " \n");
}

TEST(ListingTest, AsciiMapFollowsTheLastDisk) {
    ListingRun run;
    AddImageDrive(run.platform, 0, TwoPrimariesInSlotsZeroAndTwo());
    ListingOptions options;
    options.asciiMap = true;
    const std::string out = run.Show(options, 3);
    const std::string listing = InStyle(kTwoPrimaries, 3);
    ASSERT_EQ(out.compare(0, listing.size(), listing), 0);
    EXPECT_EQ(out.compare(listing.size(), 15, "\nCodepage= 437\n"), 0);
}

}  // namespace
}  // namespace partam::test
