#include "mbr/edits.h"

#include <vector>

#include "base/boot_sector.h"
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

// Hides or unhides the record alone; false for a type that cannot be
// hidden (a hidden type is not hideable: it is never hidden twice).
bool HideRecord(mPart& part, bool hide) {
    if (hide) {
        if (!IsHideableType(part.type)) return false;
        Retype(part, part.type | 0x10);
    } else if (IsHiddenType(part.type)) {
        Retype(part, part.type ^ 0x10);
    }
    return true;
}

void SetStatus(mPart& part, std::uint8_t status) {
    part.entry.SetStatus(status);
    part.active = IsActiveStatus(status) ? 1 : 0;
}

// The primary an edit changes, once sector 0 may take the table; nothing,
// with the refusal in code, otherwise.
mPart* EditablePrimary(mDisk& disk, int number, int& code) {
    mPart* part = Primary(disk, number);
    code = part ? RefuseUnlessTable(disk) : static_cast<int>(kInvalidPartitionSelected);
    return code == 0 ? part : nullptr;
}

// Writes a new sector 0 and reads the table from it again; a write that
// failed leaves the table as the disk still holds it.
int WriteAndReread(mDisk& disk, SectorView sector) {
    const int code = disk.WriteSector0(sector);
    disk.Reload(false);
    return code;
}

}  // namespace

int RefuseUnlessTable(mDisk& disk) {
    // A table is written back over the sector it was read from, never over
    // one that could not be read.
    if (!disk.Sector0Read()) return kMbrReadFailed;
    if (!HoldsPartitionTable(disk.Sector0())) return kCreateWithoutMbr;
    return 0;
}

int RebuildTable(mDisk& disk, bool sortedPlacement) {
    PartitionList* list = disk.Mbr();
    // Without a list of its own the disk holds no MBR table to write back;
    // writing an empty one would destroy whatever it does hold.
    if (!list) return kInvalidPartitionSelected;
    if (const int refused = RefuseUnlessTable(disk); refused != 0) return refused;
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
    int code = 0;
    mPart* part = EditablePrimary(disk, number, code);
    if (!part) return code;
    if (!HideRecord(*part, hide)) return kCannotHideType;
    return RebuildTable(disk, false);
}

int HideAll(mDisk& disk, bool hide) {
    if (const int refused = RefuseUnlessTable(disk); refused != 0) return refused;
    int refusal = 0;
    bool changed = false;
    for (int n = 1; n <= PrimaryCount(disk); ++n) {
        if (mPart* part = Primary(disk, n); part && HideRecord(*part, hide))
            changed = true;
        else if (refusal == 0)
            refusal = kCannotHideType;
    }
    const int written = changed ? RebuildTable(disk, false) : 0;
    return written != 0 ? written : refusal;
}

int SetActive(mDisk& disk, int number, bool active) {
    int code = 0;
    mPart* part = EditablePrimary(disk, number, code);
    if (!part) return code;
    if (active) {
        // A hidden partition could not be booted from: it is unhidden in the
        // same write that makes it active.
        HideRecord(*part, false);
        for (int n = 1; n <= PrimaryCount(disk); ++n)
            if (mPart* other = Primary(disk, n)) SetStatus(*other, 0);
    }
    SetStatus(*part, active ? kActiveStatus : 0);
    return RebuildTable(disk, false);
}

int DeactivateAll(mDisk& disk) {
    if (const int refused = RefuseUnlessTable(disk); refused != 0) return refused;
    for (int n = 1; n <= PrimaryCount(disk); ++n)
        if (mPart* part = Primary(disk, n)) SetStatus(*part, 0);
    return PrimaryCount(disk) > 0 ? RebuildTable(disk, false) : 0;
}

int ChangeType(mDisk& disk, int number, std::uint32_t type) {
    int code = 0;
    mPart* part = EditablePrimary(disk, number, code);
    if (!part) return code;
    Retype(*part, type & 0xFFu);
    return RebuildTable(disk, false);
}

int DeletePartition(mDisk& disk, int number) {
    int code = 0;
    const mPart* part = EditablePrimary(disk, number, code);
    if (!part) return code;
    Sector sector = disk.Sector0();
    WriteSlot(sector, static_cast<int>(part->slot), PartitionEntry{});
    return WriteAndReread(disk, sector);
}

int DeleteAllPartitions(mDisk& disk) {
    if (const int refused = RefuseUnlessTable(disk); refused != 0) return refused;
    Sector sector = disk.Sector0();
    ClearPartitionTable(sector);
    return WriteAndReread(disk, sector);
}

}  // namespace partam
