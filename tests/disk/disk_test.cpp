#include "disk/disk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;
using test::MakeMbr;
using test::PutSector;

struct FixedTable : PartitionTable {
    explicit FixedTable(std::size_t count) : parts(count) {}
    std::int32_t PartitionCount(int) const override { return static_cast<std::int32_t>(parts.size()); }
    mPart* GetPartition(int n, bool) override { return &parts.at(static_cast<std::size_t>(n - 1)); }
    std::vector<mPart> parts;
};

// Table readers that count their calls; the MBR one has partitions 2 and 4
// of five active and finds the table valid or not.
struct Readers {
    int mbrCalls = 0, gptCalls = 0;
    bool tableValid = true;
    TableReaders Make() {
        return {[this](mDisk& d) {
                    ++mbrCalls, d.tableValid = tableValid;
                    auto table = std::make_unique<FixedTable>(5);
                    table->parts[1].active = table->parts[3].active = 1;
                    return std::unique_ptr<PartitionTable>(std::move(table));
                },
                [this](mDisk&) { return ++gptCalls, std::unique_ptr<PartitionTable>(new FixedTable(3)); }};
    }
};

TEST(DiskTest, WithoutDrivesNothingIsSelected) {
    FakePlatform fake;
    mDisk disk(fake, 0, false);
    EXPECT_EQ(0, disk.diskCount);
    EXPECT_EQ(515, disk.GetError());
    disk.Use(0);
    EXPECT_EQ(515, disk.GetError());
    EXPECT_EQ(0u, disk.errorParameter);
    EXPECT_EQ(-1, disk.currentIndex);
}

TEST(DiskTest, DiskIndexesAreDenseOverDriveNumbers) {
    FakePlatform fake;
    PutSector(fake.AddDrive(0, 100).data, 0, MakeMbr({}, 0x11111111));
    FakeFile& drive2 = fake.AddDrive(2, 100);
    PutSector(drive2.data, 0, MakeMbr({}, 0x22222222));
    mDisk disk(fake, 0, false);
    EXPECT_EQ(2, disk.diskCount);
    disk.Use(1);
    EXPECT_EQ("\\\\.\\PhysicalDrive2", disk.devicePath);
    EXPECT_EQ(0x22, disk.sector0[440]);

    drive2.data[440] = 0x99;
    disk.Use(1);  // already selected: nothing is read
    EXPECT_EQ(0x22, disk.sector0[440]);
    disk.Reload(true);
    EXPECT_EQ(0x99, disk.sector0[440]);

    disk.Use(2);
    EXPECT_EQ(511, disk.GetError());
    EXPECT_EQ(2u, disk.errorParameter);
    EXPECT_EQ(1, disk.currentIndex);
    EXPECT_EQ(0x99, disk.sector0[440]);
    EXPECT_EQ(1u, fake.OpenHandleCount());
}

TEST(DiskTest, FirstErrorWins) {
    struct Case {
        const char* name;
        bool ignore;
        std::vector<std::array<int, 3>> steps;  // code, parameter, the code SetError returns
        std::uint32_t parameter;
    } cases[] = {
        {"first wins", false, {{513, 4, 513}, {505, 0, 513}}, 4},
        {"zero records nothing", false, {{0, 3, 0}, {506, 2, 506}}, 2},
        {"one clears", false, {{513, 1, 513}, {1, 0, 0}, {505, 7, 505}}, 7},
        {"ignored", true, {{513, 1, 0}, {505, 2, 0}}, 0},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        fake.AddDrive(0, 100);
        mDisk disk(fake, 0, c.ignore);
        for (const auto& [code, parameter, returned] : c.steps)
            EXPECT_EQ(returned, disk.SetError(code, parameter)) << c.name;
        EXPECT_EQ(c.parameter, disk.errorParameter) << c.name;
    }
}

Bytes Sector0(std::initializer_list<std::pair<std::size_t, const char*>> texts, bool bootSignature) {
    Bytes s(512, 0);
    for (const auto& [at, text] : texts) std::copy(text, text + std::strlen(text), s.begin() + at);
    s[440] = 0xA1, s[441] = 0xB2, s[442] = 0xC3, s[443] = 0xD4;
    if (bootSignature) s[510] = 0x55, s[511] = 0xAA;
    return s;
}

TEST(DiskTest, ClassifiesSectorZero) {
    using K = TableKind;
    struct Case {
        const char* name;
        bool removable;
        Bytes sector;
        TableKind kind;
        const char* kindName;
        int fs, signatureValid;
    } cases[] = {
        {"MBR", false, Sector0({{0, "\x33\xC0"}}, true), K::Mbr, "MBR", 0, 1},
        {"MBR without 55 AA", false, Sector0({{0, "\x33\xC0"}}, false), K::Mbr, "MBR", 0, 0},
        {"boot sector", false, Sector0({{0, "\xEB\x58"}, {82, "FAT32"}}, true), K::BootSector, "BootSector",
         0, 1},
        {"removable NTFS", true, Sector0({{0, "\xEB\x52"}, {3, "NTFS"}}, true), K::SuperFloppy, "SuperFloppy",
         1, 1},
        {"removable FAT16", true, Sector0({{54, "FAT16"}}, true), K::SuperFloppy, "SuperFloppy", 2, 1},
        {"removable FAT32", true, Sector0({{82, "FAT32"}}, true), K::SuperFloppy, "SuperFloppy", 3, 1},
        {"MBR code first", true, Sector0({{0, "\x33\xC0"}, {82, "FAT32"}}, true), K::Mbr, "MBR", 3, 1},
        {"fixed NTFS", false, Sector0({{0, "\xEB\x52"}, {3, "NTFS"}}, true), K::None, "None", 0, 1},
        {"zeros", false, Bytes(512, 0), K::None, "None", 0, 0},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        FakeFile& drive = fake.AddDrive(0, 100);
        if (c.removable) drive.geometry->mediaType = kRemovableMedia;
        PutSector(drive.data, 0, c.sector);
        mDisk disk(fake, 0, false);
        EXPECT_EQ(c.kind, disk.tableKind) << c.name;
        EXPECT_EQ(c.kindName, disk.tableKindName) << c.name;
        EXPECT_EQ(c.fs, static_cast<int>(disk.superFloppyFs)) << c.name;
        EXPECT_EQ(c.signatureValid, disk.signatureValid) << c.name;
        const std::array<std::uint8_t, 5> signature{0xA1, 0xB2, 0xC3, 0xD4, 0}, none{};
        EXPECT_EQ(c.signatureValid ? signature : none, disk.diskSignature) << c.name;
        EXPECT_EQ(0, disk.GetError()) << c.name;
    }
}

TEST(DiskTest, ReloadBuildsTheTableOfTheKindFound) {
    FakePlatform fake;
    fake.AddDrive(0, 100);
    FakeFile& drive = fake.AddDrive(1, 100);
    PutSector(drive.data, 0, MakeMbr({{0, 0xEE, 1, 99}}));
    Readers readers;
    mDisk disk(fake, 1, false, readers.Make());
    EXPECT_EQ(std::tuple(TableKind::Gpt, std::string("GPT"), 1),
              std::tuple(disk.tableKind, disk.tableKindName, disk.isGpt));
    EXPECT_EQ(std::tuple(0, 1, 3), std::tuple(readers.mbrCalls, readers.gptCalls, disk.PartitionCount(2)));

    PutSector(drive.data, 0, MakeMbr({{0x80, 0x07, 63, 99}}));
    disk.Reload(true);
    EXPECT_EQ(0, disk.isGpt);
    EXPECT_EQ(1, readers.mbrCalls);
    EXPECT_EQ(4, disk.activePartition);  // the last active one
    EXPECT_EQ(0, disk.GetError());

    readers.tableValid = false;
    disk.Reload(false);
    EXPECT_EQ(513, disk.GetError());
    EXPECT_EQ(1u, disk.errorParameter);
}

TEST(DiskTest, UnreadableDrivesLeaveAZeroedSectorZero) {
    enum Fault { ReadFails, ShortRead, NoMedium };
    struct Case {
        Fault fault;
        int notReady, mediaPresent;
        std::uint32_t mediaType;
    } cases[] = {
        {ReadFails, 0, 1, kFixedMedia}, {ShortRead, 0, 1, kFixedMedia}, {NoMedium, 1, 0, kRemovableMedia}};
    for (const Case& c : cases) {
        FakePlatform fake;
        FakeFile& drive = fake.AddDrive(0, 100);
        PutSector(drive.data, 0, MakeMbr({{0x80, 0x07, 63, 99}}));
        if (c.fault == ShortRead) drive.data.resize(300);
        if (c.fault != ShortRead) drive.failReadAt = {0};
        if (c.fault == NoMedium) drive.geometry.reset(), drive.geometryEx.reset();
        mDisk disk(fake, 0, false);
        EXPECT_EQ(std::tuple(c.notReady, c.mediaPresent, c.mediaType),
                  std::tuple(disk.notReady, disk.mediaPresent, disk.mediaType))
            << c.fault;
        EXPECT_EQ((std::array<std::uint8_t, 512>{}), disk.sector0) << c.fault;
        EXPECT_EQ(std::tuple(TableKind::None, 0, 0),
                  std::tuple(disk.tableKind, disk.signatureValid, disk.GetError()))
            << c.fault;
    }
}

TEST(DiskTest, SectorWrites) {
    FakePlatform fake;
    FakeFile& drive = fake.AddDrive(0, 100);
    mDisk disk(fake, 0, false);
    Bytes expected = drive.data;
    const Bytes buffer(1024, 0x42);
    std::copy(buffer.begin(), buffer.end(), expected.begin() + 4 * 512);
    expected[0] = disk.sector0[0] = 0x33;
    EXPECT_EQ(0, disk.WriteSector0());
    EXPECT_EQ(0, disk.WriteSectors(4, 2, buffer.data()));
    EXPECT_EQ("", test::DiffSectors(expected, drive.data, 0, 8));

    drive.failWriteAt = {9 * 512 + 100};
    EXPECT_EQ(505, disk.WriteSectors(8, 2, buffer.data()));
    EXPECT_EQ(505, disk.GetError());
    EXPECT_EQ("", test::DiffSectors(expected, drive.data, 8, 2));
    EXPECT_EQ(506, disk.ReadSector(100, expected.data()));  // returned, not recorded
}

TEST(DiskTest, VirtualSelection) {
    FakePlatform fake;
    PutSector(fake.AddDrive(0, 100).data, 0, MakeMbr({}));
    mDisk disk(fake, 0, false);
    disk.UseVirtual("C:\\VMs\\missing.vmdk");
    EXPECT_EQ(565, disk.GetError());
    EXPECT_EQ(0u, disk.errorParameter);
    EXPECT_EQ(0, disk.isVirtual);

    // Back from a virtual disk to the drive selected before it: that drive
    // is opened and read again.
    fake.AddFile("C:\\VMs\\disk.vmdk", Bytes(512));
    disk.UseVirtual("C:\\VMs\\disk.vmdk");
    EXPECT_EQ(1, disk.isVirtual);
    disk.Use(0);
    EXPECT_EQ(0, disk.isVirtual);
    EXPECT_TRUE(disk.CurrentFile().IsOpen());
    EXPECT_EQ(TableKind::Mbr, disk.tableKind);
}

TEST(DiskTest, LbaToChs) {
    struct Case {
        std::uint32_t heads, sectorsPerTrack, lba, c, h, s;
    } cases[] = {
        {255, 63, 0, 0, 0, 1},        {255, 63, 62, 0, 0, 63},   {255, 63, 63, 0, 1, 1},
        {255, 63, 16064, 0, 254, 63}, {255, 63, 16065, 1, 0, 1}, {16, 63, 0xFFFFFFFF, 4260880, 4, 4},
        {0, 63, 12345, 0, 0, 0},      {255, 0, 12345, 0, 0, 0},
    };
    FakePlatform fake;
    fake.AddDrive(0, 100);
    mDisk disk(fake, 0, false);
    for (const Case& k : cases) {
        disk.tracksPerCylinder = k.heads;
        disk.sectorsPerTrack = k.sectorsPerTrack;
        const Chs chs = disk.LbaToChs(k.lba);
        EXPECT_EQ(std::tuple(k.c, k.h, k.s), std::tuple(chs.cylinder, chs.head, chs.sector)) << k.lba;
    }
}

}  // namespace
}  // namespace partam
