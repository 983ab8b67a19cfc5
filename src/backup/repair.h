// Replacing the boot code of an MBR with one of the built-in images while
// the partition table and the disk signature stay.
#pragma once

#include <array>
#include <cstdint>

#include "backup/boot_code.h"
#include "base/mbr_format.h"
#include "disk/disk.h"

namespace partam {

// Sector 0 with new boot code: bytes 0 to 439 from the image, the disk
// signature at 440 to 443 and the partition table at 446 to 509 as the
// sector holds them, zeros at 444 and 445, and 55 AA.
Sector WithBootCode(SectorView sector0, const BootCodeImage& image);

// Writes the image into the selected disk's sector 0 as read now, keeping
// its table and the four bytes at 440, whatever its last two bytes held.
// Returns, and records in the disk object, 0, 506 when sector 0 cannot be
// read, 518 when it is a filesystem's boot sector or another system's label
// (nothing is written either way), or 505 when the write fails.
[[nodiscard]] int RepairBootCode(mDisk& disk, const BootCodeImage& image);

// The MBR table of a disk whose table the reader found inconsistent, rebuilt
// from the system's view of the four slots: each partition the system sees
// that the table does not hold joins the primaries in the lowest slot they
// leave free, and the table is
// written back (boot code, signature and chain stay). A disk whose table
// holds together is left as it is; a sector 0 that holds no table is
// refused (see RefuseUnlessTable). Returns the disk object's error state.
[[nodiscard]] int RebuildTableFromLayout(mDisk& disk);

}  // namespace partam
