// The table edits on a disk object over an in-memory drive: the exact bytes
// of sector 0 afterwards, the code, and how often sector 0 (the only sector
// written: boot code, signature and the extended chain stay) was written.
// Each command's bytes on images are also the program tests'.
#include "mbr/edits.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "base/result_codes.h"
#include "mbr/partition_list.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using test::EntrySpec;
using test::MakeMbr;

constexpr std::uint32_t kEbr = 3000;  // where the extended slot of the cases starts

struct Drive {
    FakePlatform platform;
    FakeFile* file = nullptr;
    std::unique_ptr<mDisk> disk;

    explicit Drive(const std::vector<EntrySpec>& slots) {
        file = &platform.AddDrive(0, 4096);
        test::PutSector(file->data, 0, MakeMbr(slots));
        test::PutSector(file->data, kEbr, MakeMbr({{0, 0x83, 63, 500}}, 0, true, false));
        disk = std::make_unique<mDisk>(platform, 0, false, TableReaders{MbrTableReader(), {}});
    }
    void Expect(const std::vector<EntrySpec>& slots, std::size_t writes) const {
        EXPECT_EQ(test::DiffSectors(MakeMbr(slots), file->data, 0), "");
        EXPECT_EQ(platform.writes.size(), writes);
        for (const FakeWrite& w : platform.writes)
            EXPECT_EQ(std::tuple(w.offset, w.count), std::tuple(0u, 512u));
    }
};

TEST(EditsTest, SectorZeroAfterEachEdit) {
    const EntrySpec ntfs{0, 0x07, 63, 1000}, data{0, 0x83, 1063, 1000}, fat{0, 0x0C, 2063, 900},
        ext{0, 0x0F, kEbr, 1000}, empty{};
    const auto as = [](EntrySpec e, std::uint8_t status, std::uint8_t type) {
        std::tie(e.status, e.type) = std::tie(status, type);
        return e;
    };
    // name, slots before, the edit, slots after, code, writes of sector 0
    using Case = std::tuple<const char*, std::vector<EntrySpec>, std::function<int(mDisk&)>,
                            std::vector<EntrySpec>, int, std::size_t>;
    // Hiding all and activating a hidden partition are edits.sh's too; the
    // writes of sector 0 are these alone.
    // clang-format off
    const Case cases[] = {
        {"hide all, one that cannot be", {ntfs, data, fat, ext}, [](mDisk& d) { return HideAll(d, true); },
         {as(ntfs, 0, 0x17), data, as(fat, 0, 0x1C), as(ext, 0, 0x1F)}, kCannotHideType, 3},
        {"deactivate touches its own status only", {as(ntfs, 0x80, 0x07), as(fat, 0x81, 0x0C)},
         [](mDisk& d) { return SetActive(d, 1, false); }, {ntfs, as(fat, 0x81, 0x0C)}, 0, 1},
        // An exchange sort: equal starts are not exchanged with each other,
        // but each may be with a third.
        {"sorted placement, equal starts", {as(data, 0, 0x0A), as(data, 0, 0x0B), empty, ntfs},
         [](mDisk& d) { return RebuildTable(d, true); }, {ntfs, as(data, 0, 0x0B), as(data, 0, 0x0A)}, 0, 1},
    };
    // clang-format on
    for (const auto& [name, slots, edit, expected, code, writes] : cases) {
        SCOPED_TRACE(name);
        Drive drive(slots);
        const test::Bytes ebr(drive.file->data.begin() + kEbr * 512,
                              drive.file->data.begin() + (kEbr + 1) * 512);
        EXPECT_EQ(edit(*drive.disk), code);
        drive.Expect(expected, writes);
        EXPECT_TRUE(std::equal(ebr.begin(), ebr.end(), drive.file->data.begin() + kEbr * 512));
    }
}

// Every type byte but the protective one, hidden and unhidden: only the
// hideable types take 0x10 on, only the hidden ones lose it.
TEST(EditsTest, HideAndUnhideEveryType) {
    const std::set<int> hideable{0x01, 0x04, 0x06, 0x07, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
    const auto entry = [](int t) { return EntrySpec{0, static_cast<std::uint8_t>(t), 63, 1000}; };
    for (int type = 1; type <= 0xFF; ++type) {
        if (type == kProtectiveType) continue;
        SCOPED_TRACE(type);
        const bool canHide = hideable.count(type) != 0, hidden = hideable.count(type - 0x10) != 0;
        Drive hiding({entry(type)}), unhiding({entry(type)});
        EXPECT_EQ(Hide(*hiding.disk, 1, true), canHide ? 0 : kCannotHideType);
        hiding.Expect({entry(canHide ? type + 0x10 : type)}, canHide ? 1 : 0);
        EXPECT_EQ(Hide(*unhiding.disk, 1, false), 0);
        unhiding.Expect({entry(hidden ? type - 0x10 : type)}, 1);
    }
}

}  // namespace
}  // namespace partam
