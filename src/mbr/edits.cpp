#include "mbr/edits.h"

#include <vector>

#include "base/result_codes.h"
#include "mbr/partition_list.h"
#include "mbr/partition_types.h"

namespace partam {

namespace {

std::int32_t PrimaryCount(mDisk& disk) {
    const PartitionList* list = disk.Mbr();
    return list ? list->PartitionCount(0) : 0;
}

// The primary at position number; null beyond the primaries.
mPart* Primary(mDisk& disk, int number) {
    PartitionList* list = disk.Mbr();
    if (!list || number < 1 || number > list->PartitionCount(0)) return nullptr;
    return list->GetPartition(number, false);
}

// A new type for a record and what follows from it; start and size stay,
// so that a record taken from the system's view keeps its extent.
void Retype(mPart& part, std::uint32_t type) {
    part.type = type;
    part.entry.SetTypeByte(static_cast<std::uint8_t>(type));
    part.hidden = IsHiddenType(type) ? 1 : 0;
    part.typeName = PartitionTypeName(type);
}

int Refuse(mDisk& disk, int code) { return disk.SetError(code, 0); }

// Writes a new sector 0 and reads the table from it again; a write that
// failed leaves the table as the disk still holds it.
int WriteAndReread(mDisk& disk, SectorView sector) {
    if (!disk.Sector0Read()) return Refuse(disk, kMbrReadFailed);
    disk.WriteSector0(sector);
    disk.Reload(false);
    return disk.GetError();
}

}  // namespace

int RebuildTable(mDisk& disk, bool sortedPlacement) {
    PartitionList* list = disk.Mbr();
    // Without a list of its own the disk holds no MBR table to write back;
    // writing an empty one would destroy whatever it does hold.
    if (!list) return Refuse(disk, kInvalidPartitionSelected);
    // A table is written back over the sector it was read from, never over
    // one that could not be read.
    if (!disk.Sector0Read()) return Refuse(disk, kMbrReadFailed);
    std::vector<mPart*> ascending;
    list->CheckOrder(&ascending);
    Sector sector = disk.Sector0();
    ClearPartitionTable(sector);
    if (sortedPlacement) {
        for (std::size_t i = 0; i < ascending.size(); ++i)
            WriteSlot(sector, static_cast<int>(i), ascending[i]->entry);
    } else {
        for (int n = 1; n <= list->PartitionCount(0); ++n) {
            if (const mPart* p = list->GetPartition(n, false))
                WriteSlot(sector, static_cast<int>(p->slot), p->entry);
        }
    }
    return disk.WriteSector0(sector);
}

int Hide(mDisk& disk, int number, bool hide) {
    mPart* part = Primary(disk, number);
    if (!part) return Refuse(disk, kInvalidPartitionSelected);
    if (hide) {
        // A hidden type is not hideable: it is never hidden twice.
        if (!IsHideableType(part->type)) return Refuse(disk, kCannotHideType);
        Retype(*part, part->type | 0x10);
    } else if (IsHiddenType(part->type)) {
        Retype(*part, part->type ^ 0x10);
    }
    RebuildTable(disk, false);
    return disk.GetError();
}

int HideAll(mDisk& disk, bool hide) {
    for (int n = 1; n <= PrimaryCount(disk); ++n) Hide(disk, n, hide);
    return disk.GetError();
}

int SetActive(mDisk& disk, int number, bool active) {
    mPart* part = Primary(disk, number);
    if (!part) return Refuse(disk, kInvalidPartitionSelected);
    if (active) {
        // A hidden partition could not be booted from: it is unhidden first.
        Hide(disk, number, false);
        for (int n = 1; n <= PrimaryCount(disk); ++n) {
            if (mPart* other = Primary(disk, n)) {
                other->entry.SetStatus(0);
                other->active = 0;
            }
        }
        part->entry.SetStatus(kActiveStatus);
    } else {
        part->entry.SetStatus(0);
    }
    part->active = part->entry.Status() != 0 ? 1 : 0;
    RebuildTable(disk, false);
    return disk.GetError();
}

int SetAllActive(mDisk& disk, bool active) {
    for (int n = 1; n <= PrimaryCount(disk); ++n) SetActive(disk, n, active);
    return disk.GetError();
}

int ChangeType(mDisk& disk, int number, std::uint32_t type) {
    mPart* part = Primary(disk, number);
    if (!part) return Refuse(disk, kInvalidPartitionSelected);
    Retype(*part, type & 0xFFu);
    RebuildTable(disk, false);
    return disk.GetError();
}

int DeletePartition(mDisk& disk, int number) {
    const mPart* part = Primary(disk, number);
    if (!part) return Refuse(disk, kInvalidPartitionSelected);
    Sector sector = disk.Sector0();
    WriteSlot(sector, static_cast<int>(part->slot), PartitionEntry{});
    return WriteAndReread(disk, sector);
}

int DeleteAllPartitions(mDisk& disk) {
    Sector sector = disk.Sector0();
    ClearPartitionTable(sector);
    return WriteAndReread(disk, sector);
}

}  // namespace partam
