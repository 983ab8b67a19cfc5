// Changes to the MBR partition table of the selected disk: hiding, the
// active flag, the type, deleting and sorting. Each works on the disk
// object's partition list and writes the table back into sector 0 in one
// write; boot code, disk signature and every extended boot record stay as
// they are.
//
// Partitions are named by their primary number (/part=N, the N-th primary
// in slot order). Each operation returns its own outcome, and records a
// failure in the disk object's error state as well: 512 for a number beyond
// the primaries, 558 for a type that cannot be hidden, 518 for a sector 0
// that holds no table to write back into, 506 for one that could not be
// read, 505 for a failed write.
#pragma once

#include <cstdint>

#include "disk/disk.h"

namespace partam {

// A table is written back only over a table: 506 when sector 0 could not be
// read, 518 when it holds none (no 55 AA, a filesystem's boot sector, another
// system's label; see ClassifySectorZero); 0 when it may be written.
[[nodiscard]] int RefuseUnlessTable(mDisk& disk);

// Writes the primaries' entries back into sector 0: each into its own slot,
// or, with sortedPlacement, the i-th in ascending order of start into slot i
// and the slots after the last one cleared.
[[nodiscard]] int RebuildTable(mDisk& disk, bool sortedPlacement);

// Hiding adds 0x10 to a hideable type; unhiding a hidden type takes it off
// and leaves any other type as it is. Both write the table, changed or not.
[[nodiscard]] int Hide(mDisk& disk, int number, bool hide);
// Hide on every primary: one that cannot be hidden leaves the others to be
// hidden, and its 558 is the result; the table is written once.
[[nodiscard]] int HideAll(mDisk& disk, bool hide);

// Activating unhides the partition and makes it the only active primary;
// deactivating clears its status alone. One write either way.
[[nodiscard]] int SetActive(mDisk& disk, int number, bool active);
[[nodiscard]] int DeactivateAll(mDisk& disk);

// The low byte of type becomes the partition's type, unchecked.
[[nodiscard]] int ChangeType(mDisk& disk, int number, std::uint32_t type);

// Clear the partition's slot, or all four, in sector 0 and read the table
// again, so that what follows sees the disk as it now is.
[[nodiscard]] int DeletePartition(mDisk& disk, int number);
[[nodiscard]] int DeleteAllPartitions(mDisk& disk);

}  // namespace partam
