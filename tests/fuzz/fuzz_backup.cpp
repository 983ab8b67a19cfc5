// A backup file: its header decoded, and /show=file run on it whole, which
// describes the file and lists the table of the MBR it holds. The input is
// the file.
#include "backup/backup_file.h"
#include "cli/run.h"
#include "support/fake_platform.h"

using namespace partam;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Sector first{};
    std::copy_n(data, std::min<std::size_t>(size, kSectorSize), first.begin());
    if (ProbeBackupHeader(first) != 0) HeaderDataSectors(DecodeBackupHeader(first));

    FakePlatform platform;
    platform.AddDrive(0, 2048);
    platform.AddFile("C:\\b.bin", std::vector<std::uint8_t>(data, data + size));
    const char* argv[] = {"partam", "/show=file", "/filename=C:\\b.bin"};
    RunProgram(platform, 3, argv);
    // /show changes nothing.
    if (!platform.writes.empty()) __builtin_trap();
    return 0;
}
