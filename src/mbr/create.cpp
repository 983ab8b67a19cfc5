#include "mbr/create.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "base/result_codes.h"
#include "mbr/edits.h"
#include "mbr/partition_list.h"

namespace partam {

namespace {

// More than 500 sectors must follow the last partition for them to count as
// a free region.
constexpr std::uint64_t kTailMinimum = 500;
// A size in KiB beyond this is twice as many sectors as an entry holds.
constexpr std::uint64_t kLargestSizeKiB = kLastEntrySector / 2;

std::vector<Extent> Ascending(std::span<const Extent> primaries) {
    std::vector<Extent> sorted(primaries.begin(), primaries.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Extent& a, const Extent& b) { return a.start < b.start; });
    return sorted;
}

// The regions in disk order. A gap begins after the furthest end so far, so
// that a partition inside another (an extended one around a primary, a
// damaged table) never leaves a region inside the outer one.
std::vector<FreeRegion> Regions(std::span<const Extent> primaries, std::uint64_t totalSectors) {
    const std::vector<Extent> sorted = Ascending(primaries);
    std::vector<FreeRegion> regions;
    if (sorted.empty()) return {{kLowestCreateStart, totalSectors - 1}};
    if (sorted.front().start > kLowestCreateStart)
        regions.push_back({kLowestCreateStart, sorted.front().start - 1});
    std::uint64_t reach = sorted.front().End();
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        if (sorted[i].start > reach + 1) regions.push_back({reach + 1, sorted[i].start - 1});
        reach = std::max(reach, sorted[i].End());
    }
    if (totalSectors > reach + kTailMinimum) regions.push_back({reach + 1, totalSectors - 1});
    return regions;
}

std::vector<Extent> PrimaryExtents(PartitionList& list) {
    std::vector<Extent> extents;
    for (int n = 1; n <= list.PartitionCount(0); ++n) {
        if (const mPart* p = list.GetPartition(n, false)) extents.push_back({p->start, p->sectors});
    }
    return extents;
}

// The lowest slot no primary holds; -1 when all four do.
int LowestFreeSlot(PartitionList& list) {
    std::array<bool, kSlotCount> used{};
    for (int n = 1; n <= list.PartitionCount(0); ++n) {
        const mPart* p = list.GetPartition(n, false);
        if (p && p->slot < used.size()) used[p->slot] = true;
    }
    for (int s = 0; s < kSlotCount; ++s)
        if (!used[static_cast<std::size_t>(s)]) return s;
    return -1;
}

// Where the partition starts and, when the free-space search chose it, the
// size of its region; a start given is checked against the table and the
// disk, one searched for lies in free space by its making.
struct Placement {
    std::uint64_t start = 0;
    std::optional<std::uint64_t> size;
};

Placement Place(std::span<const Extent> primaries, std::uint64_t total, const CreateRequest& request) {
    const std::uint64_t align = request.alignKiB ? AlignmentSectors(*request.alignKiB) : 1;
    Placement place;
    if (request.start) {
        place.start = *request.start;
        // Sector 0 holds the table itself.
        if (place.start == 0 || SectorInUse(primaries, total, place.start)) throw kStartAssigned;
    } else {
        // A refused alignment is reported once a region was found, as it
        // would be after a start that was given.
        const auto region = FindFreeSpace(primaries, total, align != 0 ? align : 1);
        if (!region) throw kNoFreeSpace;
        place = {region->first, region->Size()};
    }
    if (align == 0) throw kBadAlign;
    if (request.start) {
        const std::uint64_t aligned = AlignUp(place.start, align);
        if (aligned != place.start && SectorInUse(primaries, total, aligned)) throw kStartAssigned;
        place.start = aligned;
        const auto last = LastCreatableSector(total);
        if (!last || place.start > *last) throw kSizeTooLarge;
    }
    return place;
}

std::uint64_t Size(std::span<const Extent> primaries, std::uint64_t total, const CreateRequest& request,
                   const Placement& place) {
    using S = CreateRequest::Size;
    std::uint64_t size = 0;
    switch (request.size) {
        case S::Largest:
            size = place.size ? *place.size : LargestSizeFrom(primaries, total, place.start);
            break;
        case S::Max:
            size = LargestSizeFrom(primaries, total, place.start);
            break;
        case S::KiB: {
            if (request.sizeKiB == 0) throw kBadSize;
            if (request.sizeKiB > kLargestSizeKiB) throw kSizeTooLarge;
            size = request.sizeKiB * (1024 / kSectorSize);
            const std::uint64_t end = place.start + size;
            const auto last = LastCreatableSector(total);
            if (!last || end > *last || RangeInUse(primaries, place.start, end)) throw kSizeTooLarge;
            break;
        }
    }
    if (size == 0) throw kBadSize;
    return size;
}

}  // namespace

std::optional<std::uint64_t> LastCreatableSector(std::uint64_t totalSectors) {
    if (totalSectors == 0) return std::nullopt;
    return std::min(totalSectors - 1, kLastEntrySector);
}

bool SectorInUse(std::span<const Extent> primaries, std::uint64_t totalSectors, std::uint64_t s) {
    if (s > totalSectors) return false;
    return RangeInUse(primaries, s, s);
}

bool RangeInUse(std::span<const Extent> primaries, std::uint64_t first, std::uint64_t last) {
    return std::any_of(primaries.begin(), primaries.end(),
                       [&](const Extent& p) { return p.start <= last && first <= p.End(); });
}

std::optional<FreeRegion> FindFreeSpace(std::span<const Extent> primaries, std::uint64_t totalSectors,
                                        std::uint64_t alignSectors) {
    const auto limit = LastCreatableSector(totalSectors);
    if (!limit) return std::nullopt;
    for (FreeRegion region : Regions(primaries, totalSectors)) {
        region.first = AlignUp(region.first, alignSectors);
        region.last = std::min(region.last, *limit);
        if (region.first < region.last) return region;
    }
    return std::nullopt;
}

std::uint64_t LargestSizeFrom(std::span<const Extent> primaries, std::uint64_t totalSectors,
                              std::uint64_t first) {
    const auto limit = LastCreatableSector(totalSectors);
    if (!limit) return 0;
    std::uint64_t last = *limit;
    for (const Extent& p : primaries)
        if (p.start > first) last = std::min(last, p.start - 1);
    return last > first ? last - first : 0;
}

std::uint64_t AlignmentSectors(std::uint64_t kib) {
    constexpr std::uint64_t kLargestKiB = 512 * 1024;
    const bool powerOfTwo = kib != 0 && (kib & (kib - 1)) == 0;
    return powerOfTwo && kib <= kLargestKiB ? kib * (1024 / kSectorSize) : 0;
}

std::uint64_t AlignUp(std::uint64_t sector, std::uint64_t alignSectors) {
    const std::uint64_t over = alignSectors > 1 ? sector % alignSectors : 0;
    return over == 0 ? sector : sector + (alignSectors - over);
}

PartitionEntry NewEntry(std::uint32_t start, std::uint32_t size, std::uint8_t type, bool active,
                        std::uint32_t heads, std::uint32_t sectorsPerTrack) {
    // start + size stays within 32 bits: the callers never reach past
    // kLastEntrySector.
    return MakeEntry(active, type, LbaToChs(start, heads, sectorsPerTrack),
                     LbaToChs(start + size, heads, sectorsPerTrack), start, size);
}

int CreateEntry(mDisk& disk, std::uint64_t start, std::uint64_t size, std::uint8_t type, bool active) {
    PartitionList* list = disk.Mbr();
    if (!list) return kCreateWithoutMbr;
    if (const int refused = RefuseUnlessTable(disk); refused != 0) return refused;
    if (start > kLastEntrySector || size > kLastEntrySector - start) return kSizeTooLarge;
    const int slot = LowestFreeSlot(*list);
    if (slot < 0) return kTableFull;
    const DiskGeometryFields& g = disk.Geometry();
    auto record = std::make_unique<mPart>();
    record->entry = NewEntry(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(size), type,
                             active, g.tracksPerCylinder, g.sectorsPerTrack);
    SetType(*record, type, active);
    record->bytes = record->sectors * kSectorSize;
    record->slot = static_cast<std::uint32_t>(slot);
    list->AppendPrimary(std::move(record));
    return RebuildTable(disk, false);
}

int CreatePartition(mDisk& disk, const CreateRequest& request) {
    if (disk.IsGpt()) throw kNotGptDisk;
    // A filesystem that fills the disk, or a sector 0 without 55 AA, has no
    // table to add to; whatever its bytes seem to hold is no partition.
    if (const int refused = RefuseUnlessTable(disk); refused != 0) throw static_cast<MBRERRORS>(refused);
    PartitionList* list = disk.Mbr();
    if (list && list->PartitionCount(0) >= kSlotCount) throw kTableFull;
    if (list && list->CheckOrder() == 0) throw kMustBeSorted;
    const std::vector<Extent> primaries = list ? PrimaryExtents(*list) : std::vector<Extent>{};
    const std::uint64_t total = disk.TotalSectors();
    const Placement place = Place(primaries, total, request);
    const std::uint64_t size = Size(primaries, total, request, place);
    int result = CreateEntry(disk, place.start, size, request.type, false);
    // The new partition is on the medium before the system is asked to look;
    // whether it could be asked changes nothing.
    if (result == 0) result = disk.FinishWrites();
    if (result == 0) disk.UpdateProperties();
    return result;
}

}  // namespace partam
