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

// A restore that does not fit is refused before anything is written: too
// much for the kind, more than the file holds or the disk, a boot record
// without its backup header (131), or no answer at the prompt. (A head into /restore=mbr,
// a file past the disk's end and one without 55 AA are backups.sh's.)
TEST(BackupBranchesTest, RestoreRefusalsWriteNothing) {
    Bytes header(512, 0);
    header[0] = header[1] = 0x44, header[10] = 6, header[130] = 0xFF;  // a disk of 256 sectors
    Bytes noMbr(512, 0x11);
    const struct {
        const char* line;
        Bytes file;
        int code;
    } cases[] = {
        // clang-format off
        {"/restore=head", Bytes(64 * 512, 0), 560}, {"/restore=mbr", Bytes(700, 0), 560},
        {"/restore=disk", Bytes((kSectors + 1) * 512, 0), 560}, {"/restore=disk", header, 560},
        {"/restore=disk", Bytes(), 560}, {"/restore=vbr /part=1", noMbr, 131},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Machine m;
        m.platform.AddFile("C:\\in.bin", c.file);
        EXPECT_EQ(m.Run(std::string(c.line) + " /filename=C:\\in.bin /confirm"), c.code) << m.output;
        EXPECT_EQ(m.DriveWrites(), 0u);
    }
    Machine m;
    m.platform.AddFile("C:\\in.bin", noMbr);
    m.platform.QueueKeys("n");
    EXPECT_EQ(m.Run("/restore=mbr /filename=C:\\in.bin /ignore"), 129);
    EXPECT_EQ(m.DriveWrites(), 0u);
    m.platform.QueueKeys("y");
    EXPECT_EQ(m.Run("/restore=mbr /filename=C:\\in.bin /ignore"), 0);  // the check is off
    EXPECT_TRUE(std::equal(noMbr.begin(), noMbr.end(), m.drive.data.begin()));
}

// A sector that cannot be read fails a small save and leaves the file that
// was there; with /ignore a zero sector keeps the offsets true. A failed
// write to the disk is recorded and the later transfers are still written;
// a failed write to the backup file fails the large save.
TEST(BackupBranchesTest, FailuresOnTheWay) {
    Machine m;
    m.platform.AddFile("C:\\old.bin", Bytes(3, 7));
    m.drive.failReadAt = {5 * 512};
    EXPECT_EQ(m.Run("/save=head /filename=C:\\old.bin"), 507);
    EXPECT_EQ(m.File("C:\\old.bin"), Bytes(3, 7));
    EXPECT_EQ(m.Run("/save=head /filename=C:\\old.bin /nohdr /ignore"), 0);
    Bytes expected(m.drive.data.begin(), m.drive.data.begin() + 63 * 512);
    std::fill_n(expected.begin() + 5 * 512, 512, 0);
    EXPECT_EQ(m.File("C:\\old.bin"), expected);

    m.drive.failReadAt.clear();
    ASSERT_EQ(m.Run("/save=disk /nohdr /filename=C:\\d.bin"), 0);
    m.drive.failWriteAt = {100 * 512};
    m.platform.writes.clear();
    EXPECT_EQ(m.Run("/restore=disk /filename=C:\\d.bin /confirm"), 505);
    std::vector<std::uint64_t> offsets;
    for (const FakeWrite& w : m.platform.writes)
        if (w.path == DrivePath(0)) offsets.push_back(w.offset / 512);
    EXPECT_EQ(offsets, (std::vector<std::uint64_t>{0, 2048, 4096}));
    EXPECT_NE(m.output.find("\n Sector Count: 5000 \n 0  1  2 \n Error 505: "), std::string::npos)
        << m.output;

    m.platform.AddFile("C:\\full.bin").failWriteAt = {600 * 1024};
    EXPECT_EQ(m.Run("/save=disk /filename=C:\\full.bin"), 507);
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
