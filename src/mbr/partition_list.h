// The MBR partition table of a disk with the chains of extended boot records
// behind it, as a list of partitions, and the reader that builds it from the
// disk's sectors alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "disk/geometry.h"
#include "disk/partition.h"
#include "disk/partition_table.h"

namespace partam {

// What the reader found wrong with a table. Any finding makes the table
// corrupt: the listing warns and the disk object records 513.
enum TableFinding : std::uint32_t {
    kFindingBootText = 1u << 0,         // four primaries that spell boot-sector message bytes
    kFindingRemovableType = 1u << 1,    // a removable disk's slot type differs from the system's view
    kFindingChainLoop = 1u << 2,        // an EBR link leads back to an EBR already read
    kFindingChainOutside = 1u << 3,     // an EBR lies beyond the end of the disk
    kFindingChainUnreadable = 1u << 4,  // an EBR could not be read
    kFindingChainTooLong = 1u << 5,     // more EBRs than any disk holds
};

// The longest extended chain that is followed, far beyond any real disk; a
// chain that is longer is taken to be damaged.
inline constexpr std::uint32_t kMaxExtendedChain = 16384;

struct MbrReadLimits {
    std::uint32_t maxChain = kMaxExtendedChain;
};

class PartitionList : public PartitionTable {
public:
    std::int32_t PartitionCount(int kind) const override;
    mPart* GetPartition(int number, bool byPosition) override;
    int Problem() const override;
    PartitionList* Mbr() override { return this; }

    // The sorted flag as read; CheckOrder works it out again and, when given
    // ascending, fills it with the primaries in ascending order of start.
    int Sorted() const { return sorted_; }
    int CheckOrder(std::vector<mPart*>* ascending = nullptr);
    std::uint32_t Findings() const { return findings_; }
    // Primaries in slot order, each extended one followed by its chain.
    const std::vector<std::unique_ptr<mPart>>& Records() const { return records_; }

    // Takes in a partition made for a slot of its own, as the primary after
    // the last (its position the new count); it goes after any extended
    // chain, until the table is read again.
    mPart& AppendPrimary(std::unique_ptr<mPart> record);

private:
    friend class MbrReader;
    std::vector<std::unique_ptr<mPart>> records_;
    std::uint32_t primaryCount_ = 0;
    std::uint32_t logicalCount_ = 0;
    std::uint32_t findings_ = 0;
    int sorted_ = 1;
};

// Reads the table of sector 0 and its extended chains through source.read.
// It never fails: what it cannot read or make sense of ends the walk there
// and becomes a finding.
std::unique_ptr<PartitionList> ReadMbrTable(const TableSource& source, const MbrReadLimits& limits = {});

// ReadMbrTable as the disk object's reader of MBR tables.
TableReader MbrTableReader();

// Sets a record's type and what follows from it: type name, CHS from the
// entry, start and sectors from the entry, hidden flag.
void SetType(mPart& record, std::uint32_t type, bool active);

// Fills a record from slot (0-3) of the system's layout; false when the
// slot holds no partition.
bool BuildFromLayout(int slot, const DriveLayout& layout, mPart& record);

}  // namespace partam
