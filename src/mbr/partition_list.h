// The MBR partition table of a disk with the chain of extended boot records
// behind it, as a list of partitions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "disk/geometry.h"
#include "disk/partition.h"
#include "disk/partition_table.h"

namespace partam {

class mDisk;

class PartitionList : public PartitionTable {
public:
    // Reads the table of the disk's sector-0 copy and its extended chain.
    explicit PartitionList(mDisk& disk);

    std::int32_t PartitionCount(int kind) const override;
    mPart* GetPartition(int number, bool byPosition) override;

    // The sorted flag; ascending (when given) receives the primaries in
    // ascending order of start.
    int CheckOrder(std::vector<mPart*>* ascending = nullptr);

    int sorted = 1;
    std::vector<std::unique_ptr<mPart>> records;
    std::uint32_t primaryCount = 0;
    std::uint32_t logicalCount = 0;
    mDisk* disk;

private:
    void ReadTable();
    void AddPlaceholder();
    void ReadSuperFloppy();
    void ReadPrimaries();
    void AddPrimary(int slot, const PartitionEntry& entry, const DriveLayout& layout, bool removable);
    bool LooksLikeBootText();
    void WalkExtended(std::uint64_t extendedStart);
    void AddLogical(const PartitionEntry& entry, std::uint64_t ebrSector);
    bool IsOnDisk(std::uint64_t lba) const;
};

// The longest extended chain that is followed, far beyond any real disk;
// a chain that is longer is taken to be damaged.
inline constexpr std::size_t kMaxExtendedChain = 4096;

// The reader the disk object builds MBR tables with.
std::unique_ptr<PartitionTable> ReadMbrTable(mDisk& disk);

// Sets a record's type and what follows from it: type name, CHS from the
// entry, start and sectors from the entry, hidden flag.
void SetType(mPart& record, std::uint32_t type, bool active);

// Fills a record from slot (0-3) of the system's layout; false when the
// slot holds no partition.
bool BuildFromLayout(int slot, const DriveLayout& layout, mPart& record);

}  // namespace partam
