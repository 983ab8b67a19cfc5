// The backup file: an optional 512-byte header, then the saved sectors in
// ascending order, 512 bytes each, with nothing between or after them. The
// header is encoded and decoded here as bytes; every byte it does not name
// is zero.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/mbr_format.h"
#include "platform/platform.h"

namespace partam {

// What a backup holds; the code is what its header stores.
enum class BackupKind : std::uint8_t { None = 0, Mbr = 1, Head = 2, Gpt = 3, Range = 4, Vbr = 5, Disk = 6 };

struct BackupHeader {
    std::uint8_t version = 3;
    std::uint8_t kind = 0;  // a BackupKind code; a file may hold any other
    SystemTime time;        // of the save, in UTC
    bool mbrDisk = true;    // the disk was not read as a GPT disk
    bool removable = false;
    std::uint64_t totalSectors = 0;
    std::uint16_t partitionCount = 0;
    std::string model;  // at most 30 characters are kept
    std::uint16_t diskCount = 0;
    std::string computerName;  // at most 15 characters are kept
    std::uint64_t firstSector = 0;
    // The number of sectors saved, but for range and disk backups the number
    // of the last sector saved.
    std::uint64_t countField = 0;
    std::string title;                  // at most 29 characters are kept
    std::array<std::string, 4> labels;  // of partitions 1 to 4; four characters each are kept
    // The partition (by primary number) that starts at the first sector
    // saved, its slot and its type; number 0 when none does.
    std::uint8_t matchedNumber = 0;
    std::uint8_t matchedSlot = 0;
    std::uint8_t matchedType = 0;
};

Sector EncodeBackupHeader(const BackupHeader& header);
BackupHeader DecodeBackupHeader(SectorView sector);

// A file starts with a header when its first two bytes are "DD" and byte 10
// (the kind) is not 0; nothing else is looked at. The kind code, or 0.
std::uint8_t ProbeBackupHeader(SectorView firstSector);

// The number of sectors of data that follow a header: for range and disk
// backups the count field holds the last sector's number, so the data runs
// from the first sector to it; for every other kind it is the count itself.
// 0 when a range or disk header names a last sector before its first.
std::uint64_t HeaderDataSectors(const BackupHeader& header);

}  // namespace partam
