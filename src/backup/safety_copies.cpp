#include "backup/safety_copies.h"

#include <algorithm>

#include "backup/save_restore.h"
#include "base/boot_sector.h"
#include "base/text.h"

namespace partam {

namespace {

// A temporary folder on a drive whose root holds the setup loader belongs
// to a Windows setup environment, where the disks are not to be touched.
bool InSetupEnvironment(Platform& platform, const std::string& temp) {
    return temp.size() >= 2 && temp[1] == ':' &&
           FileExists(platform, std::string(1, temp[0]) + ":\\i386\\SETUPLDR.EXE");
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

std::vector<int> MakeSafetyCopies(mDisk& disk) {
    Platform& platform = disk.GetPlatform();
    std::vector<int> copied;
    for (int i = 0; i < disk.DiskCount(); ++i) {
        const std::optional<std::string> temp = platform.TempFolder();
        if (temp && InSetupEnvironment(platform, *temp)) break;
        const std::string folder = temp.value_or("c:\\");
        disk.Use(i);
        SmallSave(disk, folder + Format("disk-%d.mbr", i), 0, 1, BackupKind::None, true);
        if (MayCopyToSector30(disk)) disk.WriteSectors(disk.Sector0().data(), kMbrCopySector, 1);
        disk.FinishWrites(false);  // a copy kept aside changes no table
        disk.SetError(1, 0);
        copied.push_back(i);
    }
    disk.Use(0);
    disk.SetError(1, 0);
    return copied;
}

}  // namespace partam
