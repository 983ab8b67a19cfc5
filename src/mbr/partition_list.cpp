#include "mbr/partition_list.h"

#include <array>
#include <limits>
#include <set>
#include <utility>

#include "base/result_codes.h"
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

// Builds one list from a table source: the primaries in slot order, each
// extended partition followed by its chain.
class MbrReader {
public:
    MbrReader(const TableSource& source, const MbrReadLimits& limits)
        : source_(source), limits_(limits), list_(std::make_unique<PartitionList>()) {}

    std::unique_ptr<PartitionList> Read() {
        if (!source_.mediaPresent) {
            AddPlaceholder();
            return std::move(list_);
        }
        if (source_.superFloppy != BootFileSystem::None)
            ReadSuperFloppy();
        else if (HasBootSignature(source_.sector0))
            ReadPrimaries();
        if (LooksLikeBootText()) list_->findings_ |= kFindingBootText;
        list_->CheckOrder();
        return std::move(list_);
    }

private:
    // No medium: one record that counts as neither primary nor logical.
    void AddPlaceholder() {
        auto record = std::make_unique<mPart>();
        record->present = 1;
        list_->records_.push_back(std::move(record));
    }

    void ReadSuperFloppy() {
        if (!source_.layout) return;
        const std::uint8_t type = BootFileSystemType(source_.superFloppy);
        auto record = std::make_unique<mPart>();
        record->entry.SetTypeByte(type);
        SetType(*record, type, source_.layout->slots[0].bootIndicator != 0);
        TakeLayoutExtent(*record, source_.layout->slots[0]);
        record->isPrimary = 1;
        record->position = 1;
        list_->records_.push_back(std::move(record));
        list_->primaryCount_ = 1;
    }

    // On removable media the system's view of each slot is taken over the
    // bytes of the MBR; a removable disk whose view did not come has none.
    void ReadPrimaries() {
        const DriveLayout none(0, kNoFile);
        const DriveLayout& layout = source_.layout ? *source_.layout : none;
        for (int s = 0; s < kSlotCount; ++s) {
            const PartitionEntry entry = ReadSlot(source_.sector0, s);
            const bool present = source_.removable ? layout.slots[s].present != 0 : entry.TypeByte() != 0;
            if (present) AddPrimary(s, entry, layout.slots[s]);
        }
    }

    void AddPrimary(int slot, const PartitionEntry& entry, const LayoutSlot& view) {
        auto record = std::make_unique<mPart>();
        record->entry = entry;
        if (source_.removable) {
            if (entry.TypeByte() != view.type) {
                SetType(*record, view.type, view.bootIndicator != 0);
                list_->findings_ |= kFindingRemovableType;
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
        record->position = list_->primaryCount_ + 1;
        const bool extended = IsExtendedType(record->type);
        const std::uint64_t start = record->start;
        list_->records_.push_back(std::move(record));
        ++list_->primaryCount_;
        if (extended) WalkExtended(start);
    }

    // Four primaries whose types spell "rey\r" are the bytes of a
    // boot-sector message, not a partition table.
    bool LooksLikeBootText() const {
        static constexpr std::array<std::uint32_t, 4> kText{0x72, 0x65, 0x79, 0x0D};
        if (list_->primaryCount_ != 4) return false;
        for (int n = 1; n <= 4; ++n) {
            const mPart* p = list_->GetPartition(n, false);
            if (!p || p->type != kText[static_cast<std::size_t>(n - 1)]) return false;
        }
        return true;
    }

    // Links count from the extended partition's start. The walk ends at the
    // end of the chain; anywhere else it ends early, at an EBR it has read
    // before, one beyond the disk, one it cannot read, or past the longest
    // chain followed, and that is a finding: the chain shown would not be
    // the whole chain.
    void WalkExtended(std::uint64_t extendedStart) {
        std::set<std::uint64_t> visited;
        Sector ebr{};
        std::uint64_t current = extendedStart;
        for (;;) {
            std::uint32_t ended = 0;
            if (visited.size() >= limits_.maxChain)
                ended = kFindingChainTooLong;
            else if (source_.totalSectors != 0 && current >= source_.totalSectors)
                ended = kFindingChainOutside;
            else if (!visited.insert(current).second)
                ended = kFindingChainLoop;
            else if (!source_.read || !source_.read(current, ebr.data()))
                ended = kFindingChainUnreadable;
            if (ended != 0) {
                list_->findings_ |= ended;
                return;
            }
            AddLogical(ReadSlot(ebr, 0), current);
            const PartitionEntry link = ReadSlot(ebr, 1);
            if (link.IsAllZero()) return;
            current = extendedStart + link.Start();
        }
    }

    // An EBR whose first slot is empty describes no partition; its link is
    // still followed.
    void AddLogical(const PartitionEntry& entry, std::uint64_t ebrSector) {
        if (entry.TypeByte() == 0) return;
        auto record = std::make_unique<mPart>();
        record->entry = entry;
        SetType(*record, entry.TypeByte(), IsActiveStatus(entry.Status()));
        record->start += ebrSector;
        record->bytes = record->sectors * kSectorSize;
        record->isPrimary = 0;
        record->position = list_->logicalCount_ + 1;
        list_->records_.push_back(std::move(record));
        ++list_->logicalCount_;
    }

    const TableSource& source_;
    const MbrReadLimits& limits_;
    std::unique_ptr<PartitionList> list_;
};

std::unique_ptr<PartitionList> ReadMbrTable(const TableSource& source, const MbrReadLimits& limits) {
    return MbrReader(source, limits).Read();
}

TableReader MbrTableReader() {
    return [](const TableSource& source) -> std::unique_ptr<PartitionTable> { return ReadMbrTable(source); };
}

int PartitionList::Problem() const { return findings_ != 0 ? kTableCorrupt : 0; }

std::int32_t PartitionList::PartitionCount(int kind) const {
    switch (kind) {
        case 0:
            return static_cast<std::int32_t>(primaryCount_);
        case 1:
            return static_cast<std::int32_t>(logicalCount_);
        case 2:
            return static_cast<std::int32_t>(primaryCount_ + logicalCount_);
        default:
            return 0;
    }
}

mPart& PartitionList::AppendPrimary(std::unique_ptr<mPart> record) {
    record->isPrimary = 1;
    record->position = ++primaryCount_;
    records_.push_back(std::move(record));
    return *records_.back();
}

mPart* PartitionList::GetPartition(int number, bool byPosition) {
    if (number < 1 || static_cast<std::size_t>(number) > records_.size()) return nullptr;
    if (byPosition) return records_[static_cast<std::size_t>(number - 1)].get();
    for (const auto& record : records_) {
        if (record->isPrimary && record->position == static_cast<std::uint32_t>(number)) return record.get();
    }
    return nullptr;
}

// An exchange sort of the primaries, taken by position, on a copy: records,
// positions and slots stay as read. Equal starts are never exchanged.
int PartitionList::CheckOrder(std::vector<mPart*>* ascending) {
    sorted_ = 1;
    std::vector<mPart*> order;
    for (std::uint32_t n = 1; n <= primaryCount_; ++n) {
        if (mPart* p = GetPartition(static_cast<int>(n), false)) order.push_back(p);
    }
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            if (order[i]->start > order[j]->start) {
                sorted_ = 0;
                std::swap(order[i], order[j]);
            }
        }
    }
    if (ascending) *ascending = std::move(order);
    return sorted_;
}

}  // namespace partam
