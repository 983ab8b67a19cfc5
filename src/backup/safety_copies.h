// Before a command that can cost a table, every disk's sector 0 is copied
// aside: to "disk-<n>.mbr" in the temporary folder and, where that harms
// nothing, to sector 30 of the disk itself.
#pragma once

#include <string>
#include <vector>

#include "disk/disk.h"

namespace partam {

// The sector of a disk that keeps a copy of its MBR.
inline constexpr std::uint64_t kMbrCopySector = 30;

// Makes the copies of every disk and selects disk 0 again; returns the disks
// whose sector 0 was copied. Nothing the copies meet is an error of the run.
// In a Windows setup environment no copies are made.
//
// A copy file is a new file renamed over "disk-<n>.mbr" once it is on the
// medium, never one written through that name: a link someone put there is
// replaced, not followed. The copy it replaces becomes "disk-<n>.mbr.1".
// When commandFile (the file the command reads) is one of the two, that
// disk's file copy is not made: a restore from a copy reads the copy made
// before the change it undoes.
std::vector<int> MakeSafetyCopies(mDisk& disk, const std::string& commandFile = {});

// Whether sector 30 of the selected disk may take the copy: only on a disk
// whose sector 0 is an MBR partition table (55 AA; no filesystem's boot
// sector, GPT entry or other system's label: see ClassifySectorZero) and
// whose partitions and extended boot records all start after it, and only when the sector holds nothing
// (zeros) or an earlier copy of this disk's MBR. Boot loaders keep their code in the sectors before the first
// partition; a copy must never land on it.
bool MayCopyToSector30(mDisk& disk);

}  // namespace partam
