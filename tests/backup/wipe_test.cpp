// Wiping and copying sectors on an in-memory drive: which sectors hold
// zeros afterwards, the transfers that reached the drive, the code.
#include "backup/wipe.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "base/result_codes.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;

constexpr std::uint64_t kSectors = 3000;

struct Drive {
    FakePlatform platform;
    FakeFile* file = nullptr;
    std::unique_ptr<mDisk> disk;

    explicit Drive(std::uint64_t sectors = kSectors) {
        file = &platform.AddDrive(0, sectors);
        std::fill(file->data.begin(), file->data.end(), 0xAB);
        disk = std::make_unique<mDisk>(platform, 0, false);
    }
    // The transfers in sectors, a failed one negative.
    std::vector<long> Transfers() const {
        std::vector<long> out;
        for (const FakeWrite& w : platform.writes) out.push_back((w.ok ? 1 : -1) * static_cast<long>(w.count / 512));
        return out;
    }
};

TEST(WipeTest, SectorsWipedAndTransfers) {
    struct Case {
        const char* name;
        std::uint64_t first, last;
        std::set<std::uint64_t> failing;
        std::pair<std::uint64_t, std::uint64_t> zeroed;  // [first, end)
        int code;
        std::vector<long> transfers;  // a sector-by-sector run written as its count of single writes
    };
    // clang-format off
    const Case cases[] = {
        {"range", 10, 12, {}, {10, 13}, 0, {3}},
        {"reversed range", 12, 10, {}, {0, 0}, 0, {}},
        {"mbr", 0, 0, {}, {0, 1}, 0, {1}},
        {"head", 0, 62, {}, {0, 63}, 0, {63}},
        {"disk, in 1 MiB transfers", 0, kSectors - 1, {}, {0, kSectors}, 0, {2048, 952}},
        {"past the end", 2990, 3010, {}, {2990, kSectors}, kSectorWriteFailed, {10}},
        {"beyond the end", 3000, 3001, {}, {0, 0}, kSectorWriteFailed, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Drive drive;
        Bytes expected = drive.file->data;
        std::fill(expected.begin() + static_cast<std::ptrdiff_t>(c.zeroed.first * 512),
                  expected.begin() + static_cast<std::ptrdiff_t>(c.zeroed.second * 512), 0);
        EXPECT_EQ(WipeSectors(*drive.disk, c.first, c.last), c.code);
        if (drive.file->data != expected) ADD_FAILURE() << test::DiffSectors(expected, drive.file->data, 0, kSectors);
        EXPECT_EQ(drive.Transfers(), c.transfers);
    }
}

// A transfer that fails is written again sector by sector: every other
// sector is still wiped, and the one that cannot be is the 505.
TEST(WipeTest, AFailingSectorInTheMiddle) {
    Drive drive;
    drive.file->failWriteAt = {2500 * 512};
    Bytes expected(kSectors * 512, 0);
    std::fill_n(expected.begin() + 2500 * 512, 512, 0xAB);
    EXPECT_EQ(WipeSectors(*drive.disk, 0, kSectors - 1), kSectorWriteFailed);
    if (drive.file->data != expected) ADD_FAILURE() << test::DiffSectors(expected, drive.file->data, 0, kSectors);
    std::vector<long> transfers{2048, -952};
    for (std::uint64_t s = 2048; s < kSectors; ++s) transfers.push_back(s == 2500 ? -1 : 1);
    EXPECT_EQ(drive.Transfers(), transfers);
}

// The figure rewrites itself on a console and is not shown where output is
// redirected.
TEST(WipeTest, ProgressOnAConsoleOnly) {
    for (const bool console : {true, false}) {
        Drive drive(20000);
        drive.platform.consoleCursor = console;
        ProgressFigure figure(drive.platform, true);
        EXPECT_EQ(WipeSectors(*drive.disk, 0, 19999, &figure), 0);
        EXPECT_EQ(drive.platform.output, console ? "100% complete" : "");
    }
}

TEST(CopyTest, OneSectorOntoAnother) {
    // failing read, failing write, code, what sector 30 holds afterwards
    const std::tuple<bool, bool, int, std::uint8_t> cases[] = {
        {false, false, 0, 0x11},
        {true, false, kMbrReadFailed, 0xAB},
        {false, true, kSectorWriteFailed, 0xAB},
    };
    for (const auto& [failRead, failWrite, code, held] : cases) {
        Drive drive;
        std::fill_n(drive.file->data.begin(), 512, 0x11);
        if (failRead) drive.file->failReadAt.insert(0);
        if (failWrite) drive.file->failWriteAt.insert(30 * 512);
        drive.disk = std::make_unique<mDisk>(drive.platform, 0, false);
        EXPECT_EQ(CopySector(*drive.disk, 0, 30), code);
        EXPECT_EQ(Bytes(drive.file->data.begin() + 30 * 512, drive.file->data.begin() + 31 * 512), Bytes(512, held));
        EXPECT_EQ(drive.platform.writes.size(), failRead ? 0u : 1u);
    }
}

}  // namespace
}  // namespace partam
