// What the disk object and the commands ask of the partition table the disk
// object has read, whatever its kind: the MBR with its extended chain, or
// the GPT. A command that needs the kind's own operations asks for them by
// kind and gets nothing from a table of the other kind.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/mbr_format.h"
#include "disk/geometry.h"
#include "disk/partition.h"

namespace partam {

class PartitionList;  // the MBR and its extended chain
class GptDisk;        // the GPT

class PartitionTable {
public:
    virtual ~PartitionTable() = default;
    // kind 0 primaries, 1 logicals, 2 both, any other kind 0.
    virtual std::int32_t PartitionCount(int kind) const = 0;
    // By list position, or by primary number; null when there is none.
    virtual mPart* GetPartition(int number, bool byPosition) = 0;
    // 0 when the table was read without a discrepancy; else the code the disk
    // object records for it (513 for a corrupt MBR table).
    virtual int Problem() const = 0;

    virtual PartitionList* Mbr() { return nullptr; }
    virtual GptDisk* Gpt() { return nullptr; }
};

// What a table reader is given: the disk's sectors and what the disk object
// already knows of it. Readers do no other I/O.
struct TableSource {
    SectorReader read;
    SectorRunReader readRun;  // the same sectors, many in one transfer
    Sector sector0{};
    std::uint64_t totalSectors = 0;  // 0 when unknown
    bool mediaPresent = true;
    bool removable = false;
    BootFileSystem superFloppy = BootFileSystem::None;
    // The system's view of the four slots, asked only for removable media;
    // nothing when it did not answer.
    std::optional<DriveLayout> layout;
};

// The volume label of one partition of the selected disk, read whenever the
// disk is read: from the system for a volume under a drive letter, or from
// the volume itself. It lives with the filesystems, above the disk layer.
class mDisk;
using LabelReader = std::function<std::string(mDisk& disk, const mPart& partition)>;

// The readers the disk object builds its table with, one per table kind,
// and the one that reads the labels of its partitions. They live above the
// disk layer; the program wires them in.
using TableReader = std::function<std::unique_ptr<PartitionTable>(const TableSource&)>;
struct TableReaders {
    TableReader mbr;
    TableReader gpt;
    // None leaves every label empty.
    LabelReader label = {};
};

}  // namespace partam
