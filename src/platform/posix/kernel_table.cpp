#include "platform/posix/kernel_table.h"

#include <algorithm>
#include <map>

namespace partam::posix {

namespace {

// The kernel enters these as containers of further tables.
bool IsKernelExtended(std::uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

// The kernel gives up on a chain after this many tables in a row that
// added no partition.
constexpr int kIdleTableLimit = 100;

std::optional<PartitionEntry> FirstContainer(const Sector& s) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PartitionEntry e = ReadSlot(s, slot);
        if (e.Sectors() != 0 && IsKernelExtended(e.TypeByte())) return e;
    }
    return std::nullopt;
}

class ViewBuilder {
public:
    ViewBuilder(const SectorReader& read, std::uint64_t diskSectors) : read_(read), diskSectors_(diskSectors) {}

    std::optional<std::vector<KernelPartition>> Build() {
        Sector s{};
        if (!Read(0, s) || !HasBootSignature(s)) return parts_;
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const PartitionEntry e = ReadSlot(s, slot);
            // A FAT boot sector or other non-table: the kernel stops here.
            if (e.Status() != 0 && e.Status() != kActiveStatus) return parts_;
            if (e.TypeByte() == kProtectiveType) return std::nullopt;
        }
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const PartitionEntry e = ReadSlot(s, slot);
            const auto number = static_cast<std::uint32_t>(slot + 1);
            if (e.Sectors() == 0) continue;
            if (IsKernelExtended(e.TypeByte())) {
                // Kept small, so that nothing mistakes it for a filesystem.
                Put(number, e.Start(), std::min<std::uint64_t>(e.Sectors(), 2));
                WalkChain(e.Start(), e.Sectors());
            } else {
                Put(number, e.Start(), e.Sectors());
            }
        }
        return parts_;
    }

private:
    bool Read(std::uint64_t lba, Sector& s) const { return lba < diskSectors_ && read_ && read_(lba, s.data()); }

    // A partition from beyond the end of the disk is left out; one that
    // runs past it is cut there.
    void Put(std::uint32_t number, std::uint64_t start, std::uint64_t sectors) {
        if (start >= diskSectors_ || number >= kKernelPartitionLimit) return;
        parts_.push_back({number, start, std::min(sectors, diskSectors_ - start)});
    }

    // Every table of the chain may hold partitions in any slot; the third
    // and fourth slots only when they lie inside their table's space and the
    // extended partition. The first container slot leads on.
    void WalkChain(std::uint64_t firstSector, std::uint64_t firstSize) {
        std::uint64_t thisSector = firstSector, thisSize = firstSize;
        Sector s{};
        for (int idle = 0; idle < kIdleTableLimit && next_ < kKernelPartitionLimit; ++idle) {
            if (!Read(thisSector, s) || !HasBootSignature(s)) return;
            for (int slot = 0; slot < kSlotCount; ++slot) {
                const PartitionEntry e = ReadSlot(s, slot);
                if (e.Sectors() == 0 || IsKernelExtended(e.TypeByte())) continue;
                const std::uint64_t offset = e.Start(), size = e.Sectors(), from = thisSector + offset;
                if (slot >= 2 && (offset + size > thisSize || from < firstSector ||
                                  from + size > firstSector + firstSize))
                    continue;
                Put(next_, from, size);
                idle = -1;
                if (++next_ >= kKernelPartitionLimit) return;
            }
            const std::optional<PartitionEntry> link = FirstContainer(s);
            if (!link) return;
            thisSector = firstSector + link->Start();
            thisSize = link->Sectors();
        }
    }

    const SectorReader& read_;
    std::uint64_t diskSectors_;
    std::uint32_t next_ = 5;
    std::vector<KernelPartition> parts_;
};

}  // namespace

std::optional<std::vector<KernelPartition>> KernelView(const SectorReader& read, std::uint64_t diskSectors) {
    return ViewBuilder(read, diskSectors).Build();
}

std::vector<KernelChange> PlanKernelChanges(const std::vector<KernelPartition>& current,
                                            const std::vector<KernelPartition>& wanted) {
    std::map<std::uint32_t, KernelPartition> have, want;
    for (const KernelPartition& p : current) have[p.number] = p;
    for (const KernelPartition& p : wanted) want[p.number] = p;
    std::vector<KernelChange> deletes, resizes, adds;
    for (const auto& [number, p] : have) {
        const auto w = want.find(number);
        if (w == want.end() || w->second.start != p.start)
            deletes.push_back({KernelChange::Delete, p});
        else if (w->second.sectors != p.sectors)
            resizes.push_back({KernelChange::Resize, w->second});
    }
    for (const auto& [number, p] : want) {
        const auto h = have.find(number);
        if (h == have.end() || h->second.start != p.start) adds.push_back({KernelChange::Add, p});
    }
    deletes.insert(deletes.end(), resizes.begin(), resizes.end());
    deletes.insert(deletes.end(), adds.begin(), adds.end());
    return deletes;
}

}  // namespace partam::posix
