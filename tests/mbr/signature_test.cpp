// The signature and status changes: exactly their bytes of sector 0 change,
// and nothing is written when they are refused.
#include "mbr/signature.h"

#include <gtest/gtest.h>

#include <deque>

#include "base/result_codes.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;

TEST(SignatureTest, ChangesOnlyItsOwnBytes) {
    const struct {
        const char* what;
        int mode;  // -1: the status byte, set to 0xC7
        const char* text;
        std::vector<std::uint32_t> random;
        bool bootSignature;
        int code;
        std::vector<std::pair<std::size_t, std::uint8_t>> changed;
    } cases[] = {
        // The program tests write, zero and refuse through the program; these
        // are what only a test can choose: the numbers drawn, and modes and
        // values the program refuses before it gets here.
        {"generate, never 0",
         1,
         "",
         {0, 0x0A0B0C0D},
         true,
         0,
         {{440, 0x0D}, {441, 0x0C}, {442, 0x0B}, {443, 0x0A}}},
        {"status", -1, "", {}, true, 0, {{434, 0xC7}}},
        {"not hexadecimal", 2, "AC67AC6G", {}, true, kBadSignatureMode, {}},
        {"no such mode", 3, "", {}, true, kBadSignatureMode, {}},
        {"generate without 55 AA", 1, "", {5}, false, kNoMbrHere, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform platform;
        FakeFile& drive = platform.AddDrive(0, 100);
        test::PutSector(drive.data, 0, test::MakeMbr({{0x80, 0x07, 63, 37}}, 0x12345678, c.bootSignature));
        Bytes want(drive.data.begin(), drive.data.begin() + 512);
        for (const auto& [offset, value] : c.changed) want[offset] = value;
        mDisk disk(platform, 0, false);
        platform.writes.clear();
        std::deque<std::uint32_t> random(c.random.begin(), c.random.end());
        const RandomSource source = [&random] {
            const std::uint32_t n = random.empty() ? 0 : random.front();
            if (!random.empty()) random.pop_front();
            return n;
        };
        const int code =
            c.mode < 0 ? WriteStatusByte(disk, 0xC7) : SetDiskSignature(disk, c.mode, c.text, source);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(disk.GetError(), c.code);
        EXPECT_EQ(platform.writes.size(), c.code == 0 ? 1u : 0u);
        const Bytes got(drive.data.begin(), drive.data.begin() + 512);
        EXPECT_TRUE(got == want) << test::DiffSectors(want, got, 0);
    }
}

}  // namespace
}  // namespace partam
