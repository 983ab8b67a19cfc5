// What filesystem a partition holds, told by the names its first sectors
// carry, and the serial number its boot sector keeps.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "disk/disk.h"

namespace partam {

enum class FileSystemCode : std::uint32_t { None = 0, Fat16 = 1, Fat32 = 2, Ntfs = 3, HfsJ = 4, HfsEx = 5 };

// The first three sectors of a partition.
inline constexpr std::uint32_t kRecognitionSectors = 3;
using RecognitionBytes = std::span<const std::uint8_t, kRecognitionSectors * kSectorSize>;

// "NTFS" at byte 3, "FAT16" at 54, "FAT32" at 82, then an HFS+ header's
// last-mounted version at 1032: "HFSJ" or "10.0". The first that matches
// names the filesystem.
FileSystemCode RecognizeBytes(RecognitionBytes bytes);
// "NTFS", "FAT16", "FAT32", "HFS-J", "HFSEX"; empty for None.
const char* FileSystemName(FileSystemCode code);

// Reads the partition's first sectors through the disk object. The name is
// written only when a filesystem was recognised; a failed read recognises
// none.
FileSystemCode RecognizeFileSystem(mDisk& disk, std::uint64_t start, std::string& name);

// The volume serial number as "ABCD-1234": the four bytes at 39 of a FAT16,
// 67 of a FAT32 and 72 of an NTFS boot sector, most significant first.
// Empty for any other filesystem, or when the partition cannot be read.
std::string VolumeIdText(mDisk& disk, std::uint64_t start);

}  // namespace partam
