// The program run whole against a FakePlatform: the driver, the executor's
// shared checks and prompts, the help page and the exit values.
#include "cli/driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/result_codes.h"
#include "cli/branches.h"
#include "cli/commands.h"
#include "cli/elevation.h"
#include "cli/executor.h"
#include "cli/switches.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

#ifdef _WIN32
const std::string kBanner =
    "\n Partam - Version 3.0.46 beta  for Windows\n  Partition tables at the sector level\n";
#else
const std::string kBanner =
    "\n Partam - Version 3.0.46 beta  for Linux\n  Partition tables at the sector level\n";
#endif

// The help page, exactly, is the program tests' (basics.sh); here only that
// it came whole past its pause.
const std::string kHelpPage = "<help>";
const std::string kNoParameters =
    "\n Error 102: No command line parameters specified \n"
    "\n  Partamer is a command line application, but no command line parameters\n"
    "  were specified. Please make certain to start Partamer from a command\n"
    "  prompt.  For example, the following will display available app options:\n\n"
    "  partam /?\n\n"
    "  Press any key to exit . . .\n";

// Disk 0 (drive 0) holds two partitions, the second active; disk 1 (drive 2)
// three, the second a utility partition. An options file outside the
// program's folder must never be read.
void SetUpMachine(FakePlatform& platform) {
    test::PutSector(platform.AddDrive(0, 12288).data, 0,
                    test::MakeMbr({{0x00, 0x07, 2048, 4096}, {0x80, 0x0C, 6144, 4096}}, 0x11111111));
    test::PutSector(
        platform.AddDrive(2, 12288).data, 0,
        test::MakeMbr({{0, 0x07, 2048, 2048}, {0, 0x12, 4096, 1024}, {0x80, 0x06, 8192, 1024}}, 0x22222222));
    // C: is disk 0's second partition (by signature and offset), E: disk 1's
    // first; F: lies on no disk of the machine.
    const std::tuple<char, std::uint8_t, std::uint64_t> letters[] = {
        {'C', 0x11, 6144}, {'E', 0x22, 2048}, {'F', 0x33, 2048}};
    for (const auto& [letter, signature, start] : letters) {
        const std::string root = std::string(1, letter) + ":\\";
        platform.driveRoots.push_back(root);
        platform.volumeNames[root] = std::string("\\\\?\\Volume{") + letter + "}\\";
        std::vector<std::uint8_t> key(4, signature);
        for (int i = 0; i < 8; ++i) key.push_back(static_cast<std::uint8_t>((start * 512) >> (8 * i)));
        platform.SetRegistryBytes("SYSTEM\\MountedDevices", std::string("\\??\\Volume{") + letter + "}", key);
    }
    platform.env["systemdrive"] = "C:";
    platform.programFolder = "D:\\bin\\";
    platform.AddFile("C:\\Tools\\partam.opt", {'/', 'd', 'e', 'l'});
}

// The argv of a command line of space-separated arguments, kept in storage.
std::vector<const char*> Argv(const std::string& line, std::vector<std::string>& storage) {
    std::istringstream words(line);
    storage = {"C:\\Tools\\partam.exe"};
    for (std::string w; words >> w;) storage.push_back(w);
    std::vector<const char*> argv;
    for (const std::string& a : storage) argv.push_back(a.c_str());
    return argv;
}

std::pair<int, std::string> RunLine(FakePlatform& platform, const std::string& line) {
    std::vector<std::string> storage;
    const std::vector<const char*> argv = Argv(line, storage);
    const int code = RunProgram(platform, static_cast<int>(argv.size()), argv.data());
    return {code, platform.TakeOutput()};
}

std::string Line(int code, const char* text) {
    return "\n Error " + std::to_string(code) + ": " + text + "\n";
}
std::string Asked(const std::string& action, const char* key) {
    return "\n Preparing to " + action + ", are you sure? (Y/N): " + key + "\n\n";
}
std::string Cancelled(const std::string& action, const char* key = "n") {
    return Asked(action, key) + "\n Error 129: User cancelled process\n";
}
const std::string k105 = Line(105, "Invalid or incomplete switch: /bogus");
const std::string k128 = Line(128, "All Disks command not allowed with this operation");
const std::string kAborted = " Shutdown aborted due to previous error!\n";
const std::string kSorted = "\n Partition entries already sorted. No changes have been made.\n";

// The indexes of the disks a listing shows, in order.
std::string DisksListed(const std::string& listing) {
    std::string disks;
    for (std::size_t at = 0; (at = listing.find("Disk: ", at)) != std::string::npos; at += 6)
        disks += listing[at + 6];
    return disks;
}

// A whole run: the command line ("@text": none, with text in partam.opt of the program's folder), the keys
// typed at the console (then input is closed), the exit code, the flags of the one shutdown call (0 for
// none) and the output after the banner (which /silent drops). The runs the program tests make on images
// (help, listings, /diskcount, refused switches and disks) are theirs.
using RunCase = std::tuple<const char*, const char*, int, std::uint32_t, std::string>;

// Every run here leaves the drives as they were, but for the safety copies.
const RunCase kRuns[] = {
    // clang-format off
    {"/?", "xz", 0, 0, kHelpPage},  // one hidden key pauses the page
    {"@  \t\r\n\n  \n", "", 102, 0, kNoParameters}, {"@  /partcount\r\n\t/disk=1 \n", "", 3, 0, "\n"},
    {"@/bogus", "", 105, 0, "\n" + k105}, {"/diskcount /bogus", "", 105, 0, k105},
    {"/status /disk=5", "", -511, 0, "\n Error 511: Invalid Disk selected\n\n"},
    {"/tablist /disk=* /msg=3", "", 128, 0, "\n"}, {"/diskcount /msg=1 /result", "", 2, 0, "\n\n Result: 2\n"},
    {"/tablist /disk=* /result", "", 128, 0, k128 + "\n Result: 128\n"}, {"/diskcount /silent", "", 2, 0, ""},
    {"/silent /result /tablist /disk=*", "", 128, 0, k128.substr(1) + "\n128\n"},
    {"/diskcount /debug /silent", "", 2, 0,  // the trace starts with the switch that turns it on
     "\nDebug: 39 /debug \nDebug: 39 /silent \nDebug: 01 DoIt \nDebug: 00 StartDoingIt \nDebug: 02 Diskcount "
     "\nDebug: 00 ProcessSwitches2 \nDebug: 00 Go2 \nDebug: 00 Disk \nDebug: 01 Partition "
     "\nDebug: 00 Sector \nDebug: 39 Op \nDebug: 00 ShowMessages \nDebug: 00 FinishedDoingIt "},
    {"/partcount /disk=1 /part=7", "", 3, 0, Line(106, "Invalid Partition specified.")},
    {"/shutdown=18446744073709551617", "", 105, 0,
     Line(105, "Invalid or incomplete switch: /shutdown=18446744073709551617")},
    // Shutdown only after success or under /ignore; without a command it just restarts.
    {"/shutdown=2", "", 0, 6, ""}, {"/shutdown=3", "", 0, 1, ""}, {"/shutdown=4", "", 0, 2, ""},
    {"/shutdown=5", "", 0, 0, ""}, {"/tablist /disk=* /shutdown=1", "", 128, 0, k128 + kAborted},
    {"/tablist /disk=* /shutdown=1 /ignore", "", 128, 5, k128},
    {"/bogus /shutdown=3", "", 105, 0, k105 + kAborted},
    // Volume switches, seen in the prompt that names what they resolved to.
    {"/hide /part=boot", "n", 129, 0, Cancelled("Hide partition 2 on disk 0")},
    {"/hide /part=diag", "n", 129, 0, Cancelled("Hide partition 2 on disk 1")},
    {"/hide /part=system", "n", 129, 0, Cancelled("Hide partition 2 on disk 0")},
    {"/hide /vol=e:", "n", 129, 0, Cancelled("Hide partition 1 on disk 1")},
    {"/hide /vol=DATA", "", 147, 0, Line(147, "Unable to locate the specifed partition: 'DATA' ")},
    {"/hide /vol=f:", "", 148, 0, Line(148, "Unable to locate the partition assigned to drive letter: f: ")},
    // The checks every command shares refuse before anything is asked.
    {"/hide /part=3", "", 106, 0, Line(106, "Invalid Partition specified.")},
    {"/unhide /disk=* /part=*", "", 128, 0, k128},
    {"/create=x /part=*", "", 127, 0, Line(127, "All Partitions command not allowed with this operation")},
    {"/wipe=bogus", "", 117, 0, Line(117, "Invalid Parameter: /wipe=bogus")},
    {"/copy /target=5", "", 122, 0, Line(122, "Missing or invalid /Source=x command, required with /copy")},
    {"/copy /source=1", "", 109, 0, Line(109, "Missing or invalid /Target=x command, required with copy")},
    // What passes them is asked about: only "y" goes on; closed input cancels.
    {"/del /part=9", "n", 129, 0, Cancelled("delete partition 9 on disk 0")},
    {"/del /part=* /disk=1", "N", 129, 0, Cancelled("delete all partitions on disk 1", "N")},
    {"/hide /disk=* /part=*", "x", 129, 0, Cancelled("Hide all partitions on disk 0", "x")},
    {"/copy /source=1 /target=5", "\n", 129, 0, Cancelled("copy the selected sectors", "\n")},
    {"/type=0c /part=2 /disk=0", "n", 129, 0, Cancelled("change the type of disk 0:Part 2 to 0c")},
    {"/wipe=mbr", "", 129, 0, Cancelled("wipe the MBR", "")},
    {"/sort", "y", 125, 0, Asked("sort the MBR entries on disk 0", "y") + kSorted},
    {"/status=255", "Y", 116, 0, Line(116, "Status must be between 0 and 254")},
    // clang-format on
};

TEST(DriverTest, Runs) {
    for (const auto& [line, keys, exitCode, shutdownFlags, expected] : kRuns) {
        SCOPED_TRACE(line);
        FakePlatform platform, fresh;
        SetUpMachine(platform);
        SetUpMachine(fresh);
        const std::string text = line;
        const bool optionsFile = text.starts_with("@");
        if (optionsFile) platform.AddFile("D:\\bin\\partam.opt", test::Bytes(text.begin() + 1, text.end()));
        platform.QueueKeys(keys);
        const auto [code, output] = RunLine(platform, optionsFile ? "" : text);
        EXPECT_EQ(code, exitCode);
        if (expected == kHelpPage)
            EXPECT_TRUE(output.find(" \n Usage: Partam /command") != std::string::npos &&
                        output.ends_with("All funtions return 0 on success, > 0 on error\n"))
                << output;
        else
            EXPECT_EQ(output, (text.find("/silent") != std::string::npos ? "" : kBanner) + expected);
        EXPECT_LE(platform.keysRead, 1);
        EXPECT_EQ(platform.shutdownCalls, std::vector<std::uint32_t>(shutdownFlags != 0, shutdownFlags));
        // Nothing is written but the safety copy of sector 0 to sector 30.
        for (int d : {0, 2}) {
            test::Bytes expectedDrive = fresh.FindFile(DrivePath(d))->data;
            const test::Bytes& drive = platform.FindFile(DrivePath(d))->data;
            if (!std::equal(drive.begin() + 30 * 512, drive.begin() + 31 * 512,
                            expectedDrive.begin() + 30 * 512))
                std::copy_n(expectedDrive.begin(), 512, expectedDrive.begin() + 30 * 512);
            EXPECT_TRUE(drive == expectedDrive) << d;
        }
    }
}

TEST(DriverTest, RightsRemovableDisksLabelsAndRefusals) {
    FakePlatform platform;
    SetUpMachine(platform);
    // Allowed: elevated; XP, which separates no rights; not NT; an unknown version; an unknown token
    // (the drives tell). The last is refused: the first error, yet the disk count still answers.
    // clang-format off
    const std::pair<OsVersion, Elevation> rights[] = {
        {{true, 2, 10, 0, true}, {true, true}}, {{true, 2, 5, 1, true}, {true, false}},
        {{true, 1, 6, 0, false}, {true, false}}, {{false, 2, 10, 0, true}, {true, false}},
        {{true, 2, 10, 0, true}, {false, false}}, {{true, 2, 6, 0, true}, {true, false}}};
    // clang-format on
    for (const auto& [version, elevation] : rights) {
        std::tie(platform.version, platform.elevation) = std::tie(version, elevation);
        EXPECT_EQ(HasDiskRights(platform), &version != &rights[5].first) << version.major;
    }
    const std::string refused =
        "Error 136: Partamer is unable to access the disk(s) with current permissions,\n"
        "          please restart as Administrator.\n";
    EXPECT_EQ(RunLine(platform, "/bogus"), std::make_pair(136, kBanner + refused));
    EXPECT_EQ(RunLine(platform, "/diskcount"), std::make_pair(2, kBanner + "\n" + refused));
    platform.elevation = {true, true};
    // A removable disk 0 is not fixed; disk 1 still is.
    platform.FindFile(DrivePath(0))->geometry->mediaType = 11;
    EXPECT_EQ(RunLine(platform, "/isfixed").first, 0);
    EXPECT_EQ(RunLine(platform, "/isfixed /disk=1").first, 1);
    platform.env.erase("systemdrive");  // no system drive named: none found
    EXPECT_EQ(RunLine(platform, "/hide /part=system"),
              std::make_pair(144, kBanner + Line(144, "Unable to locate the System partition ")));
    RunContext run(platform);  // a label needs its text
    int disk = -1, part = -1;
    EXPECT_FALSE(ResolveVolume(run, VolumeKind::Label, std::string(), disk, part));
    // The first refusal a branch throws is the result.
    for (const MBRERRORS refusal : {kStartAssigned, kTableFull})
        RunCatchingRefusals(run, CommandId::Create, [refusal] { throw refusal; });
    EXPECT_EQ(run.options.result, 137);
}

// The prompt's action for a parsed command line on disk 1, real or virtual:
// the texts a real disk's runs ask are the whole runs' above; here the
// virtual disk's, user text that looks like a format, and commands that
// ask nothing.
TEST(ExecutorTest, ActionTextsOfThePrompt) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        // clang-format off
        {"/inactive /part=3", true, "set the virtual disk partition 3 inactive"},
        {"/unhide /part=2", true, "unhide virtual disk partition 2"},
        {"/type=7%s /part=2", false, "change the type of disk 1:Part 2 to 7%s"},  // text, not a format
        {"/repair=pt", false, ""}, {"/save=mbr", false, ""}, {"/create=1", false, ""}, {"/bootmenu", false, ""},
        // clang-format on
    };
    FakePlatform platform;
    for (const auto& [line, isVirtual, action] : cases) {
        RunContext run(platform);
        std::vector<std::string> storage;
        const std::vector<const char*> argv = Argv(line, storage);
        ParseCommandLine(run, static_cast<int>(argv.size()), argv.data());
        const CommandRow& row = CommandRowOf(run.options.command);
        const std::string asked = row.prompt ? row.prompt(PromptFacts{run.options, 1, isVirtual}) : "";
        EXPECT_EQ(asked, action) << line;
        // What asks is what changes a disk.
        EXPECT_TRUE(asked.empty() || row.effect != DiskEffect::ReadsOnly) << line;
    }
}

// A disk 0 of 4,096-byte sectors stops every command that selects it (515),
// and one another program writes stops every command that writes (505),
// each said once on standard error; neither is read or written. A command about
// every disk leaves such a disk out. Only a command that writes opens a
// drive to write it.
TEST(ExecutorTest, DisksThatMayNotBeUsedStopEveryCommandOnThem) {
    const std::string large =
        "partam: disk 0 has 4096-byte sectors; only disks of 512-byte sectors are used\n";
    const std::string held = "partam: disk 0 is in use: another program is writing to it\n";
    for (const CommandRow& row : CommandRows()) {
        for (const bool largeSectors : {true, false}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(row.id)) + (largeSectors ? " large" : " held"));
            FakePlatform platform;
            SetUpMachine(platform);
            FakeFile& drive = *platform.FindFile(DrivePath(0));
            drive.geometry->bytesPerSector = largeSectors ? 4096 : 512;
            drive.heldByOtherWriter = !largeSectors;
            RunContext run(platform);
            run.options.command = row.id;
            run.options.autoConfirm = 1;
            const bool writes = EffectOf(run.options) != DiskEffect::ReadsOnly;
            run.disk = std::make_unique<mDisk>(platform, -1, StandardTableReaders(), VirtualDiskOpener{},
                                               writes ? DriveAccess::Write : DriveAccess::Read);
            run.sizeFormatter = std::make_unique<SizeFormatter>(platform);
            ProcessSwitches2(run);
            RunAfterFrame(run);
            const bool stopped = largeSectors ? !row.everyDisk : writes;
            EXPECT_EQ(run.options.result == (largeSectors ? 515 : 505), stopped) << run.options.result;
            EXPECT_EQ(platform.errorOutput, largeSectors ? large : writes ? held : "");
            EXPECT_TRUE(std::none_of(platform.writes.begin(), platform.writes.end(),
                                     [](const FakeWrite& w) { return w.path == DrivePath(0); }));
            // Refused or left out before any of its sectors is read.
            EXPECT_TRUE(!(largeSectors || writes) ||
                        std::none_of(platform.reads.begin(), platform.reads.end(),
                                     [](const FakeRead& r) { return r.path == DrivePath(0); }));
            EXPECT_EQ(drive.writerOpens > 0, writes);
        }
    }
    // The listing of every disk shows the others.
    FakePlatform platform;
    SetUpMachine(platform);
    platform.FindFile(DrivePath(0))->geometry->bytesPerSector = 4096;
    const auto [code, listing] = RunLine(platform, "/list");
    EXPECT_EQ(std::tuple(code, DisksListed(listing), platform.errorOutput),
              std::tuple(0, std::string("1"), large));
}

// A command that only reads loads each disk once, however often it moves
// between them: no sector of a drive is read twice in the run, and a GPT
// partition's first sectors are read in one transfer. Disk 0 holds an MBR
// with a chain of two logical partitions, disk 1 a GPT. (/verify reads the
// tables again, its own way, on purpose; a report reads its volumes' boot
// sectors for itself.)
TEST(DriverTest, ACommandThatReadsReadsEachSectorOnce) {
    for (const char* line : {"/list", "/list /disk=*", "/tablist", "/info /disk=1", "/list /json /freespace",
                             "/partcount /disk=1"}) {
        SCOPED_TRACE(line);
        FakePlatform platform;
        test::Bytes& mbr = platform.AddDrive(0, 12288).data;
        test::PutSector(mbr, 0, test::MakeMbr({{0x80, 0x07, 2048, 2048}, {0, 0x0F, 4096, 8192}}));
        test::PutSector(mbr, 4096,
                        test::MakeMbr({{0, 0x07, 63, 1000}, {0, 0x05, 2048, 2048}}, 0, true, false));
        test::PutSector(mbr, 6144, test::MakeMbr({{0, 0x0B, 63, 1000}}, 0, true, false));
        platform.AddDrive(1, 12288).data =
            test::MakeGpt(12288, {{test::kBasicDataType, 2048, 4095}, {test::kBasicDataType, 4096, 8191}});
        RunLine(platform, line);
        std::map<std::pair<std::string, std::uint64_t>, int> times;
        for (const FakeRead& r : platform.reads)
            if (r.path.starts_with("\\\\.\\"))
                for (std::uint64_t at = r.offset; at < r.offset + r.count; at += 512)
                    ++times[{r.path, at / 512}];
        for (const auto& [sector, n] : times) EXPECT_EQ(n, 1) << sector.first << " sector " << sector.second;
        EXPECT_EQ(
            std::count_if(platform.reads.begin(), platform.reads.end(),
                          [](const FakeRead& r) { return r.path == DrivePath(1) && r.offset == 2049 * 512; }),
            0);
    }
}

// What the disk object found on a disk the command does not ask about does
// not decide the run: disk 0 holds a corrupt table, disk 1 none at all.
TEST(DriverTest, TheTargetDiskDecides) {
    const auto machine = [](FakePlatform& platform) {
        test::PutSector(platform.AddDrive(0, 12288).data, 0,
                        test::MakeMbr({{0, 0x72, 1, 1}, {0, 0x65, 2, 1}, {0, 0x79, 3, 1}, {0, 0x0D, 4, 1}}));
        platform.AddDrive(1, 12288);
    };
    const std::string e513 = "\n Error 513: Partition table is corrupt\n\n";
    // The program tests show a command on the other disk; here the default disk 0 and /ignore.
    const std::tuple<const char*, int, std::string> cases[] = {
        {"/list", 513, e513},
        {"/partcount", 4, e513},
        {"/list /disk=*", 0, "01"},
        {"/list /disk=0 /ignore", 0, "0"},
        {"/list /disk=1 /part=1", 106, Line(106, "Invalid Partition specified.")}};
    for (const auto& [line, exitCode, expected] : cases) {
        FakePlatform platform;
        machine(platform);
        const auto [code, output] = RunLine(platform, line);
        EXPECT_EQ(code, exitCode) << line;
        if (expected.find('\n') != std::string::npos)
            EXPECT_EQ(output, kBanner + expected) << line;
        else
            EXPECT_EQ(DisksListed(output), expected) << line;
    }
    // With every disk listed, the warning stays in the corrupt disk's block.
    FakePlatform platform;
    machine(platform);
    const std::string all = RunLine(platform, "/list /disk=* /text").second;
    const std::size_t warning = all.find("** Warning** The partition table on disk 0 appears to be corrupt!");
    EXPECT_LT(warning, all.find("Disk: 1"));
    EXPECT_EQ(all.find("on disk 1 appears"), std::string::npos);
}

}  // namespace
}  // namespace partam
