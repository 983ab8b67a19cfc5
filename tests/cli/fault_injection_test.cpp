// Every command that reads or writes, run again and again with one of its
// read or write calls failing in turn. However a run ends, it ends with a
// code the program documents; it leaves every sector either as it was or as
// the run without a failure left it, never anything else; and a run that
// says it succeeded left exactly what the run without a failure left.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "base/result_codes.h"
#include "cli/run.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;
using Files = std::map<std::string, Bytes>;

constexpr std::uint64_t kSectors = 6000;

// Disk 0: an NTFS primary, an extended partition with two logical ones and a
// FAT32 primary, out of order; disk 1: a GPT of two basic data partitions.
// disk 2: one primary, so /create has a sorted table to add to. Backups of
// disks 0 and 1, and of disk 0's MBR, lie ready for the restores.
void SetUpMachine(FakePlatform& platform) {
    Bytes mbr(kSectors * 512, 0);
    test::PutSector(mbr, 0,
                    test::MakeMbr({{0x80, 0x07, 2048, 1000}, {0, 0x0F, 3100, 1500}, {0, 0x0B, 100, 1000}}));
    test::PutSector(mbr, 3100, test::MakeMbr({{0, 0x83, 63, 500}, {0, 0x05, 600, 700}}, 0, true, false));
    test::PutSector(mbr, 3700, test::MakeMbr({{0, 0x06, 63, 500}}, 0, true, false));
    platform.AddDrive(0, kSectors).data = mbr;
    platform.AddDrive(1, kSectors).data =
        test::MakeGpt(kSectors, {{test::kBasicDataType, 100, 999}, {test::kBasicDataType, 1000, 1999}});
    Bytes sorted(kSectors * 512, 0);
    test::PutSector(sorted, 0, test::MakeMbr({{0, 0x07, 2048, 1000}}));
    platform.AddDrive(2, kSectors).data = sorted;
    Bytes saved(512, 0);
    saved[0] = saved[1] = 0x44, saved[10] = 6, StoreLe64(&saved[130], kSectors - 1);
    saved.insert(saved.end(), mbr.begin(), mbr.end());
    platform.AddFile("C:\\disk.bin", saved);
    Bytes gpt(512, 0);
    gpt[0] = gpt[1] = 0x44, gpt[10] = 3, StoreLe64(&gpt[130], 34);
    const Bytes& disk1 = platform.FindFile(DrivePath(1))->data;
    gpt.insert(gpt.end(), disk1.begin(), disk1.begin() + 34 * 512);
    platform.AddFile("C:\\gpt.bin", gpt);
    Bytes first(512, 0);
    first[0] = first[1] = 0x44, first[10] = 1, first[130] = 1;
    first.insert(first.end(), mbr.begin(), mbr.begin() + 512);
    platform.AddFile("C:\\mbr.bin", first);
    platform.QueueLine("3");  // the boot menu's answer
}

int RunLine(FakePlatform& platform, const std::string& line) {
    std::vector<std::string> words{"partam", "/confirm", "/silent"};
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    return RunProgram(platform, static_cast<int>(argv.size()), argv.data());
}

Files Contents(FakePlatform& platform, const std::vector<std::string>& paths) {
    Files files;
    for (const std::string& path : paths)
        if (const FakeFile* f = platform.FindFile(path)) files[path] = f->data;
    return files;
}

bool Documented(int code) {
    return std::find(std::begin(kAllResultCodes), std::end(kAllResultCodes), code) !=
           std::end(kAllResultCodes);
}

// Sector by sector (512-byte pieces), each as it was or as the clean run
// left it; the first that is neither, or an empty text. Sector 30 of a drive
// takes the safety copy before the command, whatever comes of the command.
std::string Stray(const Files& before, const Files& clean, const Files& now) {
    for (const auto& [path, data] : now) {
        const bool drive = path.starts_with("\\\\.\\");
        const Bytes empty;
        const Bytes& was = before.count(path) ? before.at(path) : empty;
        const Bytes& good = clean.count(path) ? clean.at(path) : empty;
        for (std::size_t at = 0; at < data.size(); at += 512) {
            const auto piece = [at](const Bytes& b) {
                return at < b.size()
                           ? Bytes(b.begin() + static_cast<std::ptrdiff_t>(at),
                                   b.begin() + static_cast<std::ptrdiff_t>(std::min(at + 512, b.size())))
                           : Bytes();
            };
            const Bytes mine = piece(data);
            if (drive && at == 30 * 512) continue;
            if (mine != piece(was) && mine != piece(good))
                return path + " sector " + std::to_string(at / 512);
        }
    }
    return std::string();
}

// The first sector that differs, or an empty text. The safety copy in
// sector 30 is made where it can be and never fails a command: it is not
// compared.
std::string Differs(const Files& a, const Files& b) {
    for (const auto& [path, data] : a) {
        Bytes mine = data, theirs = b.count(path) ? b.at(path) : Bytes();
        if (path.starts_with("\\\\.\\")) {
            for (Bytes* d : {&mine, &theirs})
                if (d->size() >= 31 * 512) std::fill_n(d->begin() + 30 * 512, 512, 0);
        }
        if (mine != theirs) {
            std::size_t at = 0;
            while (at < mine.size() && at < theirs.size() && mine[at] == theirs[at]) ++at;
            return path + " sector " + std::to_string(at / 512);
        }
    }
    return std::string();
}

TEST(FaultInjectionTest, EveryReadAndWriteOfEveryCommandFails) {
    const char* kCommands[] = {
        "/list /disk=* /extended",
        "/list /disk=* /json /freespace",
        "/save=mbr /filename=C:\\m.bin",
        "/save=disk /filename=C:\\d.bin",
        "/save=gpt /disk=1 /filename=C:\\g.bin",
        "/restore=mbr /filename=C:\\mbr.bin /ignore",
        "/restore=disk /filename=C:\\disk.bin",
        "/restore=gpt /disk=1 /filename=C:\\gpt.bin",
        "/show=file /filename=C:\\disk.bin",
        "/hide",
        "/active /part=2",
        "/type=1c /part=3",
        "/del /part=2",
        "/del /disk=* /part=*",
        "/del /disk=1",
        "/sort",
        "/create /disk=2 /size=200",
        "/wipe=range /range=10-2500",
        "/wipe=gpt /disk=1",
        "/copy /source=0 /target=40",
        "/signature=generate",
        "/status=5",
        "/volumeid=read",
        "/repair=xp",
        "/repair=pt /ignore",
        "/writeini=C:\\r.ini",
        "/info",
        "/bootmenu",
    };
    // The report, like the listing, tells what could be read: a partition
    // whose first sectors fail to read has no filesystem in it. What is
    // checked is the disks and the backups.
    const std::vector<std::string> paths = {DrivePath(0), DrivePath(1), DrivePath(2),
                                            "C:\\m.bin",  "C:\\d.bin",  "C:\\g.bin"};
    for (const char* command : kCommands) {
        // Under /ignore a command goes on past a read that failed, by design;
        // a write that failed still fails it, and is never called a success.
        for (const bool ignore : {false, true}) {
            if (ignore && std::string(command).find("/ignore") != std::string::npos) continue;
            const std::string line = std::string(command) + (ignore ? " /ignore" : "");
            SCOPED_TRACE(line);
            FakePlatform clean;
            SetUpMachine(clean);
            const Files before = Contents(clean, paths);
            const int cleanCode = RunLine(clean, line);
            ASSERT_TRUE(cleanCode == 0 || cleanCode == 125) << cleanCode;
            const Files cleanAfter = Contents(clean, paths);
            for (const bool writes : {false, true}) {
                if (ignore && !writes) continue;
                const int calls = writes ? clean.writeCalls : clean.readCalls;
                for (int n = 1; n <= calls; ++n) {
                    FakePlatform platform;
                    SetUpMachine(platform);
                    (writes ? platform.failWriteCall : platform.failReadCall) = n;
                    const int code = RunLine(platform, line);
                    const std::string output = platform.TakeOutput();
                    const Files after = Contents(platform, paths);
                    const std::string where = std::string(writes ? "write " : "read ") + std::to_string(n);
                    EXPECT_TRUE(code == 0 || Documented(std::abs(code))) << where << " ended with " << code;
                    EXPECT_EQ(Stray(before, cleanAfter, after), "") << where;
                    if (code == cleanCode) {
                        EXPECT_EQ(Differs(after, cleanAfter), "") << where << " said it succeeded";
                    } else {
                        EXPECT_EQ(output.find("success"), std::string::npos) << where << ": " << output;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace partam
