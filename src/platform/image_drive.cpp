#include "platform/image_drive.h"

#include <optional>
#include <set>

#include "base/mbr_format.h"

namespace partam {

namespace {

// The system follows only these two types as containers of further tables;
// a hidden extended partition (0x15, 0x1F) is not entered.
bool IsContainer(std::uint8_t type) { return type == 0x05 || type == 0x0F; }

// The partition type the system reports for a disk formatted without a
// partition table, or 0 when sector 0 is no such boot sector. The system
// takes a boot sector only when it starts with a jump instruction.
std::uint8_t WholeDiskFilesystemType(const Sector& s) {
    if (s[0] != 0xEB && s[0] != 0xE9) return 0;
    return BootFileSystemType(ProbeBootFileSystem(s));
}

// One partition table's four entries. base is the sector the entries'
// starts count from; numbers go to the entries that are partitions.
void AppendTable(const Sector& s, std::uint64_t base, std::uint64_t linkBase, std::uint32_t& number,
                 DriveLayoutAnswer& answer) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PartitionEntry e = ReadSlot(s, slot);
        LayoutEntry entry;
        const std::uint8_t type = e.TypeByte();
        if (type != 0) {
            const std::uint32_t relative = e.Start();
            const std::uint64_t from = IsContainer(type) ? linkBase : base;
            entry.partitionType = type;
            entry.startingOffset = static_cast<std::int64_t>((from + relative) * kSectorSize);
            entry.partitionLength = static_cast<std::int64_t>(std::uint64_t{e.Sectors()} * kSectorSize);
            entry.hiddenSectors = relative;
            entry.bootIndicator = IsActiveStatus(e.Status());
            entry.partitionNumber = IsContainer(type) ? 0 : ++number;
        }
        answer.entries.push_back(entry);
    }
}

// The relative start of the first container entry, or nothing.
std::optional<std::uint32_t> ContainerStart(const Sector& s) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PartitionEntry e = ReadSlot(s, slot);
        if (IsContainer(e.TypeByte())) return e.Start();
    }
    return std::nullopt;
}

// Walks the EBR chain behind an extended partition starting at extStart.
// It ends at a record outside the disk, one seen before, one that cannot be
// read or lacks its signature, and after kMaxExtendedTables records.
void AppendChain(const SectorReader& read, std::uint64_t diskSectors, std::uint64_t extStart,
                 std::uint32_t& number, DriveLayoutAnswer& answer) {
    std::set<std::uint64_t> visited;
    Sector s;
    std::uint64_t ebr = extStart;
    while (visited.size() < kMaxExtendedTables) {
        if (ebr == 0 || ebr >= diskSectors || !visited.insert(ebr).second) return;
        if (!read(ebr, s.data()) || !HasBootSignature(s)) return;
        AppendTable(s, ebr, extStart, number, answer);
        const std::optional<std::uint32_t> next = ContainerStart(s);
        if (!next) return;
        ebr = extStart + *next;
    }
}

}  // namespace

ComputedLayout ComputeDriveLayout(const SectorReader& read, std::uint64_t diskSectors) {
    ComputedLayout layout;
    Sector s;
    if (diskSectors == 0 || !read(0, s.data())) return layout;
    if (const std::uint8_t type = WholeDiskFilesystemType(s); type != 0) {
        LayoutEntry whole;
        whole.partitionType = type;
        whole.partitionLength = static_cast<std::int64_t>(diskSectors * kSectorSize);
        whole.partitionNumber = 1;
        layout.answer.entries.push_back(whole);
        return layout;
    }
    if (!HasBootSignature(s)) return layout;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (ReadSlot(s, slot).TypeByte() == kProtectiveType) {
            layout.gpt = true;
            return layout;
        }
    }
    layout.answer.signature = LoadLe32(s.data() + kDiskSignatureOffset);
    std::uint32_t number = 0;
    AppendTable(s, 0, 0, number, layout.answer);
    if (const std::optional<std::uint32_t> ext = ContainerStart(s))
        AppendChain(read, diskSectors, *ext, number, layout.answer);
    return layout;
}

bool AnswerLayoutEx(const ComputedLayout& layout, std::uint32_t bufferBytes, DriveLayoutAnswer& out) {
    if (48 + 144 * std::uint64_t{layout.answer.entries.size()} > bufferBytes) return false;
    out = layout.answer;
    return true;
}

bool AnswerLayout(const ComputedLayout& layout, std::uint32_t bufferBytes, DriveLayoutAnswer& out) {
    if (layout.gpt || 8 + 32 * std::uint64_t{layout.answer.entries.size()} > bufferBytes) return false;
    out = layout.answer;
    return true;
}

DiskGeometry ImageGeometry(std::uint64_t sizeBytes) {
    DiskGeometry g;
    g.mediaType = 12;
    g.tracksPerCylinder = 255;
    g.sectorsPerTrack = 63;
    g.bytesPerSector = kSectorSize;
    g.cylinders = static_cast<std::int64_t>(sizeBytes / kSectorSize / (255 * 63));
    return g;
}

DriveIdentity ImageIdentity(std::string_view path, std::string_view separators) {
    const std::size_t cut = path.find_last_of(separators);
    return DriveIdentity{"File", std::string(cut == std::string_view::npos ? path : path.substr(cut + 1))};
}

}  // namespace partam
