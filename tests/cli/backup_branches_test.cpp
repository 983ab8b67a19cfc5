// Save, restore and show run whole against the fake platform: what reaches
// the drive and the files, and what is refused before anything does.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/run.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;

constexpr std::uint64_t kSectors = 5000;  // three transfers of 2048 sectors at most

// Sector n of the drive holds the byte n % 251 + 1, but for an MBR with an
// NTFS partition at 2048 and a FAT32 one at 4000.
Bytes Pattern() {
    Bytes image(kSectors * 512);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i / 512 % 251 + 1);
    test::PutSector(image, 0, test::MakeMbr({{0x80, 0x07, 2048, 1000}, {0, 0x0B, 4000, 1000}}));
    return image;
}

struct Machine {
    FakePlatform platform;
    FakeFile& drive = platform.AddDrive(0, kSectors);
    Machine() { drive.data = Pattern(); }

    int Run(const std::string& line) {
        std::istringstream words(line);
        std::vector<std::string> args{"partam"};
        for (std::string w; words >> w;) args.push_back(w);
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        const int code = RunProgram(platform, static_cast<int>(argv.size()), argv.data());
        output = platform.TakeOutput();
        return code;
    }
    const Bytes& File(const std::string& path) { return platform.FindFile(path)->data; }
    std::size_t DriveWrites() const {
        std::size_t n = 0;
        for (const FakeWrite& w : platform.writes) n += w.path == DrivePath(0);
        return n;
    }
    std::string output;
};

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
