// Changes to the MBR partition table of the selected disk: hiding, the
// active flag, the type, deleting and sorting. Each works on the disk
// object's partition list and writes the table back into sector 0; boot
// code, disk signature and every extended boot record stay as they are.
//
// Partitions are named by their primary number (/part=N, the N-th primary
// in slot order). Each operation records its outcome in the disk object's
// error state (the first error wins) and returns that state: 512 for a
// number beyond the primaries, 558 for a type that cannot be hidden, 505
// for a failed write.
#pragma once

#include <cstdint>

#include "disk/disk.h"

namespace partam {

// Writes the primaries' entries back into sector 0: each into its own slot,
// or, with sortedPlacement, the i-th in ascending order of start into slot i
// and the slots after the last one cleared.
int RebuildTable(mDisk& disk, bool sortedPlacement);

// Hiding adds 0x10 to a hideable type; unhiding a hidden type takes it off
// and leaves any other type as it is. Both write the table, changed or not.
int Hide(mDisk& disk, int number, bool hide);
// Hide on every primary in turn; one that cannot be hidden leaves the
// others to be hidden, and its 558 is the result.
int HideAll(mDisk& disk, bool hide);

// Activating unhides the partition (one write) and then makes it the only
// active primary (another); deactivating clears its status alone.
int SetActive(mDisk& disk, int number, bool active);
int SetAllActive(mDisk& disk, bool active);

// The low byte of type becomes the partition's type, unchecked.
int ChangeType(mDisk& disk, int number, std::uint32_t type);

// Clear the partition's slot, or all four, in sector 0 and read the table
// again, so that what follows sees the disk as it now is.
int DeletePartition(mDisk& disk, int number);
int DeleteAllPartitions(mDisk& disk);

}  // namespace partam
