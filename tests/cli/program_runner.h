// Runs the whole program in-process against a FakePlatform.
#pragma once

#include <string>
#include <vector>

#include "cli/run.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam::test {

#ifdef _WIN32
inline const std::string kBanner =
    "\n Partam - Version 3.0.46 beta  for Windows\n  Partition tables at the sector level\n";
#else
inline const std::string kBanner =
    "\n Partam - Version 3.0.46 beta  for Linux\n  Partition tables at the sector level\n";
#endif

struct ProgramRun {
    int exitCode;
    std::string output;
};

inline ProgramRun RunWith(FakePlatform& platform, const std::vector<std::string>& args) {
    std::vector<const char*> argv{"C:\\Tools\\partam.exe"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    const int code = RunProgram(platform, static_cast<int>(argv.size()), argv.data());
    return {code, platform.TakeOutput()};
}

// Drive n with an MBR of the given slots.
inline FakeFile& AddMbrDrive(FakePlatform& platform, int number, const std::vector<EntrySpec>& slots,
                             std::uint64_t sectors = 20480) {
    FakeFile& drive = platform.AddDrive(number, sectors);
    const Bytes mbr = MakeMbr(slots);
    std::copy(mbr.begin(), mbr.end(), drive.data.begin());
    return drive;
}

}  // namespace partam::test
