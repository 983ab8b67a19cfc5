// The hosted sparse extent of a VMDK: its 512-byte header, and where a
// sector of the extent lies. The extent's sectors are grouped in grains; a
// grain directory lists the grain tables, and each grain table entry holds
// the file sector of one grain, 0 while the grain holds only zeros and has
// no place in the file yet. Pure: the device does the reading.
#pragma once

#include <cstdint>

#include "base/endian.h"
#include "base/mbr_format.h"

namespace partam {

// The header's fields, kept as the bytes they are on disk.
struct SparseHeader {
    Sector bytes{};

    static constexpr std::uint32_t kRedundantTables = 1u << 1;
    static constexpr std::uint32_t kZeroGrainEntries = 1u << 2;  // entry 1: a grain of zeros
    static constexpr std::uint32_t kCompressed = 1u << 16;
    static constexpr std::uint32_t kMarkers = 1u << 17;

    bool HasMagic() const { return bytes[0] == 'K' && bytes[1] == 'D' && bytes[2] == 'M' && bytes[3] == 'V'; }
    std::uint32_t Version() const { return LoadLe32(&bytes[4]); }
    std::uint32_t Flags() const { return LoadLe32(&bytes[8]); }
    std::uint64_t Capacity() const { return LoadLe64(&bytes[12]); }
    std::uint64_t GrainSize() const { return LoadLe64(&bytes[20]); }
    std::uint64_t DescriptorOffset() const { return LoadLe64(&bytes[28]); }
    std::uint64_t DescriptorSize() const { return LoadLe64(&bytes[36]); }
    std::uint32_t EntriesPerTable() const { return LoadLe32(&bytes[44]); }
    std::uint64_t RedundantDirectory() const { return LoadLe64(&bytes[48]); }
    std::uint64_t Directory() const { return LoadLe64(&bytes[56]); }
    std::uint64_t Overhead() const { return LoadLe64(&bytes[64]); }
    // Set while a writer changes the extent's tables: an extent found with
    // it set was left by a writer that stopped half way, and wants checking.
    static constexpr std::size_t kUncleanShutdown = 72;
    bool UncleanShutdown() const { return bytes[kUncleanShutdown] != 0; }

    bool HasRedundantTables() const { return (Flags() & kRedundantTables) != 0; }
    bool HasZeroGrainEntries() const { return (Flags() & kZeroGrainEntries) != 0; }
};

// Bounds on what a header may ask for: a grain of at most 32 MiB, a grain
// table of at most 256 KiB, a grain directory of at most 2^20 entries.
inline constexpr std::uint64_t kMaxGrainSectors = 65536;
inline constexpr std::uint32_t kMaxTableEntries = 65536;
inline constexpr std::uint64_t kMaxDirectoryEntries = std::uint64_t{1} << 20;

// What a checked header implies: the size of the directory and of a table.
struct SparseLayout {
    std::uint32_t directoryEntries = 0;
    std::uint32_t directorySectors = 0;
    std::uint32_t tableSectors = 0;
};

// 0 when the header describes an extent of `sectors` sectors whose tables
// lie within a file of fileSectors sectors; 568 when its capacity is not the
// descriptor's size for the extent; 567 for anything else this program
// cannot read (no magic, an unknown version, compressed grains, sizes past
// their bounds, tables outside the file).
int CheckSparseHeader(const SparseHeader& header, std::uint64_t sectors, std::uint64_t fileSectors);
// Of a checked header.
SparseLayout LayoutOf(const SparseHeader& header);

// Where sector n of the extent lies: its grain table (by directory index),
// its entry there, the sector within the grain and how many sectors of the
// grain are left from it.
struct GrainSpot {
    std::uint32_t directoryIndex = 0;
    std::uint32_t tableIndex = 0;
    std::uint64_t inGrain = 0;
    std::uint64_t left = 0;
};
GrainSpot Locate(const SparseHeader& header, std::uint64_t sector);

}  // namespace partam
