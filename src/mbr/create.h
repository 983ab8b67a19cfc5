// Creating a primary partition in the MBR table of the selected disk: where
// it starts (a sector given, or the first free region), how far it reaches
// (a size in KiB, or all the room there is), how its start is aligned, and
// the entry written into the lowest free slot.
//
// Free space is reckoned as the table's partitions are: a partition owns the
// sectors from its start to start + sectors, the sector after its last one
// included. So a free region begins one sector after a partition, and a
// partition created at sector F with size n owns F to F + n.
//
// An entry holds 32-bit sector numbers: no partition is made whose start or
// size would be cut to fit, and none reaches past sector 2^32 - 1 or past the
// disk's last sector.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "base/mbr_format.h"
#include "disk/disk.h"

namespace partam {

// The last sector an entry's 32-bit numbers reach.
inline constexpr std::uint64_t kLastEntrySector = 0xFFFFFFFFu;
// No free region is looked for below this sector.
inline constexpr std::uint64_t kLowestCreateStart = 64;

// What a primary partition owns: start to start + sectors.
struct Extent {
    std::uint64_t start = 0;
    std::uint64_t sectors = 0;
    std::uint64_t End() const { return start + sectors; }
};

// Free sectors first to last; the partition made there has size last - first.
struct FreeRegion {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t Size() const { return last - first; }
};

// --- The pure parts: over the primaries' extents, in any order. ------------

// The last sector a new partition may own on a disk of totalSectors: the
// disk's last, or the last an entry reaches; nothing on a disk of no sectors.
std::optional<std::uint64_t> LastCreatableSector(std::uint64_t totalSectors);

// Sector s lies within a primary. A sector beyond the disk's sector count is
// never in use.
bool SectorInUse(std::span<const Extent> primaries, std::uint64_t totalSectors, std::uint64_t s);
// Some sector from first to last lies within a primary.
bool RangeInUse(std::span<const Extent> primaries, std::uint64_t first, std::uint64_t last);

// The first free region, in disk order: from sector 64 when there are no
// primaries or the first starts after 64; then each gap between one
// partition's end and the next start; then what follows the last end, when
// more than 500 sectors do. A region counts only when it keeps room for a
// sector once its first sector is aligned (alignSectors 1 aligns nothing);
// its last sector is at most the last creatable one.
std::optional<FreeRegion> FindFreeSpace(std::span<const Extent> primaries, std::uint64_t totalSectors,
                                        std::uint64_t alignSectors = 1);

// The size from sector first up to the nearest primary that starts after
// it (its start - 1), or to the last creatable sector; 0 when there is no
// room.
std::uint64_t LargestSizeFrom(std::span<const Extent> primaries, std::uint64_t totalSectors,
                              std::uint64_t first);

// An alignment of kib KiB in sectors: kib a power of two from 1 to 524288
// (1 KiB to 512 MiB); 0 for any other value.
std::uint64_t AlignmentSectors(std::uint64_t kib);
// The first sector at or after sector whose byte offset is a multiple of
// alignSectors sectors.
std::uint64_t AlignUp(std::uint64_t sector, std::uint64_t alignSectors);

// The entry of a new partition, not active unless asked: the CHS addresses
// of start and of start + size in a geometry of heads x sectorsPerTrack.
PartitionEntry NewEntry(std::uint32_t start, std::uint32_t size, std::uint8_t type, bool active,
                        std::uint32_t heads, std::uint32_t sectorsPerTrack);

// --- On the disk object. -----------------------------------------------------

struct CreateRequest {
    enum class Size {
        Largest,  // none given: the free region's, or all the room from start
        Max,      // all the room from the start
        KiB,      // sizeKiB
    };
    std::optional<std::uint64_t> start;     // none: the first free region
    std::optional<std::uint64_t> alignKiB;  // none: not aligned
    Size size = Size::Largest;
    std::uint64_t sizeKiB = 0;
    std::uint8_t type = 7;
};

// Creates the partition a request describes on the selected disk, checking
// in this order and throwing the first refusal as an MBRERRORS value: 131 a
// GPT disk; 518 a sector 0 that holds no table to add to (506 one that could
// not be read); 143 four primaries already; 126 a table not in disk order; 137 a
// start in use (also once aligned); 142 no free region; 139 an alignment
// that is no power of two from 1 KiB to 512 MiB; 138 a start past the disk
// or past what an entry reaches, or a size that runs into a partition, past
// the disk or past that reach; 141 a size of 0, or no room from the start. Then the entry is written
// (CreateEntry), flushed, and the system asked to read the disk's properties again. Returns the result of the
// write.
[[nodiscard]] int CreatePartition(mDisk& disk, const CreateRequest& request);

// Puts the entry of a new primary into the lowest free slot of the disk's
// list and writes the table back. 518 (recorded) when sector 0 holds no MBR
// to add to (see RefuseUnlessTable); 505 when the write failed; 0 when
// written. It checks no free space: the caller has.
[[nodiscard]] int CreateEntry(mDisk& disk, std::uint64_t start, std::uint64_t size, std::uint8_t type,
                              bool active);

}  // namespace partam
