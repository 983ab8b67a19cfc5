// The volume label of a partition, and the message box of a system error.
#pragma once

#include <cstdint>
#include <string>

#include "disk/disk.h"
#include "disk/partition_table.h"
#include "platform/platform.h"

namespace partam {

inline constexpr const char* kVirtualLabel = "<Virtual>";

// A partition of a virtual disk is "<Virtual>". Otherwise a volume under a
// drive letter has the label the system gives it; a letter the system
// cannot read (an NTFS volume it does not mount, say) has, for the NTFS
// types 0x07 and 0x17, the name kept in the volume's own master file
// table; a partition without a letter has none. The volume name is the
// system's name for the volume; the letter is what the label is asked by.
std::string ReadVolumeLabel(mDisk& disk, const std::string& volumeName, char driveLetter, std::uint32_t type,
                            std::uint64_t start, std::uint64_t sectors);

// The label reader the program gives the disk object.
LabelReader VolumeLabelReader();

// Shows "<code>: <the system's text for it>" in a message box, cut to 111
// bytes; code 0 stands for the last failed call's code, and a code that
// is still 0 shows nothing. Returns the code shown.
std::uint32_t ShowSystemError(Platform& platform, std::uint32_t code);

}  // namespace partam
