// What the first sector of a disk holds, told from its 512 bytes alone: an
// MBR partition table, the boot sector of a filesystem that fills the whole
// disk, another system's disk label, or nothing with 55 AA at its end.
//
// A filesystem's boot sector ends in 55 AA as an MBR does, and an MBR's boot
// code may begin with a jump as a boot sector does; neither tells them apart.
// A boot sector is known by several of its fields together: the jump, the
// OEM name, a sector size, the counts its BIOS parameter block must hold and
// the name of its filesystem.
#pragma once

#include "base/mbr_format.h"

namespace partam {

enum class BootSectorFileSystem { None, Fat, Ntfs, ExFat };

// FAT12, FAT16 and FAT32: a jump (EB xx 90 or E9), a sector size of 512 to
// 4096 bytes, a power of two of sectors per cluster, reserved sectors, one
// or two FATs, a media byte, and either "FAT" as the filesystem name of the
// extended parameter block (at 54, or "FAT32" at 82) or, for a volume made
// before that block, root directory entries and sectors per FAT.
// NTFS: the jump, "NTFS    " as OEM name, a sector size, and the FAT fields
// NTFS keeps zero. exFAT: the jump, "EXFAT   ", bytes 11 to 63 zero, a
// sector size shift of 9 to 12 and one or two FATs.
BootSectorFileSystem FileSystemOfBootSector(SectorView sector);

enum class SectorZeroKind {
    PartitionTable,   // 55 AA and none of the below
    ProtectiveTable,  // an MBR table with a GPT (0xEE) entry in one of its slots
    FileSystem,       // a FAT, NTFS or exFAT boot sector
    ForeignLabel,     // a Sun label (DA BE at 508, its words' XOR zero) or an SGI one (0B E5 A9 41 at 0)
    NoBootSignature,  // anything else that does not end in 55 AA
};

SectorZeroKind ClassifySectorZero(SectorView sector);

// Whether a partition table may be written back over the sector: an MBR
// table, protective or not. Anything else would be destroyed by it.
inline bool HoldsPartitionTable(SectorView sector) {
    const SectorZeroKind kind = ClassifySectorZero(sector);
    return kind == SectorZeroKind::PartitionTable || kind == SectorZeroKind::ProtectiveTable;
}

}  // namespace partam
