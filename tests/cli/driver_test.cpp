#include "cli/driver.h"

#include <gtest/gtest.h>

#include "cli/elevation.h"
#include "program_runner.h"

namespace partam {
namespace {

using test::AddMbrDrive;
using test::kBanner;
using test::RunWith;

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        AddMbrDrive(platform, 0, {{0x00, 0x07, 2048, 4096}, {0x80, 0x0C, 6144, 4096}});
        AddMbrDrive(platform, 2,
                    {{0x00, 0x07, 2048, 2048}, {0x00, 0x12, 4096, 1024}, {0x80, 0x06, 8192, 1024}});
    }
    FakePlatform platform;
};

TEST_F(DriverTest, InvalidSwitchShowsBannerAndItsLine) {
    const auto run = RunWith(platform, {"/bogus"});
    EXPECT_EQ(run.exitCode, 105);
    EXPECT_EQ(run.output, kBanner + "\n Error 105: Invalid or incomplete switch: /bogus\n");
}

TEST_F(DriverTest, FirstErrorWins) {
    platform.elevation = {true, false};
    const auto run = RunWith(platform, {"/bogus"});
    EXPECT_EQ(run.exitCode, 136);
    EXPECT_EQ(run.output,
              kBanner +
                  "Error 136: Partamer is unable to access the disk(s) with current permissions,\n"
                  "          please restart as Administrator.\n");
}

struct RightsCase {
    OsVersion version;
    Elevation elevation;
    bool refused;
};

TEST_F(DriverTest, ElevationCheck) {
    const RightsCase cases[] = {
        {{true, 2, 10, 0, true}, {true, true}, false},   {{true, 2, 6, 0, true}, {true, false}, true},
        {{true, 2, 5, 1, true}, {true, false}, false},  // XP separates no rights
        {{true, 1, 6, 0, false}, {true, false}, false},  {{false, 2, 10, 0, true}, {true, false}, false},
        {{true, 2, 10, 0, true}, {false, false}, false},  // unknown: the drives tell
    };
    for (const RightsCase& c : cases) {
        platform.version = c.version;
        platform.elevation = c.elevation;
        EXPECT_EQ(HasDiskRights(platform), !c.refused) << c.version.major;
        // The refusal stops the command, but the disk count still answers.
        const auto run = RunWith(platform, {"/diskcount"});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.output.find("Error 136") != std::string::npos, c.refused);
    }
}

TEST_F(DriverTest, ShutdownModesGiveTheirFlags) {
    const std::pair<int, std::uint32_t> cases[] = {{1, 5}, {2, 6}, {3, 1}, {4, 2}, {0, 0}, {5, 0}, {-1, 0}};
    for (const auto& [mode, flags] : cases) {
        platform.shutdownCalls.clear();
        EXPECT_EQ(ShutdownFlags(mode), flags);
        EXPECT_EQ(ShutdownSystem(platform, mode), flags != 0);
        EXPECT_EQ(platform.shutdownCalls,
                  flags ? std::vector<std::uint32_t>{flags} : std::vector<std::uint32_t>{});
    }
}

struct ExitCase {
    std::vector<std::string> args;
    int exitCode;
    std::string output;  // after the banner
};

TEST_F(DriverTest, ExitCodesAndResultLine) {
    const ExitCase cases[] = {
        {{"/diskcount"}, 2, "\n"},
        {{"/diskcount", "/bogus"}, 105, "\n Error 105: Invalid or incomplete switch: /bogus\n"},
        {{"/partcount"}, 2, "\n"},
        {{"/partcount", "/disk=1"}, 3, "\n"},
        {{"/isfixed"}, 1, "\n"},
        {{"/status", "/disk=5"}, -511, "\n Error 511: Invalid Disk selected\n\n"},
        {{"/status", "/bogus"}, -105, "\n Error 105: Invalid or incomplete switch: /bogus\n"},
        {{"/diskcount", "/result"}, 2, "\n\n Result: 2\n"},
        {{"/tablist", "/disk=*", "/result"},
         128,
         "\n Error 128: All Disks command not allowed with this operation\n\n Result: 128\n"},
        {{"/diskcount", "/msg=1", "/result"}, 2, "\n\n Result: 2\n"},
        {{"/tablist", "/disk=*", "/msg=3"}, 128, "\n"},
    };
    for (const ExitCase& c : cases) {
        const auto run = RunWith(platform, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << " " << c.args[1 % c.args.size()];
        EXPECT_EQ(run.output, kBanner + c.output) << c.args[0] << " " << c.args[1 % c.args.size()];
    }
}

TEST_F(DriverTest, SilentResultPrintsOnlyTheNumber) {
    EXPECT_EQ(RunWith(platform, {"/silent", "/result", "/diskcount"}).output, "\n2\n");
    EXPECT_EQ(RunWith(platform, {"/silent", "/result", "/tablist", "/disk=*"}).output,
              " Error 128: All Disks command not allowed with this operation\n\n128\n");
}

TEST_F(DriverTest, RemovableDiskIsNotFixed) {
    platform.FindFile(DrivePath(0))->geometry->mediaType = 11;
    EXPECT_EQ(RunWith(platform, {"/isfixed"}).exitCode, 0);
    EXPECT_EQ(RunWith(platform, {"/isfixed", "/disk=1"}).exitCode, 1);
}

TEST_F(DriverTest, NoArgumentsAndNoOptionsFile) {
    platform.QueueKeys("k");
    const auto run = RunWith(platform, {});
    EXPECT_EQ(run.exitCode, 102);
    EXPECT_EQ(
        run.output.rfind(kBanner + "\n Error 102: No command line parameters specified \n\n  Partamer", 0),
        0u);
    EXPECT_EQ(run.output.substr(run.output.size() - 30), "  Press any key to exit . . .\n");
    EXPECT_EQ(platform.keysRead, 1);
}

TEST_F(DriverTest, OptionsFileStandsInForAnEmptyCommandLine) {
    const std::string text = "  /partcount\r\n\t/disk=1 \n";
    platform.AddFile(platform.programFolder + "partam.opt", test::Bytes(text.begin(), text.end()));
    const auto run = RunWith(platform, {});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.output, kBanner + "\n");
}

TEST_F(DriverTest, ShutdownWithoutCommandRestartsWithoutHelp) {
    const auto run = RunWith(platform, {"/shutdown=2"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, kBanner);
    EXPECT_EQ(platform.shutdownCalls, std::vector<std::uint32_t>{6});
}

TEST_F(DriverTest, ShutdownOnlyAfterSuccessOrWithIgnore) {
    auto run = RunWith(platform, {"/tablist", "/disk=*", "/shutdown=1"});
    EXPECT_EQ(run.exitCode, 128);
    EXPECT_EQ(run.output, kBanner +
                              "\n Error 128: All Disks command not allowed with this operation\n"
                              " Shutdown aborted due to previous error!\n");
    EXPECT_TRUE(platform.shutdownCalls.empty());

    run = RunWith(platform, {"/tablist", "/disk=*", "/shutdown=1", "/ignore"});
    EXPECT_EQ(run.exitCode, 128);
    EXPECT_EQ(run.output.find("Shutdown aborted"), std::string::npos);
    EXPECT_EQ(platform.shutdownCalls, std::vector<std::uint32_t>{5});

    platform.shutdownCalls.clear();
    run = RunWith(platform, {"/bogus", "/shutdown=3"});
    EXPECT_EQ(run.exitCode, 105);
    EXPECT_TRUE(platform.shutdownCalls.empty());
}

TEST_F(DriverTest, DebugTraceOfTheRun) {
    const auto run = RunWith(platform, {"/diskcount", "/debug", "/silent"});
    EXPECT_EQ(run.output,
              // The trace starts with the switch that turns it on.
              "\nDebug: 39 /debug \nDebug: 39 /silent "
              "\nDebug: 01 DoIt \nDebug: 00 StartDoingIt \nDebug: 02 Diskcount "
              "\nDebug: 00 ProcessSwitches2 \nDebug: 00 Go2 \nDebug: 00 Disk \nDebug: 01 Partition "
              "\nDebug: 00 Sector \nDebug: 39 Op \nDebug: 00 ShowMessages \nDebug: 00 FinishedDoingIt ");
}

// The volume switches, observed through the prompt of a hide that is then
// cancelled: it names the disk and partition they resolved to.
struct VolumeCase {
    std::vector<std::string> args;
    int exitCode;
    std::string output;
};

TEST_F(DriverTest, VolumeResolution) {
    platform.env["systemdrive"] = "C:";
    const VolumeCase cases[] = {
        {{"/hide", "/part=boot"},
         129,
         "\n Preparing to Hide partition 2 on disk 0, are you sure? (Y/N): n\n\n"},
        {{"/hide", "/part=diag"},
         129,
         "\n Preparing to Hide partition 2 on disk 1, are you sure? (Y/N): n\n\n"},
        {{"/hide", "/part=system"}, 144, ""},
        {{"/hide", "/vol=DATA"}, 147, ""},
        {{"/hide", "/vol=e:"}, 148, ""},
    };
    const char* lines[] = {"", "", " Error 144: Unable to locate the System partition \n",
                           " Error 147: Unable to locate the specifed partition: 'DATA' \n",
                           " Error 148: Unable to locate the partition assigned to drive letter: e: \n"};
    int i = 0;
    for (const VolumeCase& c : cases) {
        platform.QueueKeys("n");
        const auto run = RunWith(platform, c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[1];
        const std::string closing = c.exitCode == 129 ? " Error 129: User cancelled process\n" : lines[i];
        EXPECT_EQ(run.output, kBanner + c.output + "\n" + closing) << c.args[1];
        ++i;
    }
}

TEST_F(DriverTest, VolumeKindsWithoutTextFindNothing) {
    RunContext run(platform);
    int disk = -1, part = -1;
    EXPECT_FALSE(ResolveVolume(run, VolumeKind::System, std::nullopt, disk, part));
    EXPECT_FALSE(ResolveVolume(run, VolumeKind::Label, std::string(), disk, part));
    EXPECT_TRUE(ResolveVolume(run, VolumeKind::Boot, std::nullopt, disk, part));
    EXPECT_EQ(disk, 0);
    EXPECT_EQ(part, 2);
}

}  // namespace
}  // namespace partam
