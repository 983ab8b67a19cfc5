#include "base/mbr_format.h"

#include <algorithm>
#include <cstring>

namespace partam {

namespace {

bool IsSlot(int slot) { return slot >= 0 && slot < kSlotCount; }

std::size_t SlotOffset(int slot) { return kPartitionTableOffset + 16 * static_cast<std::size_t>(slot); }

bool HasText(SectorView sector, std::size_t offset, const char* text) {
    return std::memcmp(sector.data() + offset, text, std::strlen(text)) == 0;
}

}  // namespace

PartitionEntry ReadSlot(SectorView sector, int slot) {
    PartitionEntry entry;
    if (IsSlot(slot))
        std::copy_n(sector.begin() + static_cast<std::ptrdiff_t>(SlotOffset(slot)), 16, entry.bytes.begin());
    return entry;
}

void WriteSlot(SectorSpan sector, int slot, const PartitionEntry& entry) {
    if (!IsSlot(slot)) return;
    std::copy(entry.bytes.begin(), entry.bytes.end(),
              sector.begin() + static_cast<std::ptrdiff_t>(SlotOffset(slot)));
}

void ClearPartitionTable(SectorSpan sector) {
    std::fill_n(sector.begin() + static_cast<std::ptrdiff_t>(kPartitionTableOffset), kPartitionTableSize, 0);
}

bool HasBootSignature(SectorView sector) {
    return sector[kBootSignatureOffset] == 0x55 && sector[kBootSignatureOffset + 1] == 0xAA;
}

void SetBootSignature(SectorSpan sector) {
    sector[kBootSignatureOffset] = 0x55;
    sector[kBootSignatureOffset + 1] = 0xAA;
}

std::array<std::uint8_t, 4> DiskSignatureBytes(SectorView sector) {
    std::array<std::uint8_t, 4> bytes{};
    std::copy_n(sector.begin() + kDiskSignatureOffset, 4, bytes.begin());
    return bytes;
}

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

Chs LbaToChs(std::uint32_t lba, std::uint32_t heads, std::uint32_t sectorsPerTrack) {
    // The product in 64 bits: a geometry whose 32-bit product wraps to zero
    // must not divide by zero, and one that wraps elsewhere must not give a
    // wrong address.
    const std::uint64_t perCylinder = static_cast<std::uint64_t>(heads) * sectorsPerTrack;
    Chs chs;
    if (perCylinder == 0) return chs;
    const std::uint64_t inCylinder = lba % perCylinder;
    chs.cylinder = static_cast<std::uint32_t>(lba / perCylinder);
    chs.head = static_cast<std::uint32_t>(inCylinder / sectorsPerTrack);
    chs.sector = static_cast<std::uint32_t>(inCylinder % sectorsPerTrack) + 1;
    return chs;
}

BootFileSystem ProbeBootFileSystem(SectorView sector) {
    if (HasText(sector, 3, "NTFS")) return BootFileSystem::Ntfs;
    if (HasText(sector, 54, "FAT16")) return BootFileSystem::Fat16;
    if (HasText(sector, 82, "FAT32")) return BootFileSystem::Fat32;
    return BootFileSystem::None;
}

std::uint8_t BootFileSystemType(BootFileSystem fileSystem) {
    switch (fileSystem) {
        case BootFileSystem::Ntfs:
            return 0x07;
        case BootFileSystem::Fat16:
            return 0x06;
        case BootFileSystem::Fat32:
            return 0x0B;
        case BootFileSystem::None:
            break;
    }
    return 0;
}

}  // namespace partam
