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
            if (w.path == "C:\\s.bin") written.push_back(w.offset / 512);
        EXPECT_EQ(c.written, written);
        const Bytes& file = platform.FindFile("C:\\s.bin")->data;
        ASSERT_EQ((c.dataAt + c.count) * 512, file.size());
        EXPECT_TRUE(std::equal(file.begin() + static_cast<std::ptrdiff_t>(c.dataAt * 512), file.end(),
                               drive.data.begin() + static_cast<std::ptrdiff_t>(c.first * 512)));
    }
}

// On a console a long save rewrites its progress figure in place (where
// output cannot go back, each figure follows the last: backups.sh).
TEST(BackupBranchesTest, ProgressOfALargeSaveOnAConsole) {
    FakePlatform platform;
    platform.AddDrive(0, 20000);
    platform.consoleCursor = true;
    const char* argv[] = {"partam", "/save=disk", "/filename=C:\\d.bin", "/silent"};
    EXPECT_EQ(RunProgram(platform, 4, argv), 0);
    EXPECT_EQ(platform.TakeOutput(), "100% complete The disk was successfully saved to C:\\d.bin\n");
}

}  // namespace
}  // namespace partam
