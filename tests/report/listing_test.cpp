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
        if (!disk) disk = std::make_unique<mDisk>(platform, 0, TableReaders{MbrTableReader(), {}});
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

}  // namespace
}  // namespace partam::test
