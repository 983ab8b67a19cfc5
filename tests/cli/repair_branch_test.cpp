// /repair= run whole against the fake platform: the bytes sector 0 holds
// afterwards, and the refusals that write nothing.
#include <gtest/gtest.h>

#include <sstream>

#include "backup/boot_code.h"
#include "cli/run.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

TEST(RepairBranchTest, WritesTheImageOverTheCodeOnly) {
    const std::string done = "MBR successfully repaired \n";
    const std::string unwritten = "Error 505: Unable to save the specified sectors to the selected disk\n\n";
    const std::string unread = "Error 506: Unable to read the MBR from selected disk\n\n";
    enum Fault { kNone, kWrite, kRead };
    const struct {
        const char* args;
        const BootCodeImage* image;  // none: sector 0 stays as it was
        int code;
        std::string says;
        Fault fault = kNone;
        bool bootMark = true;  // sector 0 ends in 55 AA before
    } cases[] = {
        // The images by name over a table with 55 AA are boot.sh's, which boots them.
        {"/repair=2", &kBootCodeWin7, 0, done},
        // Without 55 AA there is no signature to keep; the table stays all the same.
        {"/repair=2", &kBootCodeWin7, 0, done, kNone, false},
        {"/repair=pt", nullptr, 0, done},  // a table that holds together stays
        {"/repair=4", nullptr, 117, "Error 117: Invalid Parameter: 4\n"},
        {"/repair=abc", nullptr, 117, "Error 117: Invalid Parameter: abc\n"},
        {"/repair=xp", nullptr, 505, unwritten, kWrite},
        {"/repair=xp /ignore", nullptr, 505, unwritten, kWrite},
        {"/repair=xp /ignore", nullptr, 506, unread, kRead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        FakePlatform platform;
        FakeFile& drive = platform.AddDrive(0, 4096);
        test::Bytes before =
            test::MakeMbr({{0, 0x07, 63, 1000}, {0x80, 0x0C, 2048, 2048}}, 0x12345678, c.bootMark);
        std::fill_n(before.begin(), 440, 0x90);
        before[444] = 0xAB;
        before[445] = 0xCD;
        test::PutSector(drive.data, 0, before);
        if (c.fault == kWrite) drive.failWriteAt = {0};
        if (c.fault == kRead) drive.failReadAt = {0};
        std::vector<std::string> words{"partam", "/silent", "/confirm"};
        std::istringstream line(c.args);
        for (std::string w; line >> w;) words.push_back(w);
        std::vector<const char*> argv;
        for (const std::string& w : words) argv.push_back(w.c_str());
        EXPECT_EQ(RunProgram(platform, static_cast<int>(argv.size()), argv.data()), c.code);
        EXPECT_EQ(platform.TakeOutput(), " " + c.says);
        test::Bytes want = before;
        if (c.image) {
            std::copy_n(c.image->begin(), 440, want.begin());
            if (!c.bootMark) std::fill_n(want.begin() + 440, 4, 0);
            want[444] = want[445] = 0;
            want[510] = 0x55;
            want[511] = 0xAA;
            // Its first bytes, 33 C0, make the disk read as an MBR with boot code.
            EXPECT_EQ(mDisk(platform, 0, false).Kind(), TableKind::Mbr);
        }
        EXPECT_TRUE(std::equal(want.begin(), want.end(), drive.data.begin()))
            << test::DiffSectors(want, drive.data, 0);
    }
}

// A table found inconsistent (here an EBR chain that loops) gets the
// partitions the system sees in the slots it leaves free, once each.
TEST(RepairBranchTest, RebuildsAnInconsistentTableFromTheSystemsView) {
    FakePlatform platform;
    FakeFile& drive = platform.AddDrive(0, 300000);
    test::PutSector(drive.data, 0, test::MakeMbr({{0, 0x0F, 2048, 8192}}));
    test::PutSector(drive.data, 2048, test::MakeMbr({{0, 0x83, 63, 100}, {0, 0x05, 0, 100}}, 0, true, false));
    drive.layoutEx = DriveLayoutAnswer{0x12345678,
                                       {{true, 0x0F, 2048 * 512, 8192 * 512, 0, 2048, false},
                                        {true, 0x07, 100000 * 512, 50000 * 512, 2, 100000, true}}};
    const char* argv[] = {"partam", "/repair=pt", "/ignore", "/silent"};
    EXPECT_EQ(RunProgram(platform, 4, argv), 0);
    test::Bytes want = test::MakeMbr({{0, 0x0F, 2048, 8192}, {0x80, 0x07, 100000, 50000}});
    EXPECT_EQ("", test::DiffSectors(want, drive.data, 0));
}

}  // namespace
}  // namespace partam
