// What the disk object asks of the partition table it has read, whatever its
// kind (MBR with its extended chain, or GPT).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "disk/partition.h"

namespace partam {

class mDisk;

class PartitionTable {
public:
    virtual ~PartitionTable() = default;
    // kind 0 primaries, 1 logicals, 2 both, any other kind 0.
    virtual std::int32_t PartitionCount(int kind) const = 0;
    // By list position, or by primary number; null when there is none.
    virtual mPart* GetPartition(int number, bool byPosition) = 0;
};

// The readers the disk object builds its table with, one per table kind.
// They live above the disk layer; the program wires them in.
using TableReader = std::function<std::unique_ptr<PartitionTable>(mDisk&)>;
struct TableReaders {
    TableReader mbr;
    TableReader gpt;
};

}  // namespace partam
