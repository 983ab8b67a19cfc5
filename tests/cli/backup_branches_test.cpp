// Save, restore and show run whole against the fake platform: what reaches
// the drive and the files, and what is refused before anything does.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/run.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;

int RunLine(FakePlatform& platform, const std::string& line) {
    std::istringstream words(line);
    std::vector<std::string> args{"partam"};
    for (std::string w; words >> w;) args.push_back(w);
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    return RunProgram(platform, static_cast<int>(argv.size()), argv.data());
}

// A drive of four transfers: an MBR in the first, two sectors of data in the
// third, zeros elsewhere. Where the platform can tell holes, a transfer
// that lies in one is not read (a read there fails); into a file, one of
// zeros is not written; the file holds the drive's sectors all the same.
TEST(BackupBranchesTest, SavesPassOverHolesAndZeros) {
    struct Case {
        const char* args;
        bool holes;
        std::uint64_t first, count, dataAt;  // the sectors saved; where they start in the file
        std::vector<std::uint64_t> written;  // the file's sectors that writes began at
    } cases[] = {
        {"/save=disk", true, 0, 8192, 1, {0, 1, 4097}},
        {"/save=disk /nohdr", false, 0, 8192, 0, {0, 4096}},
        {"/save=range /range=2000-6500 /nohdr", true, 2000, 4501, 0, {2048}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        FakePlatform platform;
        FakeFile& drive = platform.AddDrive(0, 8192);
        test::PutSector(drive.data, 0, test::MakeMbr({{0x80, 0x07, 2048, 4096}}));
        std::fill_n(drive.data.begin() + 4500 * 512, 1024, 0x5A);
        drive.holes = c.holes;
        if (c.holes) drive.failReadAt = {3000 * 512, 7000 * 512};
        EXPECT_EQ(0, RunLine(platform, std::string(c.args) + " /filename=C:\\s.bin"));
        std::vector<std::uint64_t> written;
        for (const FakeWrite& w : platform.writes)
            if (w.path == "C:\\s.bin.partam-new") written.push_back(w.offset / 512);  // renamed when whole
        EXPECT_EQ(c.written, written);
        const Bytes& file = platform.FindFile("C:\\s.bin")->data;
        ASSERT_EQ((c.dataAt + c.count) * 512, file.size());
        EXPECT_TRUE(std::equal(file.begin() + static_cast<std::ptrdiff_t>(c.dataAt * 512), file.end(),
                               drive.data.begin() + static_cast<std::ptrdiff_t>(c.first * 512)));
    }
}

// A save replaces the file of its name only once the new one is whole: one
// that fails leaves the earlier file as it was and removes what it wrote;
// none leaves its new file beside it. A file that may not be written is
// refused as before (563, or 562 for a large save).
TEST(BackupBranchesTest, SavesReplaceTheirFileOnlyWhenWhole) {
    const Bytes earlier = {'o', 'l', 'd'};
    // command, write call that fails, byte offset on the drive whose read fails, file read-only, result
    const std::tuple<const char*, int, std::uint64_t, bool, int> cases[] = {
        {"/save=mbr", 0, 0, false, 0},
        {"/save=disk", 0, 0, false, 0},
        {"/save=mbr", 1, 0, false, 507},
        {"/save=disk", 3, 0, false, 507},
        {"/save=disk", 0, 4500 * 512, false, 508},
        {"/save=mbr", 0, 0, true, 563},
        {"/save=disk", 0, 0, true, 562}};
    constexpr std::uint64_t kSectors = 5000;  // three transfers of 2048 sectors at most
    for (const auto& [command, failWrite, failRead, readOnly, code] : cases) {
        SCOPED_TRACE(std::string(command) + " " + std::to_string(code));
        FakePlatform platform;
        FakeFile& drive = platform.AddDrive(0, kSectors);
        for (std::size_t i = 0; i < drive.data.size(); ++i)
            drive.data[i] = static_cast<std::uint8_t>(i / 512 % 251 + 1);
        test::PutSector(drive.data, 0, test::MakeMbr({{0x80, 0x07, 2048, 1000}}));
        platform.AddFile("C:\\b.bin", earlier).readOnly = readOnly;
        platform.failWriteCall = failWrite;
        if (failRead != 0) drive.failReadAt = {failRead};
        EXPECT_EQ(RunLine(platform, std::string(command) + " /filename=C:\\b.bin"), code);
        const Bytes& saved = platform.FindFile("C:\\b.bin")->data;
        const std::size_t size = std::string(command) == "/save=mbr" ? 1024 : 512 + kSectors * 512;
        if (code == 0) {
            EXPECT_EQ(Bytes(saved.begin() + 512, saved.end()),
                      Bytes(drive.data.begin(), drive.data.begin() + static_cast<std::ptrdiff_t>(size - 512)));
        } else {
            EXPECT_EQ(saved, earlier);
        }
        EXPECT_EQ(platform.FindFile("C:\\b.bin.partam-new"), nullptr);
    }
}

}  // namespace
}  // namespace partam
