// mkntfs of ntfs-3g as the format engine on Linux: where it is found, what
// it is run with, what its output says of its progress, and which device
// node is a partition's own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/system_files.h"

namespace partam::posix {

// When set, names the mkntfs to run, and no other is looked for.
inline constexpr char kMkntfsVariable[] = "PARTAM_MKNTFS";

// The mkntfs to run: the one the variable names (nothing when that is no
// program), else the first on the search path, then in /usr/sbin and
// /sbin, where ntfs-3g puts it and where the path of a user other than
// root does not look.
std::optional<std::string> FindMkntfs(const char* variable, const char* searchPath);

// mkntfs's arguments for a job on a target. A stand-in file is no block
// device, so it must be forced; it is formatted quickly, since every sector
// of it is copied into the partition afterwards, which is what a full
// format writes. A partition's own node is formatted in full by mkntfs,
// which then refuses a device that is mounted or is a whole disk.
std::vector<std::string> MkntfsArguments(const FormatJob& job, const std::string& target, bool standIn);

// mkntfs shows its progress as a figure and "%", then backspaces that let
// the next figure overwrite it on a terminal. Takes the figures out of its
// output, which may come in pieces of any size.
class MkntfsProgress {
public:
    // The figures completed within this piece, in order.
    std::vector<std::uint32_t> Feed(std::string_view piece);

private:
    std::string digits_;
};

// The lines mkntfs wrote on standard error that concern the partition: of a
// stand-in file it says that it is no block device and that it formats it
// anyway, which tells the user nothing.
std::vector<std::string> MkntfsComplaints(std::string_view errorText, const std::string& standIn);

// The device node ("/dev/sdb1") of the partition of a disk that starts at
// start and holds sectors 512-byte sectors; nothing when the system shows
// none.
std::optional<std::string> PartitionNode(const SystemRoots& roots, DevNumber disk, std::uint64_t start,
                                         std::uint64_t sectors);

}  // namespace partam::posix
