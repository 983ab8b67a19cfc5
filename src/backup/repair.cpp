#include "backup/repair.h"

#include <algorithm>

#include "base/boot_sector.h"
#include "base/result_codes.h"
#include "mbr/edits.h"
#include "mbr/partition_list.h"

namespace partam {

Sector WithBootCode(SectorView sector0, const BootCodeImage& image) {
    Sector out{};
    std::copy(sector0.begin(), sector0.end(), out.begin());
    std::copy(image.begin(), image.begin() + kDiskSignatureOffset, out.begin());
    out[kDiskSignatureOffset + 4] = 0;
    out[kDiskSignatureOffset + 5] = 0;
    SetBootSignature(out);
    return out;
}

int RepairBootCode(mDisk& disk, const BootCodeImage& image) {
    // Sector 0 is read anew rather than taken from the copy made when the
    // disk was selected: the table written back must be the one on the disk
    // now. One that cannot be read is left alone, since writing the image
    // over zeros would cost the disk its table.
    Sector current{};
    if (disk.ReadSectors(current.data(), 0, 1) != 0) return kMbrReadFailed;
    // A sector 0 without 55 AA (a blank disk) becomes an MBR; the boot
    // sector of a filesystem that fills the disk, or another system's label,
    // would be destroyed.
    const SectorZeroKind kind = ClassifySectorZero(current);
    if (kind == SectorZeroKind::FileSystem || kind == SectorZeroKind::ForeignLabel) return kCreateWithoutMbr;
    return disk.WriteSector0(WithBootCode(current, image));
}

namespace {

// A partition the system sees that the table holds already is not added a
// second time.
bool Listed(PartitionList& list, const mPart& record) {
    for (int n = 1; n <= list.PartitionCount(0); ++n) {
        const mPart* p = list.GetPartition(n, false);
        if (p && p->entry.Start() == record.entry.Start() && p->entry.Sectors() == record.entry.Sectors())
            return true;
    }
    return false;
}

}  // namespace

int RebuildTableFromLayout(mDisk& disk) {
    PartitionList* list = disk.Mbr();
    if (const int refused = RefuseUnlessTable(disk); refused != 0) return refused;
    if (disk.TableValid() || !list) return 0;
    Sector sector = disk.Sector0();
    ClearPartitionTable(sector);
    std::array<bool, kSlotCount> used{};
    for (int n = 1; n <= list->PartitionCount(0); ++n) {
        if (const mPart* p = list->GetPartition(n, false); p && p->slot < kSlotCount) {
            WriteSlot(sector, static_cast<int>(p->slot), p->entry);
            used[p->slot] = true;
        }
    }
    if (const std::optional<DriveLayout> layout = disk.SystemLayout()) {
        for (int s = 0; s < kSlotCount; ++s) {
            mPart record;
            const auto free = std::find(used.begin(), used.end(), false);
            if (free == used.end() || !BuildFromLayout(s, *layout, record) || Listed(*list, record)) continue;
            WriteSlot(sector, static_cast<int>(free - used.begin()), record.entry);
            *free = true;
        }
    }
    SetBootSignature(sector);
    // A sector 0 that was not written is never reported as rebuilt.
    const int code = disk.WriteSector0(sector);
    disk.Reload(false);
    return code;
}

}  // namespace partam
