// Builders for sectors and disk images used by the tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace partam::test {

using Bytes = std::vector<std::uint8_t>;

struct EntrySpec {
    std::uint8_t status = 0;
    std::uint8_t type = 0;
    std::uint32_t start = 0;
    std::uint32_t sectors = 0;
};

// A 512-byte MBR or EBR: boot code starting 33 C0 (unless bootCode is
// false), the four entries, the signature at 440 and 55 AA at 510.
Bytes MakeMbr(const std::vector<EntrySpec>& slots, std::uint32_t diskSignature = 0x12345678,
              bool bootSignature = true, bool bootCode = true);

// The sector with the fields of a FAT16 boot sector as mkfs.fat writes them
// laid over its first 62 bytes: jump, OEM name, 512 bytes a sector, 4 a
// cluster, 4 reserved, 2 FATs, 512 root entries, media F8, 64 sectors a
// FAT, and "FAT16" after the extended block's signature.
Bytes WithFat16BootSector(Bytes sector);

// GPT type GUIDs as the entries store them.
using GptType = std::array<std::uint8_t, 16>;
inline constexpr GptType kEfiSystemType = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                           0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
inline constexpr GptType kBasicDataType = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                           0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};

struct GptEntrySpec {
    GptType type{};  // all zero: an unused entry
    std::uint64_t first = 0, last = 0;
    std::uint8_t attributes = 0;
};

// A whole GPT disk image of the given size: a protective MBR, the primary
// header at sector 1 with 128 entries from sector 2, the backup array and
// header at the end, checksums right, first usable sector 34, disk GUID
// bytes 0x10 to 0x1F.
Bytes MakeGpt(std::uint64_t sectors, const std::vector<GptEntrySpec>& entries);

// Writes a 512-byte sector into an image at the given LBA, growing it.
void PutSector(Bytes& image, std::uint64_t lba, const Bytes& sector);

// A hexdump of one sector range of two images where they differ, for test
// failure messages; empty when equal.
std::string DiffSectors(const Bytes& expected, const Bytes& actual, std::uint64_t lba,
                        std::uint32_t count = 1);

}  // namespace partam::test
