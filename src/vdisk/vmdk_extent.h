// What the VMDK device keeps of each extent: shared by its two halves,
// vmdk_device.cpp (files and the mapping of the disk's sectors) and
// vmdk_grains.cpp (a sparse extent's grains and tables). Nothing else
// includes it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "disk/sector_file.h"
#include "vdisk/descriptor.h"
#include "vdisk/sparse_extent.h"
#include "vdisk/vmdk_device.h"

namespace partam {

// A grain table as the running command knows it: its entries, which of its
// sectors the command changed (to be written in both copies), and whether
// its redundant copy is new, so that every sector of that copy is written.
struct VmdkDevice::GrainTable {
    std::vector<std::uint32_t> entries;
    std::vector<bool> changed;
    bool newRedundant = false;
};

struct VmdkDevice::Extent {
    ExtentLine line;
    std::string path;
    std::uint64_t first = 0;  // its first sector on the virtual disk
    std::unique_ptr<SectorFile> file;
    bool readOnly = false;  // the file opens for reading alone
    bool written = false;   // since the file was last flushed
    std::uint64_t lastUse = 0;
    // A sparse extent's header, its directories and the sector where its
    // file ends, where the next grain or table goes.
    SparseHeader header;
    SparseLayout layout;
    std::vector<std::uint32_t> directory;
    std::vector<std::uint32_t> redundant;
    std::uint64_t end = 0;
    // The grain tables the command read or changed, by directory index; the
    // directory sectors that name a table it added (the same sectors in
    // both directories); whether anything of that is still to be written.
    std::map<std::uint32_t, GrainTable> tables;
    std::set<std::uint32_t> directorySectors;
    bool changed = false;
};

inline constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;

inline std::size_t SectorBytes(std::uint64_t sectors) {
    return static_cast<std::size_t>(sectors * kSectorSize);
}

}  // namespace partam
