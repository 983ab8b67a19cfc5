// The reports run whole where only the fake system reaches: a volume label
// (Linux has none), a report file whose write fails, and the system told of
// the table the boot menu wrote. The files and menus on images are the
// program tests'.
#include <gtest/gtest.h>

#include <string>

#include "cli/driver.h"
#include "report/ini_report.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

TEST(IniReportTest, HundredthsRoundAHalfUpAndCarry) {
    const std::tuple<std::uint64_t, unsigned, const char*> cases[] = {
        {0, 20, "0.00"},          {1179648, 20, "1.13"},  // 1.125 exactly
        {1179647, 20, "1.12"},    {1048575, 20, "1.00"},  // carries into the whole
        {5242880, 20, "5.00"},    {1, 40, "0.00"},
        {~std::uint64_t{0}, 40, "16777216.00"},
    };
    for (const auto& [bytes, shift, text] : cases) EXPECT_EQ(Hundredths(bytes, shift), text) << bytes;
}

// Disk 0: an active NTFS partition under C:, whose label is long, and a FAT
// one without a letter.
int RunOnMachine(FakePlatform& platform, const char* line) {
    test::PutSector(platform.AddDrive(0, 12288).data, 0,
                    test::MakeMbr({{0x80, 0x07, 2048, 4096}, {0, 0x0C, 6144, 4096}}, 0x11111111));
    platform.driveRoots = {"C:\\"};
    platform.volumeNames["C:\\"] = "\\\\?\\Volume{c}\\";
    platform.volumeLabels["C:\\"] = "A LONG VOLUME LABEL";
    std::vector<std::uint8_t> key(4, 0x11);
    for (int i = 0; i < 8; ++i) key.push_back(static_cast<std::uint8_t>((std::uint64_t{2048} * 512) >> (8 * i)));
    platform.SetRegistryBytes("SYSTEM\\MountedDevices", "\\??\\Volume{c}", key);
    const char* argv[] = {"partam", line};
    return RunProgram(platform, 2, argv);
}

TEST(ReportRunsTest, TheLabelIsAKeyOnlyWhereThereIsOne) {
    FakePlatform platform;
    ASSERT_EQ(RunOnMachine(platform, "/writeini=D:\\r.ini"), 0);
    const std::vector<std::uint8_t>& data = platform.FindFile("D:\\r.ini")->data;
    const std::string ini(data.begin(), data.end());
    EXPECT_NE(ini.find("\r\nVolumeID=\r\nVolLabel=A LONG VOLUME LABEL\r\nLBAStart=2048\r\n"), std::string::npos);
    EXPECT_NE(ini.find("\r\nVolumeID=\r\nLBAStart=6144\r\n"), std::string::npos);
}

TEST(ReportRunsTest, AReportThatCouldNotBeWrittenWholeIsAFailure) {
    FakePlatform platform;
    platform.AddFile("D:\\r.ini").failWriteAt = {300};
    EXPECT_EQ(RunOnMachine(platform, "/writeini=D:\\r.ini"), 104);
    EXPECT_NE(platform.output.find(" Error 104: Unable to write MBR information to file D:\\r.ini.\n"),
              std::string::npos);
}

// A long label widens its row; the table written is told to the system.
TEST(ReportRunsTest, TheBootMenuShowsLabelsWholeAndFinishesItsWrite) {
    FakePlatform platform;
    platform.QueueLine("2");
    EXPECT_EQ(RunOnMachine(platform, "/bootmenu"), 0);
    EXPECT_NE(platform.output.find("\n  1  A LONG VOLUME LABEL C: 07-NTFS    2.0M   Yes     No            2,048"
                                   "\n  2  <None>          0C-FAT32X  2.0M   No      No            6,144"),
              std::string::npos)
        << platform.output;
    const std::vector<std::uint8_t>& disk = platform.FindFile(DrivePath(0))->data;
    EXPECT_EQ(std::vector<int>({disk[446], disk[462]}), std::vector<int>({0x00, 0x80}));
    EXPECT_EQ(platform.announced, std::vector<std::string>{DrivePath(0)});
}

}  // namespace
}  // namespace partam
