#include "disk/disk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "disk/sector_file.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;
using test::MakeMbr;
using test::PutSector;

// Drive 0 of 100 sectors with the given sector 0.
FakeFile& Drive(FakePlatform& fake, const Bytes& sector0 = MakeMbr({{0x80, 0x07, 63, 99}})) {
    FakeFile& drive = fake.AddDrive(0, 100);
    PutSector(drive.data, 0, sector0);
    return drive;
}

TEST(DiskTest, SelectsDrivesByDenseIndex) {
    FakePlatform none, fake;
    EXPECT_EQ(515, mDisk(none, 0).Problem());
    Drive(fake);
    FakeFile& drive2 = fake.AddDrive(2, 100);
    drive2.geometry->bytesPerSector = 0;  // not told: taken as 512 (other sizes are the executor tests')
    fake.AddFile("C:\\disk.vmdk", Bytes(512));
    mDisk disk(fake, 1);
    drive2.data[440] = 0x99;
    EXPECT_EQ(0, disk.Use(1));  // already selected: nothing is read
    EXPECT_EQ(0, disk.Sector0()[440]);
    EXPECT_EQ(0, disk.Use(1, true));  // asked to: read anew
    EXPECT_EQ(0x99, disk.Sector0()[440]);
    // A file that is no virtual disk leaves the drive selected.
    EXPECT_EQ(566, disk.UseVirtual("C:\\disk.vmdk"));
    EXPECT_EQ(std::tuple(1, false), std::tuple(disk.CurrentIndex(), disk.IsVirtual()));
    EXPECT_EQ(511, disk.Use(2));  // refused: the selection stays
    EXPECT_EQ(std::tuple(511, 2, 1, std::string("\\\\.\\PhysicalDrive2"), 1u),
              std::tuple(disk.Problem(), disk.DiskCount(), disk.CurrentIndex(), disk.DevicePath(),
                         fake.OpenHandleCount()));
}

// A sector ending 55 AA with the given texts at the given offsets.
Bytes Sector0(std::initializer_list<std::pair<std::size_t, const char*>> texts) {
    Bytes s(512, 0);
    s[510] = 0x55, s[511] = 0xAA;
    for (const auto& [at, text] : texts) std::copy(text, text + std::strlen(text), s.begin() + at);
    return s;
}

TEST(DiskTest, ClassifiesSectorZero) {
    using K = TableKind;
    // removable, sector 0, kind, its name, file system, signature valid
    const std::tuple<bool, Bytes, TableKind, const char*, int, bool> cases[] = {
        {false, Sector0({{0, "\x33\xC0"}, {510, "\x55\x55"}}), K::Mbr, "MBR", 0, 0},
        {false, Sector0({{0, "\xEB\x58"}, {82, "FAT32"}}), K::BootSector, "BootSector", 0, 1},
        {true, Sector0({{0, "\xEB\x52"}, {3, "NTFS"}}), K::SuperFloppy, "SuperFloppy", 1, 1},
        {true, Sector0({{54, "FAT16"}}), K::SuperFloppy, "SuperFloppy", 2, 1},
        {true, Sector0({{0, "\x33\xC0"}, {82, "FAT32"}}), K::Mbr, "MBR", 3, 1},
        {false, Sector0({{0, "\xEB\x52"}, {3, "NTFS"}}), K::None, "None", 0, 1},  // fixed: no super-floppy
    };
    for (const auto& c : cases) {
        const auto& [removable, sector, kind, name, fs, valid] = c;
        SCOPED_TRACE(&c - cases);
        FakePlatform fake;
        FakeFile& drive = Drive(fake, sector);
        if (removable) drive.geometry->mediaType = kRemovableMedia;
        mDisk disk(fake, 0);
        EXPECT_EQ(std::tuple(kind, std::string(name), fs, valid, 0),
                  std::tuple(disk.Kind(), std::string(disk.KindName()), static_cast<int>(disk.SuperFloppy()),
                             disk.SignatureValid(), disk.Problem()));
    }
}

// The size from the most exact query that answers; sector 0 all zeros when
// it cannot be read whole, never the part that came, and on a disk with a
// medium that is an error (506), not an empty disk.
TEST(DiskTest, SizeAndSectorZeroOfADrive) {
    const DiskGeometry fixed{10, kFixedMedia, 255, 63, 512}, removable{10, kRemovableMedia, 255, 63, 512};
    struct Case {
        std::optional<DiskGeometry> basic;
        std::optional<std::uint64_t> extended;
        bool shortDrive;  // sector 0 reads only in part
        std::uint64_t sectors, bytes;
    } cases[] = {
        {fixed, {}, false, 160650, 82252800},  // the product; a fixed disk's partition is no size
        {removable, {}, true, 2049, 1049088},  // a removable disk's partition ends the medium
        {removable, 4096, false, 8, 4096},     // the extended answer wins whenever it comes
        {{}, 512000, false, 1000, 512000},     // no medium
        {{}, {}, true, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        FakePlatform fake;
        FakeFile& drive = Drive(fake);
        drive.geometry = c.basic, drive.geometryEx = c.extended, drive.partitionInfo = {{512, 1048576}};
        if (c.shortDrive) drive.data.resize(300);
        mDisk disk(fake, 0);
        const bool medium = c.basic.has_value(), whole = !c.shortDrive;
        EXPECT_EQ(std::tuple(medium ? 10u : 0u, c.sectors, c.bytes, !medium,
                             medium ? c.basic->mediaType : kRemovableMedia,
                             whole ? TableKind::Mbr : TableKind::None, whole || !medium ? 0 : 506),
                  std::tuple(disk.Geometry().cylinders, disk.TotalSectors(), disk.TotalBytes(),
                             disk.NotReady(), disk.MediaType(), disk.Kind(), disk.Problem()));
        EXPECT_TRUE(whole || (disk.Sector0() == Sector{}));
    }
}

// Every transfer goes through the device at the sector asked for; a new
// sector 0 becomes the copy only once it is on the disk.
TEST(DiskTest, SectorWritesAndRefusedWrites) {
    FakePlatform fake;
    FakeFile& drive = Drive(fake);
    mDisk disk(fake, 0);
    Bytes expected = drive.data;
    const Bytes buffer(1024, 0x42);
    std::copy(buffer.begin(), buffer.end(), expected.begin() + 4 * 512);
    Sector zero = disk.Sector0();
    zero[0] = expected[0] = 0x31;
    EXPECT_EQ((std::array{0, 0}),
              (std::array{disk.WriteSector0(zero), disk.WriteSectors(buffer.data(), 4, 2)}));
    EXPECT_EQ("", test::DiffSectors(expected, drive.data, 0, 8));
    EXPECT_EQ(0x31, disk.Sector0()[0]);
    EXPECT_TRUE(disk.Flush());
    EXPECT_EQ(1, drive.flushCount);

    drive.tearWriteAt = {9 * 512 + 100};  // the first 612 bytes land, then the write fails
    // A failed write is its caller's to report; the disk keeps only what
    // its load found.
    EXPECT_EQ(std::tuple(505, 0), (std::tuple{disk.WriteSectors(buffer.data(), 8, 2), disk.Problem()}));
    std::copy_n(buffer.begin(), 612, expected.begin() + 8 * 512);
    EXPECT_EQ("", test::DiffSectors(expected, drive.data, 8, 2));
    zero[0] = 0x77;
    drive.failWriteAt = {0};
    EXPECT_EQ(505, disk.WriteSector0(zero));
    EXPECT_EQ(0x31, disk.Sector0()[0]);
    EXPECT_EQ(506, disk.ReadSectors(expected.data(), 100, 1));  // returned, not recorded
    EXPECT_EQ((std::vector<FakeWrite>{{DrivePath(0), 0, 512, 512, true},
                                      {DrivePath(0), 2048, 1024, 1024, true},
                                      {DrivePath(0), 4096, 1024, 612, false},
                                      {DrivePath(0), 0, 512, 0, false}}),
              fake.writes);
}

// A reader that hands back a table of two partitions, the second active, with
// the problem it was given, and remembers what it was given.
struct CannedTable : PartitionTable {
    explicit CannedTable(int problem) : problem(problem) {
        for (int i = 0; i < 2; ++i) parts[i].active = i;
    }
    std::int32_t PartitionCount(int kind) const override { return kind == 1 ? 0 : 2; }
    mPart* GetPartition(int n, bool) override { return n >= 1 && n <= 2 ? &parts[n - 1] : nullptr; }
    int Problem() const override { return problem; }
    int problem;
    mPart parts[2];
};

TEST(DiskTest, AppliesWhatTheTableReaderFound) {
    for (const int problem : {0, 513}) {
        FakePlatform fake;
        FakeFile& drive = Drive(fake);
        drive.geometry->mediaType = kRemovableMedia;
        drive.layoutEx = DriveLayoutAnswer{0, {{true, 0x07, 512, 1024}}};
        std::vector<TableSource> seen;
        TableReaders readers;
        readers.mbr = [&seen, problem](const TableSource& source) {
            seen.push_back(source);
            return std::make_unique<CannedTable>(problem);
        };
        mDisk disk(fake, 0, readers);
        EXPECT_EQ(std::tuple(problem, problem ? -1 : 2, !problem),
                  std::tuple(disk.Problem(), disk.ActivePartition(), disk.TableValid()));
        ASSERT_EQ(seen.size(), 1u);
        // The reader reads the disk's sectors through the source.
        Sector first{};
        EXPECT_TRUE(seen[0].read(0, first.data()) && first == disk.Sector0());
        EXPECT_EQ(std::tuple(100ull, true, true, 0x07, 1),
                  std::tuple(seen[0].totalSectors, seen[0].removable, seen[0].layout.has_value(),
                             seen[0].layout->slots[0].type, seen[0].layout->slots[0].present));
    }
}

TEST(DiskTest, LayoutTakesTheExtendedFormElseTheOldOne) {
    const LayoutEntry ntfs{true, 0x07, 63 * 512, 1048576, 1, 63, true}, gpt{false, 0xEE, 512, 1, 2, 1, false};
    FakePlatform fake;
    FakeFile& drive = Drive(fake);
    // Of the extended form, MBR-style entries of a type only; too many
    // entries for its buffer and the old form answers, whatever the style.
    drive.layoutEx = DriveLayoutAnswer{0xCAFEF00D, {ntfs, LayoutEntry{}, gpt}};
    std::vector<LayoutEntry> twelve(12, ntfs);
    twelve[1] = LayoutEntry{}, twelve[2] = gpt;
    drive.layout = DriveLayoutAnswer{0, twelve};
    SectorFile file(fake);
    ASSERT_EQ(file.OpenDrive(DrivePath(0), DriveAccess::Read), SectorFile::DriveOpen::Opened);
    for (const auto& [source, present] :
         {std::pair{2u, std::array{1, 0, 0, 0}}, {1u, {1, 0, 1, 1}}, {0u, {}}}) {
        DriveLayout layout(0, file.Handle());
        EXPECT_EQ(source != 0, layout.GetLayout(fake));
        const LayoutSlot* s = layout.slots;
        EXPECT_EQ(std::tuple(source, source == 2 ? 0xCAFEF00Du : 0u, present),
                  std::tuple(layout.source, layout.signature,
                             std::array<int, 4>{s[0].present, s[1].present, s[2].present, s[3].present}));
        EXPECT_TRUE(!source || (std::tuple(0x07, 63 * 512, 1048576, 1u, 63u, 1) ==
                                std::tuple(s[0].type, s[0].startingOffset, s[0].length, s[0].partitionNumber,
                                           s[0].hiddenSectors, s[0].bootIndicator)));
        drive.layoutEx->entries = twelve;  // then the old form, then neither
        if (source == 1) drive.layout.reset();
    }
}

// Records what reaches the platform, to prove that refused transfers never do.
class CountingPlatform : public FakePlatform {
public:
    bool ReadFile(FileId f, void* b, std::uint32_t count, std::uint32_t& done) override {
        ++calls, lastRequest = count;
        return FakePlatform::ReadFile(f, b, count, done);
    }
    bool WriteFile(FileId f, const void* b, std::uint32_t count, std::uint32_t& done) override {
        return ++calls, FakePlatform::WriteFile(f, b, count, done);
    }
    bool SeekFile(FileId f, std::int64_t offset, SeekOrigin origin) override {
        return lastSeek = offset, FakePlatform::SeekFile(f, offset, origin);
    }
    int calls = 0;
    std::uint32_t lastRequest = 0;
    std::int64_t lastSeek = -1;
};

TEST(SectorFileTest, ReadSectorsMovesWholeSectorsAtLbaTimes512) {
    // lba, count, bytes asked of the platform (0: nothing reaches it), success
    const std::tuple<std::uint64_t, std::uint32_t, std::uint32_t, bool> cases[] = {
        {1, 2, 1024, true},
        {3, 1, 512, false},  // whole sectors only: the last one is short
        {(1ull << 32) + 1, 1, 512, false},
        {0, 8388607, 0xFFFFFE00u, false},  // the largest count
        {0, 8388608, 0, false},            // a byte count past 32 bits
        {(1ull << 55) + 1, 1, 0, false},   // a byte offset past 64 bits, wrapping to sector 1
    };
    for (const auto& [lba, count, request, ok] : cases) {
        SCOPED_TRACE(lba + count);
        CountingPlatform fake;
        // Sector n is filled with the byte n + 1; the last one is short.
        std::vector<std::uint8_t> data(3 * 512 + 100);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i / 512 + 1);
        fake.AddFile("C:\\f.bin", data);
        SectorFile file(fake);
        ASSERT_TRUE(file.OpenRead("C:\\f.bin"));
        std::vector<std::uint8_t> buffer(4 * 512, 0);
        EXPECT_EQ(ok, file.ReadSectors(buffer.data(), lba, count));
        EXPECT_EQ(std::tuple(request, request ? static_cast<std::int64_t>(lba * 512) : -1),
                  std::tuple(fake.lastRequest, fake.lastSeek));
        EXPECT_TRUE(!ok || std::equal(buffer.begin(), buffer.begin() + count * 512, &data[lba * 512]));
    }
}

}  // namespace
}  // namespace partam
