// Keeps writes away from data the running system uses. A write to a block
// device is refused when it touches a mounted filesystem, active swap, or a
// device another one is built on (LVM, RAID, encryption): any byte of a disk
// that is itself in use, or the byte range of a partition in use. Sector 0
// and the space between partitions stay writable, as on Windows, which
// refuses writes into mounted volumes only. A file that a loop device reads
// its sectors from is guarded as that device is.
#pragma once

#include <cstdint>
#include <optional>
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

// A loop device attached to a file: its byte 0 is the file's byte offset,
// and it ends limit bytes on (0: at the file's end).
struct LoopBacking {
    DevNumber device;
    std::uint64_t offset = 0;
    std::uint64_t limit = 0;
};

// The bytes of the loop device that a write of count bytes at offset of its
// file lands on; nothing when the write misses the device.
std::optional<ByteRange> LoopBytesOf(const LoopBacking& loop, std::uint64_t offset, std::uint64_t count);

// The loop devices (of /sys/block) attached to the file with this device
// and inode number.
std::vector<LoopBacking> LoopDevicesOf(const SystemRoots& roots, DevNumber fileDevice, std::uint64_t inode);

// A write to a file is allowed only when none of the loop devices attached
// to it has in use what the write lands on in it, now.
bool FileWriteAllowed(const SystemRoots& roots, const std::vector<LoopBacking>& loops, std::uint64_t offset,
                      std::uint64_t count);

}  // namespace partam::posix
