// The bytes of an MBR (and EBR) sector and of its 16-byte partition entries,
// as pure functions over fixed spans. An EBR has the MBR's layout: slot 0
// holds a logical partition, slot 1 the link to the next EBR. Everything that
// reads or writes these bytes, the program's own table model as well as the
// drive layout a platform computes for an image, goes through here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "base/endian.h"

namespace partam {

using Sector = std::array<std::uint8_t, kSectorSize>;
using SectorView = std::span<const std::uint8_t, kSectorSize>;
using SectorSpan = std::span<std::uint8_t, kSectorSize>;

inline constexpr std::size_t kDiskSignatureOffset = 440;
inline constexpr std::size_t kPartitionTableOffset = 446;
inline constexpr std::size_t kPartitionTableSize = 64;
inline constexpr std::size_t kBootSignatureOffset = 510;
inline constexpr int kSlotCount = 4;
inline constexpr std::uint8_t kActiveStatus = 0x80;
inline constexpr std::uint8_t kProtectiveType = 0xEE;

// Reads the 512 bytes of sector lba of a disk; false when it cannot be read.
// What the table readers are given instead of a device, so that they stay
// pure and can be driven by anything that holds sectors.
using SectorReader = std::function<bool(std::uint64_t lba, std::uint8_t* sector)>;
// Reads count sectors from lba into buffer in one transfer; false when they
// cannot all be read.
using SectorRunReader = std::function<bool(std::uint64_t lba, std::uint32_t count, std::uint8_t* buffer)>;

// The 16-byte partition entry of an MBR or EBR slot, kept as bytes:
// status, start CHS, type, end CHS, 32-bit start, 32-bit sector count.
struct PartitionEntry {
    std::array<std::uint8_t, 16> bytes{};

    std::uint8_t Status() const { return bytes[0]; }
    std::uint8_t TypeByte() const { return bytes[4]; }
    std::uint32_t Start() const { return LoadLe32(&bytes[8]); }
    std::uint32_t Sectors() const { return LoadLe32(&bytes[12]); }
    void SetStatus(std::uint8_t v) { bytes[0] = v; }
    void SetTypeByte(std::uint8_t v) { bytes[4] = v; }
    void SetStart(std::uint32_t v) { StoreLe32(&bytes[8], v); }
    void SetSectors(std::uint32_t v) { StoreLe32(&bytes[12], v); }
    bool IsAllZero() const {
        for (auto b : bytes)
            if (b != 0) return false;
        return true;
    }
};
static_assert(sizeof(PartitionEntry) == 16);

struct Chs {
    std::uint32_t cylinder = 0;
    std::uint32_t head = 0;
    std::uint32_t sector = 0;
};

// Slot 0-3 of a sector; a slot outside that range reads as an empty entry
// and is never written.
PartitionEntry ReadSlot(SectorView sector, int slot);
void WriteSlot(SectorSpan sector, int slot, const PartitionEntry& entry);
// Zeroes the four slots; boot code and signatures stay.
void ClearPartitionTable(SectorSpan sector);
// Bytes 510 and 511 are 0x55 0xAA.
bool HasBootSignature(SectorView sector);
void SetBootSignature(SectorSpan sector);
// The four bytes at 440 as they lie on the disk.
std::array<std::uint8_t, 4> DiskSignatureBytes(SectorView sector);

// A CHS address as three entry bytes: head; sector in bits 0-5 with
// cylinder bits 8-9 in bits 6-7; cylinder bits 0-7.
Chs DecodeChs(const std::uint8_t* bytes);
// Values wider than their fields keep their low bits: the cylinder modulo
// 1024, the sector modulo 64, the head modulo 256.
void EncodeChs(const Chs& chs, std::uint8_t* bytes);

Chs StartChs(const PartitionEntry& entry);
Chs EndChs(const PartitionEntry& entry);
void SetStartChs(PartitionEntry& entry, const Chs& chs);
void SetEndChs(PartitionEntry& entry, const Chs& chs);
inline bool IsActiveStatus(std::uint8_t status) { return status == kActiveStatus; }

// A complete entry: status (0x80 when active), CHS of both ends, type, LBA
// start and sector count.
PartitionEntry MakeEntry(bool active, std::uint8_t type, const Chs& first, const Chs& last,
                         std::uint32_t start, std::uint32_t sectors);

// The CHS address of a sector for a geometry of heads x sectorsPerTrack.
// Without a geometry (either is 0) there is no address: all fields are 0.
Chs LbaToChs(std::uint32_t lba, std::uint32_t heads, std::uint32_t sectorsPerTrack);

// A filesystem boot sector at the start of a disk without a partition table
// (a "super-floppy"), recognised by the names its boot sector carries: "NTFS"
// at 3, "FAT16" at 54, "FAT32" at 82, tried in that order.
enum class BootFileSystem : std::uint32_t { None = 0, Ntfs = 1, Fat16 = 2, Fat32 = 3 };
BootFileSystem ProbeBootFileSystem(SectorView sector);
// The partition type such a disk's one partition is given: 0x07, 0x06 or
// 0x0B; 0 for None.
std::uint8_t BootFileSystemType(BootFileSystem fileSystem);

}  // namespace partam
