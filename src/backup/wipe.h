// Overwriting runs of sectors of the selected disk with zeros, and copying
// one sector onto another, through the disk object.
#pragma once

#include <cstdint>

#include "backup/progress.h"
#include "disk/disk.h"

namespace partam {

// Writes zeros to sectors first to last of the selected disk, both
// included, in transfers of up to kChunkSectors from one zero buffer. A
// transfer that fails is written again sector by sector, so every sector
// that can be written is, and each one that cannot records 505 (the first
// error wins). Sectors at or past the end of the disk cannot be written;
// they are not tried and count as failed. Nothing happens when first >
// last. With progress, the figure follows the sectors done. Returns the
// disk object's error state.
[[nodiscard]] int WipeSectors(mDisk& disk, std::uint64_t first, std::uint64_t last,
                              ProgressFigure* progress = nullptr);

// Reads sector source and writes it to sector target: 506 when the read
// fails (nothing is written), 505 when the write fails. Returns the disk
// object's error state.
[[nodiscard]] int CopySector(mDisk& disk, std::uint64_t source, std::uint64_t target);

}  // namespace partam
