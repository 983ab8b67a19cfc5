#include "base/boot_sector.h"

#include <algorithm>
#include <cstring>

namespace partam {

namespace {

bool TextAt(SectorView s, std::size_t offset, const char* text) {
    return std::memcmp(s.data() + offset, text, std::strlen(text)) == 0;
}

bool ZeroFrom(SectorView s, std::size_t first, std::size_t end) {
    return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(first),
                       s.begin() + static_cast<std::ptrdiff_t>(end), [](std::uint8_t b) { return b == 0; });
}

bool PowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

bool BootJump(SectorView s) { return (s[0] == 0xEB && s[2] == 0x90) || s[0] == 0xE9; }

// The sector sizes a boot sector may state.
bool SectorSizeAt(SectorView s, std::size_t offset) {
    const std::uint16_t bytes = LoadLe16(&s[offset]);
    return bytes >= 512 && bytes <= 4096 && PowerOfTwo(bytes);
}

// The parameter block every FAT volume has: sectors per cluster, reserved
// sectors, the number of FATs and the media byte.
bool FatParameters(SectorView s) {
    const std::uint8_t media = s[21];
    return SectorSizeAt(s, 11) && PowerOfTwo(s[13]) && LoadLe16(&s[14]) != 0 && (s[16] == 1 || s[16] == 2) &&
           (media == 0xF0 || media >= 0xF8);
}

// The extended block names its filesystem after its signature byte (0x28 or
// 0x29): at 38 and 54 for FAT12 and FAT16, at 66 and 82 for FAT32.
bool FatName(SectorView s) {
    const auto named = [s](std::size_t signature, std::size_t name, const char* text) {
        return (s[signature] == 0x28 || s[signature] == 0x29) && TextAt(s, name, text);
    };
    return named(38, 54, "FAT") || named(66, 82, "FAT32");
}

bool IsFat(SectorView s) {
    const bool olderBlock = LoadLe16(&s[17]) != 0 && LoadLe16(&s[22]) != 0;
    return BootJump(s) && FatParameters(s) && (FatName(s) || olderBlock);
}

// NTFS keeps the FAT fields of the parameter block zero: reserved sectors,
// FATs, root entries, the 16-bit sector count and sectors per FAT.
bool IsNtfs(SectorView s) {
    return BootJump(s) && TextAt(s, 3, "NTFS    ") && SectorSizeAt(s, 11) && ZeroFrom(s, 14, 21) &&
           ZeroFrom(s, 22, 24);
}

bool IsExFat(SectorView s) {
    const std::uint8_t shift = s[108];
    return BootJump(s) && TextAt(s, 3, "EXFAT   ") && ZeroFrom(s, 11, 64) && shift >= 9 && shift <= 12 &&
           (s[110] == 1 || s[110] == 2);
}

std::uint16_t LoadBe16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

// A Sun label ends with its magic at 508 and a checksum at 510 that makes
// the XOR of all its 16-bit words zero; the checksum bytes may happen to be
// 55 AA. The magic alone could be the top of a fourth entry's size.
bool IsSunLabel(SectorView s) {
    if (s[508] != 0xDA || s[509] != 0xBE) return false;
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < kSectorSize; i += 2) sum ^= LoadBe16(&s[i]);
    return sum == 0;
}

bool IsSgiLabel(SectorView s) { return s[0] == 0x0B && s[1] == 0xE5 && s[2] == 0xA9 && s[3] == 0x41; }

bool HasProtectiveEntry(SectorView s) {
    for (int slot = 0; slot < kSlotCount; ++slot)
        if (ReadSlot(s, slot).TypeByte() == kProtectiveType) return true;
    return false;
}

}  // namespace

BootSectorFileSystem FileSystemOfBootSector(SectorView sector) {
    if (IsNtfs(sector)) return BootSectorFileSystem::Ntfs;
    if (IsExFat(sector)) return BootSectorFileSystem::ExFat;
    if (IsFat(sector)) return BootSectorFileSystem::Fat;
    return BootSectorFileSystem::None;
}

SectorZeroKind ClassifySectorZero(SectorView sector) {
    if (FileSystemOfBootSector(sector) != BootSectorFileSystem::None) return SectorZeroKind::FileSystem;
    if (IsSunLabel(sector) || IsSgiLabel(sector)) return SectorZeroKind::ForeignLabel;
    if (!HasBootSignature(sector)) return SectorZeroKind::NoBootSignature;
    return HasProtectiveEntry(sector) ? SectorZeroKind::ProtectiveTable : SectorZeroKind::PartitionTable;
}

}  // namespace partam
