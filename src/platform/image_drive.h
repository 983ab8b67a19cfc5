// What the system answers about a drive that it does not describe itself: a
// disk image standing in for a drive, and the drive layout, which the system
// derives from the partition tables in the drive's own sectors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/mbr_format.h"
#include "platform/platform.h"

namespace partam {

// A chain of extended boot records longer than this is taken as broken.
inline constexpr unsigned kMaxExtendedTables = 4096;

struct ComputedLayout {
    DriveLayoutAnswer answer;
    // The disk carries a protective MBR: the system answers in GPT style,
    // which holds no MBR entries, and the old form of the query fails.
    bool gpt = false;
};

// The layout as the system reports it: four entries per partition table,
// the MBR's slots first, then the slots of each EBR of the extended chain.
// A disk whose sector 0 lacks the boot signature has no entries; a disk that
// starts with a filesystem boot sector has one entry spanning the disk.
ComputedLayout ComputeDriveLayout(const SectorReader& read, std::uint64_t diskSectors);

// The two layout queries answer only when the caller's buffer holds the
// whole answer: 48 bytes and 144 per entry in the extended form, 8 and 32 in
// the old one.
bool AnswerLayoutEx(const ComputedLayout& layout, std::uint32_t bufferBytes, DriveLayoutAnswer& out);
bool AnswerLayout(const ComputedLayout& layout, std::uint32_t bufferBytes, DriveLayoutAnswer& out);

// A disk image is fixed media of 255 heads and 63 sectors per track.
DiskGeometry ImageGeometry(std::uint64_t sizeBytes);

// An image names itself: bus "File", described by its file name without
// the folder (the part after the last of the given separators).
DriveIdentity ImageIdentity(std::string_view path, std::string_view separators);

}  // namespace partam
