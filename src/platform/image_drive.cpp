#include "platform/image_drive.h"

#include <array>
#include <cstring>
#include <optional>
#include <set>

#include "base/endian.h"

namespace partam {

namespace {

using Sector = std::array<std::uint8_t, kSectorSize>;

constexpr std::size_t kEntryTable = 446;
constexpr std::size_t kEntrySize = 16;
constexpr std::uint8_t kProtectiveType = 0xEE;

bool HasBootSignature(const Sector& s) { return s[510] == 0x55 && s[511] == 0xAA; }

// The system follows only these two types as containers of further tables.
bool IsContainer(std::uint8_t type) { return type == 0x05 || type == 0x0F; }

const std::uint8_t* Slot(const Sector& s, int slot) { return s.data() + kEntryTable + kEntrySize * slot; }

bool Matches(const Sector& s, std::size_t offset, const char* text) {
    return std::memcmp(s.data() + offset, text, std::strlen(text)) == 0;
}

// The partition type the system gives a disk formatted without a partition
// table, or 0 when sector 0 is no such boot sector.
std::uint8_t WholeDiskFilesystemType(const Sector& s) {
    if (s[0] != 0xEB && s[0] != 0xE9) return 0;
    if (Matches(s, 3, "NTFS")) return 0x07;
    if (Matches(s, 54, "FAT16")) return 0x06;
    if (Matches(s, 82, "FAT32")) return 0x0C;
    return 0;
}

// One partition table's four entries. base is the sector the entries'
// starts count from; numbers go to the entries that are partitions.
void AppendTable(const Sector& s, std::uint64_t base, std::uint64_t linkBase, std::uint32_t& number,
                 DriveLayoutAnswer& answer) {
    for (int slot = 0; slot < 4; ++slot) {
        const std::uint8_t* e = Slot(s, slot);
        LayoutEntry entry;
        const std::uint8_t type = e[4];
        if (type != 0) {
            const std::uint32_t relative = LoadLe32(e + 8);
            const std::uint64_t from = IsContainer(type) ? linkBase : base;
            entry.partitionType = type;
            entry.startingOffset = static_cast<std::int64_t>((from + relative) * kSectorSize);
            entry.partitionLength = static_cast<std::int64_t>(std::uint64_t{LoadLe32(e + 12)} * kSectorSize);
            entry.hiddenSectors = relative;
            entry.bootIndicator = e[0] == 0x80;
            entry.partitionNumber = IsContainer(type) ? 0 : ++number;
        }
        answer.entries.push_back(entry);
    }
}

// The relative start of the first container entry, or nothing.
std::optional<std::uint32_t> ContainerStart(const Sector& s) {
    for (int slot = 0; slot < 4; ++slot)
        if (IsContainer(Slot(s, slot)[4])) return LoadLe32(Slot(s, slot) + 8);
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
    for (int slot = 0; slot < 4; ++slot) {
        if (Slot(s, slot)[4] == kProtectiveType) {
            layout.gpt = true;
            return layout;
        }
    }
    layout.answer.signature = LoadLe32(s.data() + 440);
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
