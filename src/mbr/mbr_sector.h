// Decoding and encoding of the MBR (and EBR) sector and its 16-byte entries,
// as pure functions over bytes. An EBR has the MBR's layout: slot 0 holds a
// logical partition, slot 1 the link to the next EBR.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/endian.h"
#include "disk/partition.h"

namespace partam {

using SectorView = std::span<const std::uint8_t, kSectorSize>;
using SectorSpan = std::span<std::uint8_t, kSectorSize>;

inline constexpr std::size_t kDiskSignatureOffset = 440;
inline constexpr std::size_t kPartitionTableOffset = 446;
inline constexpr std::size_t kPartitionTableSize = 64;
inline constexpr int kSlotCount = 4;
inline constexpr std::uint8_t kActiveStatus = 0x80;

// Slot 0-3 of a sector; a slot outside that range reads as an empty entry
// and is never written.
PartitionEntry ReadSlot(SectorView sector, int slot);
void WriteSlot(SectorSpan sector, int slot, const PartitionEntry& entry);
// Zeroes the four slots; boot code and signatures stay.
void ClearPartitionTable(SectorSpan sector);
// Bytes 510 and 511 are 0x55 0xAA.
bool HasBootSignature(SectorView sector);

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

}  // namespace partam
