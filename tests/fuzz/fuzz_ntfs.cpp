// An NTFS volume at the start of a disk: its boot sector, and record 3 of
// its master file table ($Volume) with the attributes, update sequence and
// data runs that lead to its name. See fuzz_input.h for the input.
#include "disk/disk.h"
#include "fs/file_system.h"
#include "fs/ntfs_reader.h"
#include "fuzz/fuzz_input.h"
#include "support/fake_platform.h"

using namespace partam;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::SparseDisk sparse(data, size);
    ReadNtfsBootSector(sparse.At(0));

    // The disk object reads the volume through a device over the sparse disk,
    // opened as a virtual disk in place of the fake platform's one drive.
    FakePlatform platform;
    platform.AddDrive(0, 1);
    platform.AddFile("C:\\volume");
    const VirtualDiskOpener opener = [&sparse](Platform&, const std::string&) {
        VirtualDiskOpening opening;
        opening.device = std::make_unique<fuzz::SparseDevice>(sparse);
        return opening;
    };
    mDisk disk(platform, 0, {}, opener);
    if (disk.UseVirtual("C:\\volume") != 0) __builtin_trap();
    NtfsVolumeReader reader;
    reader.ReadLabel(disk, 0, sparse.TotalSectors());
    std::string name;
    RecognizeFileSystem(disk, 0, name);
    VolumeIdText(disk, 0);
    return 0;
}
