// How a drive number turns into something to open: the list of disk images
// that stands in for the machine's drives, and the drive path itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace partam {

// When set, its entries are drives 0, 1, 2 ... instead of the machine's own.
inline constexpr char kDiskListVariable[] = "PARTAM_DISKS";

// The system's path-list separator, as in PATH.
#if defined(_WIN32)
inline constexpr char kDiskListSeparator = ';';
#else
inline constexpr char kDiskListSeparator = ':';
#endif

// The entries of a disk list in order; empty entries are skipped.
std::vector<std::string> SplitDiskList(std::string_view value, char separator);

// The number n of a path "\\.\PhysicalDrive<n>" (either slash, the name in
// any case, n in plain decimal); nothing for any other path.
std::optional<int> PhysicalDriveNumber(std::string_view path);

// The entry standing in for drive n, or nothing when the list has none.
std::optional<std::string> DiskListEntry(std::string_view listValue, char separator, int driveNumber);

}  // namespace partam
