// The table edits on a disk object over an in-memory drive: the exact bytes
// of sector 0 afterwards, the code, and how often sector 0 (the only sector
// written: boot code, signature and the extended chain stay) was written.
// Each command's bytes on images are also the program tests'.
#include "mbr/edits.h"

#include <gtest/gtest.h>

#include <functional>

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

    // With bootSector, sector 0 is a FAT16 boot sector whose code happens to
    // read as the slots.
    explicit Drive(const std::vector<EntrySpec>& slots, bool bootSector = false) {
        file = &platform.AddDrive(0, 4096);
        test::PutSector(file->data, 0,
                        bootSector ? test::WithFat16BootSector(MakeMbr(slots)) : MakeMbr(slots));
        test::PutSector(file->data, kEbr, MakeMbr({{0, 0x83, 63, 500}}, 0, true, false));
        disk = std::make_unique<mDisk>(platform, 0, TableReaders{MbrTableReader(), {}});
    }
    void Expect(const std::vector<EntrySpec>& slots, std::size_t writes) const {
        EXPECT_EQ(test::DiffSectors(MakeMbr(slots), file->data, 0), "");
        EXPECT_EQ(platform.writes.size(), writes);
        for (const FakeWrite& w : platform.writes)
            EXPECT_EQ(std::tuple(w.offset, w.count), std::tuple(0u, 512u));
    }
};

// A change is one write of sector 0, so a write that fails leaves the table
// as it was, never half changed.
TEST(EditsTest, EachChangeIsOneWrite) {
    using Edit = std::function<int(mDisk&)>;
    const std::vector<EntrySpec> before = {{0x80, 0x07, 63, 1000}, {0, 0x1C, 2000, 500}};
    const struct {
        const char* what;
        Edit edit;
        int code;
        std::vector<EntrySpec> after;
    } cases[] = {
        {"activating a hidden partition",
         [](mDisk& d) { return SetActive(d, 2, true); },
         0,
         {{0, 0x07, 63, 1000}, {0x80, 0x0C, 2000, 500}}},
        {"hiding all, one hidden already",
         [](mDisk& d) { return HideAll(d, true); },
         kCannotHideType,
         {{0x80, 0x17, 63, 1000}, {0, 0x1C, 2000, 500}}},
        {"deactivating all", DeactivateAll, 0, {{0, 0x07, 63, 1000}, {0, 0x1C, 2000, 500}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const bool fails : {false, true}) {
            Drive drive(before);
            if (fails) drive.file->failWriteAt.insert(0);
            EXPECT_EQ(c.edit(*drive.disk), fails ? kSectorWriteFailed : c.code);
            drive.Expect(fails ? before : c.after, 1);
        }
    }
}

// A table is written back only over a table: a filesystem's boot sector is
// refused (518), though its code reads as entries, and nothing is written.
TEST(EditsTest, NothingIsWrittenOverABootSector) {
    const std::function<int(mDisk&)> edits[] = {
        [](mDisk& d) { return Hide(d, 1, true); },
        [](mDisk& d) { return HideAll(d, false); },
        [](mDisk& d) { return SetActive(d, 1, true); },
        DeactivateAll,
        [](mDisk& d) { return ChangeType(d, 1, 6); },
        [](mDisk& d) { return DeletePartition(d, 1); },
        DeleteAllPartitions,
        [](mDisk& d) { return RebuildTable(d, true); },
    };
    for (const auto& edit : edits) {
        Drive drive({{0, 0x07, 63, 1000}}, true);
        const test::Bytes sector0(drive.file->data.begin(), drive.file->data.begin() + 512);
        EXPECT_EQ(edit(*drive.disk), kCreateWithoutMbr);
        EXPECT_EQ(test::DiffSectors(sector0, drive.file->data, 0), "");
        EXPECT_TRUE(drive.platform.writes.empty());
    }
}

}  // namespace
}  // namespace partam
