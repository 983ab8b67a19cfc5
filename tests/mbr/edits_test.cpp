// The table edits on a disk object over an in-memory drive: the exact bytes
// of sector 0 afterwards, the code, and that sector 0 is the only sector
// written (boot code, signature and the extended chain stay).
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

using test::Bytes;
using test::EntrySpec;
using test::MakeMbr;

constexpr std::uint64_t kEbr = 3000;  // where an extended slot of the cases starts

struct Drive {
    FakePlatform platform;
    FakeFile* file = nullptr;
    std::unique_ptr<mDisk> disk;

    explicit Drive(const std::vector<EntrySpec>& slots) {
        file = &platform.AddDrive(0, 4096);
        test::PutSector(file->data, 0, MakeMbr(slots));
        // The chain behind an extended slot: one logical partition.
        test::PutSector(file->data, kEbr, MakeMbr({{0, 0x83, 63, 500}}, 0, true, false));
        disk = std::make_unique<mDisk>(platform, 0, false, TableReaders{MbrTableReader(), {}});
    }
    // Sector 0 as expected to be, against what the drive holds, and that
    // every write went to sector 0 alone.
    void Expect(const std::vector<EntrySpec>& slots, std::size_t writes) const {
        EXPECT_EQ(test::DiffSectors(MakeMbr(slots), file->data, 0), "");
        EXPECT_EQ(platform.writes.size(), writes);
        for (const FakeWrite& w : platform.writes) EXPECT_EQ(std::tuple(w.offset, w.count), std::tuple(0u, 512u));
    }
};

using Edit = std::function<int(mDisk&)>;

TEST(EditsTest, SectorZeroAfterEachEdit) {
    const EntrySpec ntfs{0, 0x07, 63, 1000}, data{0, 0x83, 1063, 1000}, fat{0, 0x0C, 2063, 900}, ext{0, 0x0F, kEbr, 1000};
    const EntrySpec empty{};
    const auto with = [](EntrySpec e, std::uint8_t status, std::uint8_t type) {
        e.status = status;
        e.type = type;
        return e;
    };
    struct Case {
        const char* name;
        std::vector<EntrySpec> slots;
        Edit edit;
        std::vector<EntrySpec> expected;
        int code;
        std::size_t writes;
    };
    // clang-format off
    const Case cases[] = {
        {"hide", {ntfs, data, ext}, [](mDisk& d) { return Hide(d, 1, true); },
         {with(ntfs, 0, 0x17), data, ext}, 0, 1},
        {"hide extended", {ntfs, data, ext}, [](mDisk& d) { return Hide(d, 3, true); },
         {ntfs, data, with(ext, 0, 0x1F)}, 0, 1},
        {"hide a type that cannot be", {ntfs, data}, [](mDisk& d) { return Hide(d, 2, true); },
         {ntfs, data}, kCannotHideType, 0},
        {"unhide what is not hidden rewrites the table", {ntfs, data}, [](mDisk& d) { return Hide(d, 1, false); },
         {ntfs, data}, 0, 1},
        {"slots stay: position 2 is slot 2", {ntfs, empty, fat}, [](mDisk& d) { return Hide(d, 2, true); },
         {ntfs, empty, with(fat, 0, 0x1C)}, 0, 1},
        {"beyond the primaries", {ntfs, data}, [](mDisk& d) { return Hide(d, 3, true); },
         {ntfs, data}, kInvalidPartitionSelected, 0},
        {"hide all, one that cannot be", {ntfs, data, fat, ext}, [](mDisk& d) { return HideAll(d, true); },
         {with(ntfs, 0, 0x17), data, with(fat, 0, 0x1C), with(ext, 0, 0x1F)}, kCannotHideType, 3},
        {"activate a hidden one: unhidden, then alone active", {with(ntfs, 0x80, 0x07), with(fat, 0, 0x1C)},
         [](mDisk& d) { return SetActive(d, 2, true); }, {ntfs, with(fat, 0x80, 0x0C)}, 0, 2},
        {"deactivate touches its own status only", {with(ntfs, 0x80, 0x07), with(fat, 0x81, 0x0C)},
         [](mDisk& d) { return SetActive(d, 1, false); }, {ntfs, with(fat, 0x81, 0x0C)}, 0, 1},
        {"all inactive", {with(ntfs, 0x80, 0x07), with(fat, 0x80, 0x0C)},
         [](mDisk& d) { return SetAllActive(d, false); }, {ntfs, fat}, 0, 2},
        {"type, low byte", {ntfs, data}, [](mDisk& d) { return ChangeType(d, 2, 0x1234); },
         {ntfs, with(data, 0, 0x34)}, 0, 1},
        {"delete the only partition", {ntfs}, [](mDisk& d) { return DeletePartition(d, 1); }, {}, 0, 1},
        {"delete leaves the other slots", {ntfs, empty, fat, ext}, [](mDisk& d) { return DeletePartition(d, 2); },
         {ntfs, empty, empty, ext}, 0, 1},
        {"delete all", {ntfs, data, ext}, [](mDisk& d) { return DeleteAllPartitions(d); }, {}, 0, 1},
        {"sorted placement", {fat, ntfs}, [](mDisk& d) { return RebuildTable(d, true); }, {ntfs, fat}, 0, 1},
        {"sorted placement closes gaps", {empty, fat, empty, ntfs}, [](mDisk& d) { return RebuildTable(d, true); },
         {ntfs, fat}, 0, 1},
        // An exchange sort: equal starts are not exchanged with each other,
        // but each may be with a third.
        {"equal starts", {with(data, 0, 0x0A), with(data, 0, 0x0B), ntfs},
         [](mDisk& d) { return RebuildTable(d, true); }, {ntfs, with(data, 0, 0x0B), with(data, 0, 0x0A)}, 0, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Drive drive(c.slots);
        const Bytes ebr(drive.file->data.begin() + kEbr * 512, drive.file->data.begin() + (kEbr + 1) * 512);
        EXPECT_EQ(c.edit(*drive.disk), c.code);
        drive.Expect(c.expected, c.writes);
        EXPECT_EQ(test::DiffSectors(ebr, Bytes(drive.file->data.begin() + kEbr * 512, drive.file->data.end()), 0), "");
    }
}

// Every type byte but the protective one, hidden and unhidden: only the
// hideable types take 0x10 on, only the hidden ones lose it.
TEST(EditsTest, HideAndUnhideEveryType) {
    const std::set<int> hideable{0x01, 0x04, 0x06, 0x07, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
    for (int type = 1; type <= 0xFF; ++type) {
        if (type == kProtectiveType) continue;
        SCOPED_TRACE(type);
        const bool canHide = hideable.count(type) != 0, hidden = type >= 0x10 && hideable.count(type - 0x10);
        const auto entry = [](int t) { return EntrySpec{0, static_cast<std::uint8_t>(t), 63, 1000}; };
        Drive hiding({entry(type)}), unhiding({entry(type)});
        EXPECT_EQ(Hide(*hiding.disk, 1, true), canHide ? 0 : kCannotHideType);
        hiding.Expect({entry(canHide ? type + 0x10 : type)}, canHide ? 1 : 0);
        EXPECT_EQ(Hide(*unhiding.disk, 1, false), 0);
        unhiding.Expect({entry(hidden ? type - 0x10 : type)}, 1);
    }
}

// A failed write leaves the disk as it was and the table as it is on it.
TEST(EditsTest, FailedWrites) {
    Drive drive({{0, 0x07, 63, 1000}, {0, 0x83, 1063, 1000}});
    drive.file->failWriteAt.insert(0);
    EXPECT_EQ(DeletePartition(*drive.disk, 1), kSectorWriteFailed);
    EXPECT_EQ(drive.disk->PartitionCount(0), 2);
    EXPECT_EQ(test::DiffSectors(MakeMbr({{0, 0x07, 63, 1000}, {0, 0x83, 1063, 1000}}), drive.file->data, 0), "");
}

}  // namespace
}  // namespace partam
