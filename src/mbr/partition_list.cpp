#include "mbr/partition_list.h"

#include <array>
#include <limits>
#include <set>
#include <utility>

#include "disk/disk.h"
#include "mbr/mbr_sector.h"
#include "mbr/partition_types.h"

namespace partam {

namespace {

// Layout offsets and lengths are signed; a negative one describes nothing.
std::uint64_t NonNegative(std::int64_t value) { return value < 0 ? 0 : static_cast<std::uint64_t>(value); }

std::uint32_t Saturate32(std::uint64_t value) {
    return value > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                             : static_cast<std::uint32_t>(value);
}

// Takes start, sectors and bytes from the system's view of a slot.
void TakeLayoutExtent(mPart& record, const LayoutSlot& slot) {
    record.start = NonNegative(slot.startingOffset) / kSectorSize;
    record.sectors = NonNegative(slot.length) / kSectorSize;
    record.bytes = NonNegative(slot.length);
}

// The type a super-floppy's single partition gets from its filesystem.
std::uint8_t SuperFloppyType(std::uint32_t fileSystem) {
    switch (fileSystem) {
        case 1:
            return 0x07;
        case 2:
            return 0x06;
        case 3:
            return 0x0B;
        default:
            return 0;
    }
}

DriveLayout ReadLayout(mDisk& disk, bool& ok) {
    DriveLayout layout(static_cast<std::uint32_t>(disk.currentIndex), disk.CurrentFile().Handle());
    ok = layout.GetLayout(disk.GetPlatform());
    return layout;
}

}  // namespace

void SetType(mPart& record, std::uint32_t type, bool active) {
    record.present = 1;
    record.type = type;
    record.entry.SetTypeByte(static_cast<std::uint8_t>(type));
    record.active = active ? 1 : 0;
    record.typeName = PartitionTypeName(type);
    record.startChs = StartChs(record.entry);
    record.endChs = EndChs(record.entry);
    record.start = record.entry.Start();
    record.sectors = record.entry.Sectors();
    record.hidden = IsHiddenType(type) ? 1 : 0;
}

bool BuildFromLayout(int slot, const DriveLayout& layout, mPart& record) {
    if (slot < 0 || slot >= kSlotCount || !layout.slots[slot].present) {
        record.present = 0;
        return false;
    }
    const LayoutSlot& s = layout.slots[slot];
    record = mPart{};
    // The entry describes the partition so that it can be written back as it
    // stands; a start or size beyond 32 bits cannot be, and is capped. The
    // CHS bytes stay zero: the layout carries no geometry.
    record.entry.SetStatus(s.bootIndicator ? kActiveStatus : 0);
    record.entry.SetTypeByte(s.type);
    record.entry.SetStart(Saturate32(NonNegative(s.startingOffset) / kSectorSize));
    record.entry.SetSectors(Saturate32(NonNegative(s.length) / kSectorSize));
    SetType(record, s.type, s.bootIndicator != 0);
    TakeLayoutExtent(record, s);
    return true;
}

std::unique_ptr<PartitionTable> ReadMbrTable(mDisk& disk) { return std::make_unique<PartitionList>(disk); }

PartitionList::PartitionList(mDisk& d) : disk(&d) { ReadTable(); }

void PartitionList::ReadTable() {
    disk->tableValid = 1;
    primaryCount = 0;
    logicalCount = 0;
    if (!disk->mediaPresent) {
        AddPlaceholder();
        return;
    }
    if (disk->superFloppyFs != 0) {
        ReadSuperFloppy();
    } else if (disk->signatureValid) {
        ReadPrimaries();
    }
    if (LooksLikeBootText()) disk->tableValid = 0;
    CheckOrder();
}

void PartitionList::AddPlaceholder() {
    auto record = std::make_unique<mPart>();
    record->present = 1;
    records.push_back(std::move(record));
}

void PartitionList::ReadSuperFloppy() {
    bool ok = false;
    const DriveLayout layout = ReadLayout(*disk, ok);
    if (!ok) return;
    const std::uint8_t type = SuperFloppyType(disk->superFloppyFs);
    auto record = std::make_unique<mPart>();
    record->entry.SetTypeByte(type);
    SetType(*record, type, layout.slots[0].bootIndicator != 0);
    TakeLayoutExtent(*record, layout.slots[0]);
    record->isPrimary = 1;
    record->position = 1;
    record->slot = 0;
    records.push_back(std::move(record));
    primaryCount = 1;
}

void PartitionList::ReadPrimaries() {
    // The system's view matters only for removable media, where it is taken
    // over the bytes of the MBR; a fixed disk is not asked for it.
    const bool removable = disk->mediaType == kRemovableMedia;
    bool ok = false;
    const DriveLayout layout =
        removable ? ReadLayout(*disk, ok)
                  : DriveLayout(static_cast<std::uint32_t>(disk->currentIndex), disk->CurrentFile().Handle());
    for (int s = 0; s < kSlotCount; ++s) {
        const PartitionEntry entry = ReadSlot(disk->sector0, s);
        const bool present = removable ? layout.slots[s].present != 0 : entry.TypeByte() != 0;
        if (present) AddPrimary(s, entry, layout, removable);
    }
}

void PartitionList::AddPrimary(int slot, const PartitionEntry& entry, const DriveLayout& layout,
                               bool removable) {
    auto record = std::make_unique<mPart>();
    record->entry = entry;
    if (removable) {
        const LayoutSlot& view = layout.slots[slot];
        if (entry.TypeByte() != view.type) {
            SetType(*record, view.type, view.bootIndicator != 0);
            disk->tableValid = 0;
        } else {
            SetType(*record, entry.TypeByte(), IsActiveStatus(entry.Status()));
        }
        TakeLayoutExtent(*record, view);
    } else {
        SetType(*record, entry.TypeByte(), IsActiveStatus(entry.Status()));
        record->bytes = record->sectors * kSectorSize;
    }
    record->slot = static_cast<std::uint32_t>(slot);
    record->isPrimary = 1;
    record->position = primaryCount + 1;
    const bool extended = IsExtendedType(record->type);
    const std::uint64_t start = record->start;
    records.push_back(std::move(record));
    ++primaryCount;
    if (extended) WalkExtended(start);
}

// Four primaries whose types spell "rey\r" are the bytes of a boot-sector
// message, not a partition table.
bool PartitionList::LooksLikeBootText() {
    static constexpr std::array<std::uint32_t, 4> kText{0x72, 0x65, 0x79, 0x0D};
    if (primaryCount != 4) return false;
    for (int n = 1; n <= 4; ++n) {
        const mPart* p = GetPartition(n, false);
        if (!p || p->type != kText[static_cast<std::size_t>(n - 1)]) return false;
    }
    return true;
}

bool PartitionList::IsOnDisk(std::uint64_t lba) const {
    return disk->totalSectors == 0 || lba < disk->totalSectors;
}

// Links are relative to the extended partition's start. The walk ends at the
// end of the chain, at an EBR it has already read, at one it cannot read or
// that lies beyond the disk, and after kMaxExtendedChain EBRs, so a damaged
// or hostile chain never loops and never adds a partition twice.
void PartitionList::WalkExtended(std::uint64_t extendedStart) {
    logicalCount = 0;
    std::set<std::uint64_t> visited;
    std::array<std::uint8_t, kSectorSize> ebr{};
    std::uint64_t current = extendedStart;
    while (visited.size() < kMaxExtendedChain && IsOnDisk(current) && visited.insert(current).second) {
        if (disk->ReadSector(current, ebr.data()) != 0) return;
        AddLogical(ReadSlot(ebr, 0), current);
        const PartitionEntry link = ReadSlot(ebr, 1);
        if (link.IsAllZero()) return;
        current = extendedStart + link.Start();
    }
}

// An EBR whose first slot is empty describes no partition; its link is still
// followed.
void PartitionList::AddLogical(const PartitionEntry& entry, std::uint64_t ebrSector) {
    if (entry.TypeByte() == 0) return;
    auto record = std::make_unique<mPart>();
    record->entry = entry;
    SetType(*record, entry.TypeByte(), IsActiveStatus(entry.Status()));
    record->start += ebrSector;
    record->bytes = record->sectors * kSectorSize;
    record->isPrimary = 0;
    record->position = logicalCount + 1;
    records.push_back(std::move(record));
    ++logicalCount;
}

std::int32_t PartitionList::PartitionCount(int kind) const {
    switch (kind) {
        case 0:
            return static_cast<std::int32_t>(primaryCount);
        case 1:
            return static_cast<std::int32_t>(logicalCount);
        case 2:
            return static_cast<std::int32_t>(primaryCount + logicalCount);
        default:
            return 0;
    }
}

mPart* PartitionList::GetPartition(int number, bool byPosition) {
    if (number < 1 || static_cast<std::size_t>(number) > records.size()) return nullptr;
    if (byPosition) return records[static_cast<std::size_t>(number - 1)].get();
    for (const auto& record : records) {
        if (record->isPrimary && record->position == static_cast<std::uint32_t>(number)) return record.get();
    }
    return nullptr;
}

// An exchange sort of the primaries, taken by position, on a copy: records,
// positions and slots stay as read. Equal starts are never exchanged.
int PartitionList::CheckOrder(std::vector<mPart*>* ascending) {
    sorted = 1;
    std::vector<mPart*> order;
    for (std::uint32_t n = 1; n <= primaryCount; ++n) {
        if (mPart* p = GetPartition(static_cast<int>(n), false)) order.push_back(p);
    }
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            if (order[i]->start > order[j]->start) {
                sorted = 0;
                std::swap(order[i], order[j]);
            }
        }
    }
    if (ascending) *ascending = std::move(order);
    return sorted;
}

}  // namespace partam
