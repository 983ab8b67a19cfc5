// Drive paths and the disk list, and the answers derived for disk images
// and drive layouts.
#include "platform/image_drive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "platform/drive_list.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;
using test::MakeMbr;
using test::PutSector;

TEST(DiskList, PhysicalDriveNumberOfPath) {
    EXPECT_EQ(PhysicalDriveNumber("\\\\.\\PhysicalDrive7"), 7);
    EXPECT_EQ(PhysicalDriveNumber("//./physicaldrive123456"), 123456);
    for (const char* path : {"\\\\.\\PhysicalDrive1234567", "\\\\.\\PhysicalDrive", "\\\\.\\PhysicalDrive01",
                             "\\\\.\\PhysicalDrive-1", "\\\\?\\PhysicalDrive1", "/dev/sda"})
        EXPECT_EQ(PhysicalDriveNumber(path), std::nullopt) << path;
}

// Entries named "missing" and "dir" cannot be opened; every other one can.
std::optional<std::string> Probe(const std::string& entry) {
    if (entry == "missing") return "No such file or directory";
    if (entry == "dir") return "Is a directory";
    return std::nullopt;
}

std::string Entries(int count) {
    std::string list = "d0";
    for (int n = 1; n < count; ++n) list += ":d" + std::to_string(n);
    return list;
}

TEST(DiskList, EveryEntryMustOpenOrNoneIsADrive) {
    using Drives = std::vector<std::string>;
    // list, separator, drives, refusal after "partam: PARTAM_DISKS "
    const std::tuple<std::string, char, Drives, std::string> cases[] = {
        {"a.img:/tmp/b.img", ':', {"a.img", "/tmp/b.img"}, ""},
        {"Z:\\a.img;Z:\\b.img", ';', {"Z:\\a.img", "Z:\\b.img"}, ""},
        {Entries(20), ':', SplitDiskList(Entries(20), ':'), ""},
        {"a::b", ':', {}, "entry 1 \"\" is empty"},
        {"a:b:", ':', {}, "entry 2 \"\" is empty"},
        {"", ':', {}, "entry 0 \"\" is empty"},
        {"a:missing:dir", ':', {}, "entry 1 \"missing\" cannot be opened: No such file or directory"},
        {"a:dir", ':', {}, "entry 1 \"dir\" cannot be opened: Is a directory"},
        {Entries(21), ':', {}, "holds more than 20 entries"}};
    for (const auto& [list, separator, drives, refusal] : cases) {
        const CheckedDiskList checked = CheckDiskList(list, separator, Probe);
        EXPECT_EQ(checked.drives, drives) << list;
        EXPECT_EQ(checked.refusal, refusal.empty() ? "" : "partam: PARTAM_DISKS " + refusal) << list;
    }
    EXPECT_EQ(SplitDiskList(Entries(20), ':').size(), 20u);
}

ComputedLayout LayoutOf(const Bytes& image, std::uint64_t sectors = 0) {
    const SectorReader read = [&image](std::uint64_t lba, std::uint8_t* sector) {
        if ((lba + 1) * 512 > image.size()) return false;
        std::memcpy(sector, image.data() + lba * 512, 512);
        return true;
    };
    return ComputeDriveLayout(read, sectors ? sectors : image.size() / 512);
}

// MBR: a primary, an empty slot, the extended at 1000, a typeless slot.
// EBRs at 1000 and 1000 + 500; the second links where it is told.
Bytes ExtendedImage(std::uint32_t secondLink = 500) {
    Bytes image;
    PutSector(image, 0,
              MakeMbr({{0, 0x06, 63, 900}, {}, {0, 0x0F, 1000, 2000}, {0, 0, 100, 100}}, 0xCAFEF00D));
    PutSector(image, 1000, MakeMbr({{0, 0x07, 63, 400}, {0, 0x05, 500, 600}}, 0, true, false));
    PutSector(image, 1500, MakeMbr({{0x80, 0x83, 48, 300}, {0, 0x05, secondLink, 100}}, 0, true, false));
    PutSector(image, 2999, Bytes(512, 0));
    return image;
}

TEST(ComputeDriveLayout, BrokenChainsEndAndDisksWithoutAnMbr) {
    Bytes unsigned_ = ExtendedImage(), unreadable = ExtendedImage();
    unsigned_[1500 * 512 + 511] = 0;
    unreadable.resize(1200 * 512);  // the second EBR lies past the readable end
    const std::tuple<const char*, Bytes, std::size_t> cases[] = {
        {"loop back to the first record", ExtendedImage(0), 12},
        {"link outside the disk", ExtendedImage(4000), 12},
        {"record without signature", unsigned_, 8},
        {"unreadable record", unreadable, 8},
        {"MBR without signature", MakeMbr({{0, 0x07, 63, 10}}, 1, false), 0}};
    for (const auto& [name, image, entries] : cases)
        EXPECT_EQ(LayoutOf(image, 3000).answer.entries.size(), entries) << name;
}

TEST(ComputeDriveLayout, EndlessChainStopsAtTheBound) {
    // Every EBR links to the next one: more records than any disk has.
    const Bytes mbr = MakeMbr({{0, 0x05, 1, 0xFFFFFFF0}});
    Bytes ebr = MakeMbr({{0, 0x07, 1, 1}, {0, 0x05, 0, 1}}, 0, true, false);
    std::uint64_t reads = 0;
    const SectorReader read = [&](std::uint64_t lba, std::uint8_t* sector) {
        ++reads;
        const std::uint32_t next = static_cast<std::uint32_t>(lba);  // lba + 1, relative to 1
        for (int i = 0; i < 4; ++i) ebr[446 + 16 + 8 + i] = static_cast<std::uint8_t>(next >> (8 * i));
        std::memcpy(sector, lba == 0 ? mbr.data() : ebr.data(), 512);
        return true;
    };
    const std::vector<LayoutEntry> entries = ComputeDriveLayout(read, 1ull << 40).answer.entries;
    EXPECT_EQ(entries.size(), 4u * (1 + kMaxExtendedTables));
    EXPECT_EQ(reads, 1u + kMaxExtendedTables);
}

}  // namespace
}  // namespace partam
