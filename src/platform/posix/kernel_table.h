// The partitions Linux keeps for an MBR disk, and the changes that bring its
// view in line with the table now on the disk. The kernel reads a table by
// itself (BLKRRPART) only while none of the disk's partitions is open, and
// only when it was built with an MBR reader; otherwise it has to be told
// partition by partition (BLKPG), as the partitioning tools tell it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/mbr_format.h"

namespace partam::posix {

struct KernelPartition {
    std::uint32_t number = 0;  // 1-4 the MBR slots, 5 on the logical partitions in chain order
    std::uint64_t start = 0;   // in 512-byte sectors
    std::uint64_t sectors = 0;
    friend bool operator==(const KernelPartition&, const KernelPartition&) = default;
};

// The kernel numbers partitions below this.
inline constexpr std::uint32_t kKernelPartitionLimit = 256;

// The partitions the kernel's MBR reader finds in a disk's sectors, in
// number order: a slot counts when its size is not 0; an extended slot
// (0x05, 0x0F, 0x85) is kept as its first two sectors, and its chain gives
// the logical partitions. Nothing when sector 0 holds no MBR table (no boot
// signature, or a status byte other than 0 and 0x80). No answer at all for a
// protective MBR: such a disk's partitions are those of its GPT.
std::optional<std::vector<KernelPartition>> KernelView(const SectorReader& read, std::uint64_t diskSectors);

struct KernelChange {
    enum Kind { Delete, Resize, Add } kind = Add;
    KernelPartition partition;
    friend bool operator==(const KernelChange&, const KernelChange&) = default;
};

// What turns the kernel's current partitions into the wanted ones: every
// deletion first, then the resizes (a partition that keeps its start), then
// the additions, each in number order; nothing for a partition that stays.
std::vector<KernelChange> PlanKernelChanges(const std::vector<KernelPartition>& current,
                                            const std::vector<KernelPartition>& wanted);

}  // namespace partam::posix
