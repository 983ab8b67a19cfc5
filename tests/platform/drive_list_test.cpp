#include "platform/drive_list.h"

#include <gtest/gtest.h>

namespace partam {
namespace {

TEST(DiskList, EntriesInOrderWithEmptyOnesSkipped) {
    struct Case {
        const char* value;
        char separator;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        {"", ':', {}},
        {":::", ':', {}},
        {"/tmp/a.img", ':', {"/tmp/a.img"}},
        {"/tmp/a.img::/dev/loop3:", ':', {"/tmp/a.img", "/dev/loop3"}},
        {":x:y", ':', {"x", "y"}},
        // Windows lists keep their drive-letter colons.
        {"C:\\images\\a.img;;D:\\b.img", ';', {"C:\\images\\a.img", "D:\\b.img"}},
        {"a b;c", ';', {"a b", "c"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitDiskList(c.value, c.separator), c.entries) << c.value;
}

TEST(DiskList, EntryOfDriveNumberCountsOnlyRealEntries) {
    EXPECT_EQ(DiskListEntry("a::b", ':', 0), "a");
    EXPECT_EQ(DiskListEntry("a::b", ':', 1), "b");
    EXPECT_EQ(DiskListEntry("a::b", ':', 2), std::nullopt);
    EXPECT_EQ(DiskListEntry("a::b", ':', -1), std::nullopt);
    EXPECT_EQ(DiskListEntry("", ':', 0), std::nullopt);
}

TEST(DiskList, PhysicalDriveNumberOfPath) {
    struct Case {
        const char* path;
        std::optional<int> number;
    };
    const Case cases[] = {
        {"\\\\.\\PhysicalDrive0", 0},
        {"\\\\.\\PhysicalDrive19", 19},
        {"\\\\.\\physicaldrive7", 7},
        {"//./PhysicalDrive2", 2},
        {"\\\\.\\PhysicalDrive123456", 123456},
        {"\\\\.\\PhysicalDrive1234567", std::nullopt},
        {"\\\\.\\PhysicalDrive", std::nullopt},
        {"\\\\.\\PhysicalDrive01", std::nullopt},
        {"\\\\.\\PhysicalDrive-1", std::nullopt},
        {"\\\\.\\PhysicalDrive1 ", std::nullopt},
        {"\\\\.\\PhysicalDrive1x", std::nullopt},
        {"\\\\?\\PhysicalDrive1", std::nullopt},
        {"\\\\.\\C:", std::nullopt},
        {"PhysicalDrive1", std::nullopt},
        {"/dev/sda", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(PhysicalDriveNumber(c.path), c.number) << c.path;
}

}  // namespace
}  // namespace partam
