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
    for (const auto& [command, failWrite, failRead, readOnly, code] : cases) {
        SCOPED_TRACE(std::string(command) + " " + std::to_string(code));
        Machine m;
        m.platform.AddFile("C:\\b.bin", earlier).readOnly = readOnly;
        m.platform.failWriteCall = failWrite;
        if (failRead != 0) m.drive.failReadAt = {failRead};
        EXPECT_EQ(m.Run(std::string(command) + " /filename=C:\\b.bin"), code);
        const Bytes& saved = m.File("C:\\b.bin");
        const std::size_t size = std::string(command) == "/save=mbr" ? 1024 : 512 + kSectors * 512;
        if (code == 0) {
            EXPECT_EQ(
                Bytes(saved.begin() + 512, saved.end()),
                Bytes(m.drive.data.begin(), m.drive.data.begin() + static_cast<std::ptrdiff_t>(size - 512)));
        } else {
            EXPECT_EQ(saved, earlier);
        }
        EXPECT_EQ(m.platform.FindFile("C:\\b.bin.partam-new"), nullptr);
    }
}

}  // namespace
}  // namespace partam
