#include "disk/geometry.h"

#include <gtest/gtest.h>

#include <tuple>

#include "disk/disk.h"
#include "disk/sector_file.h"
#include "support/fake_platform.h"

namespace partam {
namespace {

const char kDiskEnum[] = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";

DiskGeometry Chs(std::int64_t cylinders, std::uint32_t media) { return {cylinders, media, 255, 63, 512}; }

TEST(GeometryTest, SizeComesFromTheMostExactQueryThatAnswers) {
    const PartitionInformation kPart{512, 1048576};
    struct Case {
        const char* name;
        std::optional<DiskGeometry> basic;
        std::optional<std::uint64_t> extended;
        std::optional<PartitionInformation> partition;
        bool failed;
        std::uint32_t cylinders, mediaType;
        std::uint64_t sectors, bytes;
    } cases[] = {
        {"extended beats the product", Chs(10, 12), 170000 * 512ull, {}, false, 10, 12, 170000, 87040000},
        {"product without extended", Chs(10, 12), {}, kPart, false, 10, 12, 160650, 82252800},
        {"removable takes the partition", Chs(10, 11), {}, kPart, false, 10, 11, 2049, 1049088},
        {"removable, extended still wins", Chs(10, 11), 4096, kPart, false, 10, 11, 8, 4096},
        {"basic fails, extended sizes", {}, 1000 * 512ull, {}, true, 0, 0, 1000, 512000},
        {"nothing answers", {}, {}, {}, true, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        FakeFile& drive = fake.AddDrive(0, 1);
        drive.geometry = c.basic;
        drive.geometryEx = c.extended;
        drive.partitionInfo = c.partition;
        SectorFile file(fake);
        ASSERT_TRUE(file.OpenDrive(DrivePath(0)));
        GeometryResult g;
        g.totalBytes = 777;
        EXPECT_EQ(c.failed, ReadGeometry(fake, file.Handle(), g)) << c.name;
        EXPECT_EQ(c.cylinders, g.cylinders) << c.name;
        EXPECT_EQ(c.mediaType, g.mediaType) << c.name;
        EXPECT_EQ(c.sectors, g.totalSectors) << c.name;
        EXPECT_EQ(c.bytes, g.totalBytes) << c.name;
    }
}

LayoutEntry Entry(std::uint8_t type, std::uint32_t start, bool boot = false, bool mbrStyle = true) {
    return {mbrStyle, type, start * 512ll, 1048576, start, start, boot};
}

TEST(GeometryTest, LayoutTakesTheExtendedFormElseTheOldOne) {
    const std::vector<LayoutEntry> four = {Entry(0x07, 63, true), Entry(0, 5000),
                                           Entry(0xEE, 9000, false, false), Entry(0x0C, 20000)};
    std::vector<LayoutEntry> twelve = four;
    twelve.resize(12, Entry(0x07, 30000));
    struct Case {
        const char* name;
        std::optional<std::vector<LayoutEntry>> extended, old;
        bool ok;
        std::uint32_t source;
        std::array<int, 4> present;
    } cases[] = {
        {"extended, MBR style and non-zero type only", four, {}, true, 2, {1, 0, 0, 1}},
        {"extended with two entries", std::vector<LayoutEntry>{four[3], four[0]}, {}, true, 2, {1, 1, 0, 0}},
        {"more than nine entries: old form", twelve, twelve, true, 1, {1, 0, 1, 1}},
        {"neither answers", twelve, {}, false, 0, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        FakeFile& drive = fake.AddDrive(0, 1);
        drive.layoutEx.reset();
        drive.layout.reset();
        if (c.extended) drive.layoutEx = DriveLayoutAnswer{0xCAFEF00D, *c.extended};
        if (c.old) drive.layout = DriveLayoutAnswer{0, *c.old};
        SectorFile file(fake);
        ASSERT_TRUE(file.OpenDrive(DrivePath(0)));
        DriveLayout layout(0, file.Handle());
        EXPECT_EQ(c.ok, layout.GetLayout(fake)) << c.name;
        EXPECT_EQ(c.source, layout.source) << c.name;
        EXPECT_EQ(c.source == 2 ? 0xCAFEF00Du : 0u, layout.signature) << c.name;
        for (std::size_t s = 0; s < 4; ++s) {
            const LayoutSlot& slot = layout.slots[s];
            EXPECT_EQ(c.present[s], slot.present) << c.name << " slot " << s;
            if (!slot.present) continue;
            const LayoutEntry& e = (c.source == 2 ? *c.extended : *c.old)[s];
            EXPECT_EQ(
                std::tuple(e.partitionType, e.startingOffset, 1048576, e.hiddenSectors, e.bootIndicator),
                std::tuple(slot.type, slot.startingOffset, slot.length, slot.hiddenSectors,
                           slot.bootIndicator != 0))
                << c.name << " slot " << s;
        }
    }
}

TEST(GeometryTest, DescriptionFromTheDeviceEnumeration) {
    // A null instance: the disk has no entry. Null names: no such value.
    struct Case {
        const char *name, *instance, *friendlyName, *deviceDesc, *bus, *description;
    } cases[] = {
        {"IDE", "IDE\\DiskST380011A\\5&1", "ST380011A ATA Device", "Disk drive", "IDE", "ST380011A"},
        {"USB", "USBSTOR\\Disk&Ven_Kingston\\0", "Kingston  DataTraveler  2.0 usb device", nullptr, "USB",
         "Kingston DataTraveler  2.0"},
        {"SCSI", "SCSI\\Disk&Ven_VMware\\4&5", "VMware Virtual disk SCSI Disk Device", nullptr, "SCSI",
         "VMware Virtual disk"},
        {"suffix of another bus stays", "IDE\\Disk\\1", "Flash USB Device", nullptr, "IDE",
         "Flash USB Device"},
        {"last suffix inside the name", "IDE\\Disk\\1", "A ATA Device B ATA Device C", nullptr, "IDE",
         "A ATA Device B"},
        {"DeviceDesc without FriendlyName", "SCSI\\Disk\\1", nullptr, "Disk drive", "SCSI", "Disk drive"},
        {"no names: the bus name stays", "IDE\\Disk\\1", nullptr, nullptr, "IDE", "IDE"},
        {"no instance: nothing known", nullptr, nullptr, nullptr, "", ""},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        fake.AddDrive(0, 100);
        if (c.instance) {
            fake.SetRegistryValue(kDiskEnum, "0", c.instance);
            const std::string key = std::string("SYSTEM\\CurrentControlSet\\Enum\\") + c.instance;
            if (c.friendlyName) fake.SetRegistryValue(key, "FriendlyName", c.friendlyName);
            if (c.deviceDesc) fake.SetRegistryValue(key, "DeviceDesc", c.deviceDesc);
        }
        mDisk disk(fake, 0, false);
        EXPECT_EQ(c.bus, disk.BusName()) << c.name;
        EXPECT_EQ(c.description, disk.DeviceDescription()) << c.name;
        EXPECT_EQ(c.instance ? c.instance : "x", RegistryDeviceInfo(fake, 0, 5, "x")) << c.name;
    }
}

TEST(GeometryTest, DriveThePlatformNamesItselfSkipsTheRegistry) {
    FakePlatform fake;
    fake.AddDrive(0, 100);
    fake.AddDrive(1, 100).identity = DriveIdentity{"USB", "SanDisk  Cruzer  Blade USB Device"};
    fake.SetRegistryValue(kDiskEnum, "1", "IDE\\Disk\\1");
    fake.SetRegistryValue("SYSTEM\\CurrentControlSet\\Enum\\IDE\\Disk\\1", "FriendlyName",
                          "Wrong ATA Device");
    mDisk disk(fake, 1, false);
    EXPECT_EQ("USB", disk.BusName());
    EXPECT_EQ("SanDisk Cruzer  Blade", disk.DeviceDescription());
}

}  // namespace
}  // namespace partam
