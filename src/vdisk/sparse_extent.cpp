#include "vdisk/sparse_extent.h"

#include "base/result_codes.h"

namespace partam {

namespace {

constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;

bool IsPowerOfTwo(std::uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

// A table of `count` sectors at `at` lies within the file.
bool Inside(std::uint64_t at, std::uint64_t count, std::uint64_t fileSectors) {
    return at >= 1 && at <= fileSectors && count <= fileSectors - at;
}

}  // namespace

int CheckSparseHeader(const SparseHeader& h, std::uint64_t sectors, std::uint64_t fileSectors) {
    if (!h.HasMagic() || h.Version() < 1 || h.Version() > 3) return kVdiskUnknownFormat;
    if ((h.Flags() & (SparseHeader::kCompressed | SparseHeader::kMarkers)) != 0) return kVdiskUnknownFormat;
    const std::uint64_t grain = h.GrainSize();
    const std::uint32_t entries = h.EntriesPerTable();
    if (!IsPowerOfTwo(grain) || grain > kMaxGrainSectors) return kVdiskUnknownFormat;
    if (entries == 0 || entries % kEntriesPerSector != 0 || entries > kMaxTableEntries)
        return kVdiskUnknownFormat;
    if (h.Capacity() != sectors) return kVdiskNoParameters;
    // Capacity is bounded by the descriptor's bound on an extent, so the
    // quotient is exact and cannot overflow.
    const std::uint64_t span = grain * entries;
    if ((h.Capacity() + span - 1) / span > kMaxDirectoryEntries) return kVdiskUnknownFormat;
    const SparseLayout layout = LayoutOf(h);
    if (!Inside(h.Directory(), layout.directorySectors, fileSectors)) return kVdiskUnknownFormat;
    if (h.HasRedundantTables() && !Inside(h.RedundantDirectory(), layout.directorySectors, fileSectors))
        return kVdiskUnknownFormat;
    // Grains lie past the overhead: a grain table entry below it is refused,
    // so the overhead must cover both directories, or a damaged entry could
    // send a grain's data over one of them.
    if (h.Overhead() > fileSectors || h.Overhead() < h.Directory() + layout.directorySectors)
        return kVdiskUnknownFormat;
    if (h.HasRedundantTables() && h.Overhead() < h.RedundantDirectory() + layout.directorySectors)
        return kVdiskUnknownFormat;
    return 0;
}

SparseLayout LayoutOf(const SparseHeader& h) {
    const std::uint64_t span = h.GrainSize() * h.EntriesPerTable();
    SparseLayout layout;
    layout.directoryEntries = static_cast<std::uint32_t>((h.Capacity() + span - 1) / span);
    layout.directorySectors = (layout.directoryEntries + kEntriesPerSector - 1) / kEntriesPerSector;
    layout.tableSectors = h.EntriesPerTable() / kEntriesPerSector;
    return layout;
}

GrainSpot Locate(const SparseHeader& h, std::uint64_t sector) {
    const std::uint64_t grain = sector / h.GrainSize();
    GrainSpot spot;
    spot.directoryIndex = static_cast<std::uint32_t>(grain / h.EntriesPerTable());
    spot.tableIndex = static_cast<std::uint32_t>(grain % h.EntriesPerTable());
    spot.inGrain = sector % h.GrainSize();
    spot.left = h.GrainSize() - spot.inGrain;
    return spot;
}

}  // namespace partam
