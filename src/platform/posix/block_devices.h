// The machine's drives as Linux shows them in /sys: which block devices
// count as physical drives, and how a drive names itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/system_files.h"

namespace partam::posix {

// Whether a /sys/block name is a drive of its own, not a loop, RAM,
// compressed-RAM, device-mapper, RAID, optical or floppy device.
bool IsDriveName(std::string_view name);

// The names of the machine's drives (under /sys/block) in name order, less
// those of no size (a card reader without a card).
std::vector<std::string> ListDriveNames(const SystemRoots& roots);

// The resolved /sys folder of a block device; empty when unknown.
std::string SysFolderOf(const SystemRoots& roots, DevNumber device);

// For a partition's folder, that of its disk; any other folder as it is.
std::string DiskFolderOf(const std::string& sysFolder);

// The bus a drive hangs on, from its resolved /sys path and its name.
std::string BusOfDevicePath(std::string_view sysPath, std::string_view name);

// Vendor and model, trimmed and joined by one space; the device's name when
// both are empty.
std::string JoinDescription(std::string_view vendor, std::string_view model, std::string_view name);

DriveIdentity BlockDeviceIdentity(const std::string& sysFolder);
bool IsRemovable(const std::string& sysFolder);

}  // namespace partam::posix
