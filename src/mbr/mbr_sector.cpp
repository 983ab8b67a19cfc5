#include "mbr/mbr_sector.h"

#include <algorithm>

namespace partam {

namespace {

bool IsSlot(int slot) { return slot >= 0 && slot < kSlotCount; }

std::size_t SlotOffset(int slot) { return kPartitionTableOffset + 16 * static_cast<std::size_t>(slot); }

}  // namespace

PartitionEntry ReadSlot(SectorView sector, int slot) {
    if (!IsSlot(slot)) return PartitionEntry{};
    return PartitionEntry::FromBytes(sector.data() + SlotOffset(slot));
}

void WriteSlot(SectorSpan sector, int slot, const PartitionEntry& entry) {
    if (!IsSlot(slot)) return;
    std::copy(entry.bytes.begin(), entry.bytes.end(),
              sector.begin() + static_cast<std::ptrdiff_t>(SlotOffset(slot)));
}

void ClearPartitionTable(SectorSpan sector) {
    std::fill_n(sector.begin() + static_cast<std::ptrdiff_t>(kPartitionTableOffset), kPartitionTableSize, 0);
}

bool HasBootSignature(SectorView sector) { return sector[510] == 0x55 && sector[511] == 0xAA; }

Chs DecodeChs(const std::uint8_t* bytes) {
    Chs chs;
    chs.head = bytes[0];
    chs.sector = bytes[1] & 0x3Fu;
    chs.cylinder = bytes[2] + ((bytes[1] & 0xC0u) * 4);
    return chs;
}

void EncodeChs(const Chs& chs, std::uint8_t* bytes) {
    bytes[0] = static_cast<std::uint8_t>(chs.head);
    bytes[1] = static_cast<std::uint8_t>((chs.sector & 0x3Fu) | ((chs.cylinder >> 2) & 0xC0u));
    bytes[2] = static_cast<std::uint8_t>(chs.cylinder);
}

Chs StartChs(const PartitionEntry& entry) { return DecodeChs(&entry.bytes[1]); }
Chs EndChs(const PartitionEntry& entry) { return DecodeChs(&entry.bytes[5]); }
void SetStartChs(PartitionEntry& entry, const Chs& chs) { EncodeChs(chs, &entry.bytes[1]); }
void SetEndChs(PartitionEntry& entry, const Chs& chs) { EncodeChs(chs, &entry.bytes[5]); }

PartitionEntry MakeEntry(bool active, std::uint8_t type, const Chs& first, const Chs& last,
                         std::uint32_t start, std::uint32_t sectors) {
    PartitionEntry entry;
    entry.SetStatus(active ? kActiveStatus : 0);
    SetStartChs(entry, first);
    entry.SetTypeByte(type);
    SetEndChs(entry, last);
    entry.SetStart(start);
    entry.SetSectors(sectors);
    return entry;
}

}  // namespace partam
