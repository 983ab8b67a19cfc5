#include "report/listing.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <tuple>

#include "base/text.h"
#include "mbr/partition_list.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam::test {
namespace {

// Drive n of 156,301,488 sectors (80 GB: 9729 cylinders and a bit) holding
// image; the image only needs the sectors that are read.
FakeFile& AddImageDrive(FakePlatform& platform, int n, Bytes image, std::uint64_t sectors = 156301488) {
    FakeFile& f = platform.AddDrive(n, 1);
    f.data = std::move(image);
    f.geometry->cylinders = static_cast<std::int64_t>(sectors / (255 * 63));
    f.geometryEx = sectors * 512;
    f.identity = DriveIdentity{"SATA", "Partam Test Disk"};
    return f;
}

// The drives of a platform read through the real disk object and MBR reader.
struct ListingRun {
    // What f writes with a report context in a frame style. The disk object
    // counts the drives when it is made: add them first.
    std::string Capture(const std::function<void(ReportContext&)>& f, int style = 3, std::uint32_t cp = 437) {
        if (!disk) disk = std::make_unique<mDisk>(platform, 0, false, TableReaders{MbrTableReader(), {}});
        const FrameChars frame = SetFrameStyle(style, cp);
        SizeFormatter sizes(platform);
        ReportContext report{platform, *disk, frame, sizes};
        platform.TakeOutput();
        f(report);
        return platform.TakeOutput();
    }
    std::string Show(const ListingOptions& o, int style = 1, std::uint32_t cp = 437) {
        return Capture([&](ReportContext& r) { ShowMBR(r, o); }, style, cp);
    }

    FakePlatform platform;
    std::unique_ptr<mDisk> disk;
};

// Expected listings are written with UTF-8 box characters; this gives the
// bytes of a frame style on a console code page.
std::string InStyle(const std::string& boxText, int style, std::uint32_t codePage = 437) {
    if (codePage == 65001 && style != 3) return boxText;
    // Box character, then its byte in styles 1, 2 and 3.
    static const std::pair<const char*, const char*> kRoles[] = {
        {"\u2552", "\xD5\xDA "}, {"\u2555", "\xB8\xBF "}, {"\u2558", "\xD4\xC0 "},
        {"\u255B", "\xBE\xD9 "}, {"\u2550", "\xCD\xC4-"}, {"\u2502", "\xB3\xB3 "},
        {"\u2500", "\xC4\xC4-"}, {"\u251C", "\xC3\xC3 "}, {"\u2524", "\xB4\xB4 "},
    };
    std::string out = boxText;
    for (const auto& [box, bytes] : kRoles)
        for (std::size_t at; (at = out.find(box)) != std::string::npos;)
            out.replace(at, 3, 1, bytes[style - 1]);
    return out;
}

// Entries in slots 0 and 2 of an 80 GB disk.
Bytes TwoPrimaries() { return MakeMbr({{0x80, 0x07, 2048, 204800}, {}, {0, 0x0C, 206848, 1843200}}); }

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

// The plain listings of MBR and GPT disks are the program tests'; here the frames.
TEST(ListingTest, AnMbrDiskInEachFrameStyle) {
    const std::pair<int, std::uint32_t> cases[] = {{1, 437}, {2, 850}, {3, 437}, {3, 65001}, {1, 65001}};
    for (const auto& [style, codePage] : cases) {
        ListingRun run;
        AddImageDrive(run.platform, 0, TwoPrimaries());
        EXPECT_EQ(run.Show(ListingOptions{-1, 1, ""}, style, codePage),
                  InStyle(kTwoPrimaries, style, codePage))
            << "style " << style << " cp " << codePage;
    }
}

// What follows the column underline: the rows and the bottom border.
std::string RowsOf(const std::string& listing) {
    return listing.substr(listing.find('\n', listing.find(InStyle("\u251C\u2500\u2500\u2500 ", 1))) + 1);
}

const char kBottom[] = "╘═════════════════════════════════════════════════════════════════════════════╛\n";

// The indexes of the disks a listing shows, in order.
std::string DisksListed(const std::string& listing) {
    std::string disks;
    for (std::size_t at = 0; (at = listing.find("Disk: ", at)) != std::string::npos; at += 6)
        disks += listing[at + 6];
    return disks;
}

TEST(ListingTest, SelectsDisksAndSkipsThoseNotReady) {
    ListingRun run;
    AddImageDrive(run.platform, 0, TwoPrimaries());
    AddImageDrive(run.platform, 1, TwoPrimaries()).geometry.reset();  // no medium
    // A description too long for its field pushes the side outward.
    const std::string name(70, 'D');
    AddImageDrive(run.platform, 2, MakeMbr({})).identity = DriveIdentity{"SATA", name};
    const std::tuple<std::int32_t, std::int32_t, const char*, const char*> cases[] = {
        {-1, 1, "", "02"}, {1, 0, "", "02"}, {1, 1, "", ""},
        {2, 1, "", "2"},   {7, 1, "", ""},   {999, 1, "missing.vhd", ""}};
    // A virtual disk file that is not there lists nothing of the disk still selected.
    for (const auto& [disk, diskGiven, file, expected] : cases)
        EXPECT_EQ(DisksListed(run.Show(ListingOptions{disk, diskGiven, file})), expected) << disk;
    const std::string diskTwo = run.Show(ListingOptions{2, 1, ""});
    EXPECT_NE(diskTwo.find(InStyle("\n│   Description: " + name + "│\n", 1)), std::string::npos);
    EXPECT_EQ(RowsOf(diskTwo), InStyle(std::string("│  No partitions found on this disk") +
                                           std::string(43, ' ') + "│\n" + kBottom,
                                       1));
}

// A free-space row shows a real free region: from sector 63 to the lowest
// partition, and from the end of each primary to the next start or the
// disk's end; one sector counts, numbers are shown whole.
TEST(ListingTest, FreeSpaceRows) {
    const auto row = [](const char* size, const char* start, const char* count) {
        return Format("  Freespace        %s            %13s %14s                \n", size, start, count);
    };
    const std::string front = row("992K", "63", "1,985");
    const std::tuple<std::vector<EntrySpec>, std::uint64_t, std::string> cases[] = {
        {{{0, 7, 2048, 1000}}, 3048, front},
        {{{0, 7, 63, 1000}}, 1063, ""},
        {{{0, 7, 64, 1000}}, 1064, row("512B", "63", "1")},
        {{{0, 7, 2048, 1000}, {0, 7, 3048, 1000}}, 4048, front},
        {{{0, 7, 2048, 1000}, {0, 7, 3049, 1000}}, 4049, front + row("512B", "3,048", "1")},
        {{{0, 7, 2048, 1000}}, 10000, front + row("3.4M", "3,048", "6,952")},
        {{{0, 7, 2048, 10000}}, 5000, front},  // an entry past the disk's end leaves no region after it
        {{{0, 7, 5000, 1000}, {0, 7, 2048, 1000}},
         8000,
         front + row("1.0M", "6,000", "2,000") + row("976K", "3,048", "1,952")},
        {{{0, 7, 2048, 0xFFFFFFFF}}, 6442450944ull, front + row("1.0T", "4,294,969,343", "2,147,481,601")},
    };
    for (const auto& [slots, diskSectors, expected] : cases) {
        ListingRun run;
        AddImageDrive(run.platform, 0, MakeMbr(slots), diskSectors);
        std::istringstream lines(run.Show(ListingOptions{0, 1, "", true}, 3));
        std::string line, found;
        while (std::getline(lines, line))
            if (line.find("Freespace") != std::string::npos) found += line + "\n";
        EXPECT_EQ(found, expected) << slots.back().start << " on " << diskSectors;
    }
}

TEST(ListingTest, CodePageTableFollowsTheLastDiskWithoutTheControlLine) {
    ListingRun run;
    AddImageDrive(run.platform, 0, TwoPrimaries());
    run.platform.codePage = 850;
    ListingOptions options;
    options.asciiMap = true;
    // Group 8 (backspace, tab, line feed, ...) leaves an empty line.
    const std::string head = InStyle(kTwoPrimaries, 3) + "\nCodepage= 850\n  0 " + '\0' +
                             "      1 \x01      2 \x02      3 \x03      4 \x04      5 \x05      6 \x06  "
                             "    7 \x07    \n\n 16 ";
    const std::string out = run.Show(options, 3);
    EXPECT_EQ(out.substr(0, head.size()), head);
    EXPECT_EQ(out.substr(out.size() - 11), "255 \xFF    \n\n");
    // 31 groups of 8 codes of 9 characters, 32 line ends and the closing one.
    EXPECT_EQ(out.size(), InStyle(kTwoPrimaries, 3).size() + 15 + 31 * 72 + 32 + 1);
}

TEST(ListingRowsTest, PartitionRowsFramedAndForTheBackupDisplay) {
    // Only the low 32 bits of a place are shown.
    const struct {
        int number, mode;
        std::uint64_t start, sectors;
        std::uint32_t type;
        const char* typeName;
        std::uint32_t position, slot;
        int isPrimary, active, hidden;
        char letter;
        const char* label;
        std::string expected;
    } cases[] = {
        {1, 0, 2048, 204800, 7, "NTFS", 1, 0, 1, 1, 0, 'C', "SYSTEM",
         "  1   1  07-NTFS   100M  Yes  No           2,048        204,800 C: SYSTEM      \n"},
        {2, 0, 2048, 204800, 0x17, "NTFS", 4, 3, 1, 0, 1, 0, "ABCDEFGHIJKLMN",
         "  4   4  17-NTFS   100M  No   Yes          2,048        204,800    ABCDEFGHIJK \n"},
        {5, 0, 2048, 204800, 7, "NTFS", 3, 0, 0, 0, 0, 'F', "",
         "  L3  -  07-NTFS   100M  No   No           2,048        204,800 F: <None>      \n"},
        {10, 0, 2048, 204800, 7, "NTFS", 12, 0, 0, 0, 0, 0, "",
         " L12  -  07-NTFS   100M  No   No           2,048        204,800    <None>      \n"},
        {4, 1, 0x1FFFFFFFF, 3, 0x1C, "FAT32XL", 4, 2, 1, 0, 1, 0, "",
         "\n  4   3  1C-FAT32XL 1.5K  No     Yes  4,294,967,295               3"},
    };
    for (const auto& c : cases) {
        ListingRun run;
        AddImageDrive(run.platform, 0, MakeMbr({{0x80, 0x07, 2048, 204800}, {0, 0x07, 206848, 1000}}));
        mPart p;
        std::tie(p.start, p.sectors, p.bytes, p.type, p.typeName) =
            std::tuple(c.start, c.sectors, c.sectors * 512, c.type, c.typeName);
        std::tie(p.position, p.slot, p.isPrimary, p.active, p.hidden) =
            std::tuple(c.position, c.slot, c.isPrimary, c.active, c.hidden);
        std::tie(p.driveLetter, p.volumeLabel) = std::tuple(c.letter, c.label);
        EXPECT_EQ(run.Capture([&](ReportContext& r) { ShowPartitionRow(r, c.number, p, c.mode); }),
                  c.expected)
            << c.number << " mode " << c.mode;
    }
}

}  // namespace
}  // namespace partam::test
