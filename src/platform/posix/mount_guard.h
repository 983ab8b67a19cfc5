// Keeps writes away from data the running system uses. A write to a block
// device is refused when it touches a mounted filesystem, active swap, or a
// device another one is built on (LVM, RAID, encryption): any byte of a disk
// that is itself in use, or the byte range of a partition in use. Sector 0
// and the space between partitions stay writable, as on Windows, which
// refuses writes into mounted volumes only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/system_files.h"

namespace partam::posix {

// Bytes [first, end).
struct ByteRange {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
};

// What of one block device is in use right now.
struct DeviceUse {
    bool known = false;       // false when the system could not be asked
    bool wholeInUse = false;  // the device itself is mounted or held
    std::vector<ByteRange> inUse;
};

// A write of count bytes at offset is allowed only when nothing it touches
// is in use; when the use is unknown, nothing is allowed.
bool WriteAllowed(const DeviceUse& use, std::uint64_t offset, std::uint64_t count);

struct MountedDevice {
    DevNumber device;
    std::string source;  // the mounted thing as named, "/dev/sda1" or "none"
};

// The lines of /proc/self/mountinfo; malformed lines are skipped.
std::vector<MountedDevice> ParseMountInfo(std::string_view text);
// The file names of /proc/swaps.
std::vector<std::string> ParseSwapNames(std::string_view text);
// Mount tables write blanks and backslashes as octal escapes ("\040").
std::string UnescapeMountField(std::string_view field);

// Asks the system what of the device is in use, now.
DeviceUse InspectDevice(const SystemRoots& roots, DevNumber device);

}  // namespace partam::posix
