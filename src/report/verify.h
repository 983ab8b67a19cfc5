// The checks of /verify: everything wrong with a disk's partition table that
// can be told from its sectors alone, one finding each, in the way a
// verifier reports ("partition 2: reaches past the end of the disk").
// The checks are pure: they read sectors through a reader and never write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/mbr_format.h"

namespace partam {

enum class Severity {
    Problem,  // the table is not sound: /verify ends 513
    Warning,  // worth knowing, but every tool reads the table the same way
    Note,     // a fact about the table that is no fault (a hybrid MBR)
};

struct Finding {
    Severity severity = Severity::Problem;
    std::string where;  // "partition 2", "EBR at sector 4096", "primary GPT header"
    std::string what;
};

// What the checks know of the disk besides its sectors.
struct VerifiedDisk {
    SectorReader read;
    SectorRunReader readRun;  // the same sectors, many in one transfer
    Sector sector0{};
    std::uint64_t totalSectors = 0;     // 0 when unknown: no end to check against
    std::uint32_t heads = 0;            // the geometry CHS addresses are checked against;
    std::uint32_t sectorsPerTrack = 0;  // 0: not checked
};

// The MBR of sector 0 and every extended chain behind it. A sector 0 without
// 55 AA has no table to check beyond that one finding.
std::vector<Finding> VerifyMbr(const VerifiedDisk& disk);

// The protective MBR of a GPT disk: its 0xEE entry should cover the disk
// from sector 1 to its end (or to sector 2^32 - 1); other entries beside it
// make a hybrid MBR, which is said but is no fault.
std::vector<Finding> VerifyProtectiveMbr(const VerifiedDisk& disk);

// Both copies of a GPT, each header and each entry array apart ("backup GPT
// entries: entry array CRC mismatch"), then the partitions of the copy
// that passes: overlaps, and unique GUIDs that are not unique.
std::vector<Finding> VerifyGpt(const VerifiedDisk& disk);

// The number of findings that are problems.
std::size_t ProblemCount(const std::vector<Finding>& findings);

// The extents a disk's partitions take, for the overlap check every table
// kind shares: each one that overlaps one before it in disk order gives a
// finding naming both, unless the pair is one `reported` turns down.
struct PartitionExtent {
    std::string name;
    std::uint64_t first = 0;
    std::uint64_t sectors = 0;
    bool logical = false;
};
using OverlapFilter = bool (*)(const PartitionExtent& earlier, const PartitionExtent& later);
void FindOverlaps(std::vector<PartitionExtent> extents, std::vector<Finding>& findings,
                  OverlapFilter reported = nullptr);

}  // namespace partam
