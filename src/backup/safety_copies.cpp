#include "backup/safety_copies.h"

#include <algorithm>

#include "backup/save_restore.h"
#include "base/boot_sector.h"
#include "base/text.h"
#include "disk/replacement_file.h"

namespace partam {

namespace {

// A temporary folder on a drive whose root holds the setup loader belongs
// to a Windows setup environment, where the disks are not to be touched.
bool InSetupEnvironment(Platform& platform, const std::string& temp) {
    return temp.size() >= 2 && temp[1] == ':' &&
           FileExists(platform, std::string(1, temp[0]) + ":\\i386\\SETUPLDR.EXE");
}

// The copy file of a disk's sector 0 (see MakeSafetyCopies); false when it
// is not made.
bool WriteCopyFile(Platform& platform, const std::string& path, SectorView sector,
                   const std::string& commandFile) {
    const std::string previous = path + ".1";
    if (!commandFile.empty() &&
        (platform.SameFile(commandFile, path) || platform.SameFile(commandFile, previous)))
        return false;
    ReplacementFile file(platform, path);
    std::uint32_t done = 0;
    return file.Create() && file.File().WriteBytes(sector.data(), kSectorSize, &done) &&
           done == kSectorSize && file.Finish(true, previous);
}

}  // namespace

bool MayCopyToSector30(mDisk& disk) {
    // Only an MBR table's disk keeps its sectors before the first partition
    // free: a filesystem that fills the disk has its FATs or its code there,
    // a GPT its entries, another system's label whatever it wants.
    if (!disk.Sector0Read() || ClassifySectorZero(disk.Sector0()) != SectorZeroKind::PartitionTable)
        return false;
    if (disk.IsGpt() || disk.TotalSectors() <= kMbrCopySector) return false;
    for (int i = 1; i <= disk.PartitionCount(2); ++i) {
        const mPart* p = disk.GetPartition(i, true);
        if (p && p->start <= kMbrCopySector) return false;
    }
    Sector there{};
    if (disk.ReadSectors(there.data(), kMbrCopySector, 1) != 0) return false;
    const bool empty = std::all_of(there.begin(), there.end(), [](std::uint8_t b) { return b == 0; });
    const bool earlierCopy = HasBootSignature(there) && DiskSignatureBytes(there) == disk.DiskSignature();
    return empty || earlierCopy;
}

std::vector<int> MakeSafetyCopies(mDisk& disk, const std::string& commandFile) {
    Platform& platform = disk.GetPlatform();
    std::vector<int> copied;
    for (int i = 0; i < disk.DiskCount(); ++i) {
        const std::optional<std::string> temp = platform.TempFolder();
        if (temp && InSetupEnvironment(platform, *temp)) break;
        const std::string folder = temp.value_or("c:\\");
        // A disk that may not be used is not read, and has no copy.
        if (disk.Use(i) != 0) continue;
        // A sector 0 that could not be read is no copy, and would push out
        // a good earlier one.
        if (disk.Sector0Read())
            WriteCopyFile(platform, folder + Format("disk-%d.mbr", i), disk.Sector0(), commandFile);
        // A copy that could not be kept does not stop the command it is made
        // for: the copy is a courtesy, and the command reports its own writes.
        if (MayCopyToSector30(disk))
            static_cast<void>(disk.WriteSectors(disk.Sector0().data(), kMbrCopySector, 1));
        static_cast<void>(disk.FinishWrites(false));  // a copy kept aside changes no table
        copied.push_back(i);
    }
    disk.Use(0);
    return copied;
}

}  // namespace partam
