// Wiping on an in-memory drive: which sectors hold zeros afterwards, the
// transfers that reached the drive (1 MiB at most; a failed one again
// sector by sector) and the code. Ranges, copies and their messages are the
// program tests' (tests/programs/edits.sh).
#include "backup/wipe.h"

#include <gtest/gtest.h>

#include "base/result_codes.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

constexpr std::uint64_t kSectors = 3000;
constexpr std::uint64_t kNone = kSectors;  // no failing sector

TEST(WipeTest, SectorsWipedAndTransfers) {
    struct Case {
        const char* name;
        std::uint64_t first, last, failing, zeroFrom, zeroTo;  // zeroed: [zeroFrom, zeroTo)
        int code;
        std::vector<long> transfers;  // in sectors, a failed one negative
    };
    std::vector<long> retried{2048, -952};
    for (std::uint64_t s = 2048; s < kSectors; ++s) retried.push_back(s == 2500 ? -1 : 1);
    const Case cases[] = {
        {"disk, in 1 MiB transfers", 0, kSectors - 1, kNone, 0, kSectors, 0, {2048, 952}},
        {"a failing sector, the rest wiped", 0, kSectors - 1, 2500, 0, kSectors, kSectorWriteFailed, retried},
        {"past the end, not tried", 2990, 3010, kNone, 2990, kSectors, kSectorWriteFailed, {10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform platform;
        FakeFile& drive = platform.AddDrive(0, kSectors);
        std::fill(drive.data.begin(), drive.data.end(), 0xAB);
        test::Bytes expected = drive.data;
        std::fill(expected.begin() + static_cast<std::ptrdiff_t>(c.zeroFrom * 512),
                  expected.begin() + static_cast<std::ptrdiff_t>(c.zeroTo * 512), 0);
        if (c.failing != kNone) {
            drive.failWriteAt.insert(c.failing * 512);
            std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>(c.failing * 512), 512, 0xAB);
        }
        mDisk disk(platform, 0);
        EXPECT_EQ(WipeSectors(disk, c.first, c.last), c.code);
        if (drive.data != expected) ADD_FAILURE() << test::DiffSectors(expected, drive.data, 0, kSectors);
        std::vector<long> transfers;
        for (const FakeWrite& w : platform.writes) transfers.push_back((w.ok ? 1 : -1) * long(w.count / 512));
        EXPECT_EQ(transfers, c.transfers);
    }
}

// The figure rewrites itself on a console and is not shown where output is
// redirected.
TEST(WipeTest, ProgressOnAConsoleOnly) {
    for (const bool console : {true, false}) {
        FakePlatform platform;
        platform.AddDrive(0, 20000);
        platform.consoleCursor = console;
        mDisk disk(platform, 0);
        ProgressFigure figure(platform, true);
        EXPECT_EQ(WipeSectors(disk, 0, 19999, &figure), 0);
        EXPECT_EQ(platform.output, console ? "100% complete" : "");
    }
}

}  // namespace
}  // namespace partam
