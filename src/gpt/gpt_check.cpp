#include "gpt/gpt_check.h"

#include <algorithm>
#include <cstring>

#include "base/crc32.h"
#include "base/text.h"

namespace partam {

namespace {

constexpr std::size_t kCrcOffset = 16;
constexpr std::uint32_t kMinHeaderSize = 92;

const struct {
    GptProblem problem;
    const char* text;  // %u: the partition's number
} kProblemTexts[] = {
    {GptProblem::Unreadable, "cannot be read"},
    {GptProblem::NotLocated, "not located: the disk's size is unknown"},
    {GptProblem::NoSignature, "no \"EFI PART\" signature"},
    {GptProblem::HeaderSize, "header size out of range"},
    {GptProblem::HeaderCrc, "header CRC mismatch"},
    {GptProblem::OwnLba, "header not where it says it is"},
    {GptProblem::AlternateLba, "other header's LBA wrong"},
    {GptProblem::EntrySize, "entry size not 128"},
    {GptProblem::EntryCount, "entry count out of range"},
    {GptProblem::UsableArea, "usable area over the GPT's own sectors or past the disk"},
    {GptProblem::ArrayPlace, "entry array outside the room the header leaves for it"},
    {GptProblem::NotChecked, "not checked: its header failed"},
    {GptProblem::ArrayCrc, "entry array CRC mismatch"},
    {GptProblem::PartitionReversed, "partition %u ends before it starts"},
    {GptProblem::PartitionOutside, "partition %u outside the usable area"},
};

// The usable area and the entry array lie where a GPT keeps them: the
// primary header at sector 1, its array after it, the usable area, the
// backup array, the backup header. A copy knows its own array's place and
// leaves room for the other's.
bool UsableAreaFits(const GptHeader& h, std::uint64_t backupLba, std::uint32_t sectors) {
    const std::uint64_t first = h.FirstUsableLba(), last = h.LastUsableLba();
    return first >= 2 + std::uint64_t{sectors} && first <= last && last < backupLba &&
           backupLba - last > sectors;
}

bool ArrayFits(const GptHeader& h, GptCopyKind kind, std::uint64_t backupLba, std::uint32_t sectors) {
    const std::uint64_t at = h.EntryLba();
    if (kind == GptCopyKind::Primary)
        return at >= 2 && at <= h.FirstUsableLba() && h.FirstUsableLba() - at >= sectors;
    return at > h.LastUsableLba() && at < backupLba && backupLba - at >= sectors;
}

void ReadCopy(GptCopy& copy, const SectorRunReader& read, GptCopyKind kind, std::uint64_t totalSectors) {
    Sector header{};
    if (!read(copy.headerLba, 1, header.data())) {
        copy.headerFindings = {{GptProblem::Unreadable}};
    } else {
        copy.header = GptHeader(header.data());
        copy.headerFindings = CheckGptHeader(copy.header, kind, copy.headerLba, totalSectors);
    }
    if (!copy.headerFindings.empty()) {
        copy.entryFindings = {{GptProblem::NotChecked}};
        return;
    }
    // The header passed: its array is at most kMaxGptEntries entries long.
    const std::uint32_t sectors = copy.header.EntrySectors();
    copy.entries.assign(std::size_t{sectors} * kSectorSize, 0);
    if (!read(copy.header.EntryLba(), sectors, copy.entries.data())) {
        copy.entries.clear();
        copy.entryFindings = {{GptProblem::Unreadable}};
        return;
    }
    copy.entryFindings = CheckGptEntries(copy.header, copy.entries);
}

}  // namespace

std::uint32_t GptEntrySectors(std::uint32_t entries) {
    return static_cast<std::uint32_t>((std::uint64_t{entries} * kGptEntrySize + kSectorSize - 1) /
                                      kSectorSize);
}

GptHeader::GptHeader(const std::uint8_t* bytes) { std::memcpy(bytes_.data(), bytes, kSectorSize); }

bool GptHeader::HasSignature() const { return std::memcmp(bytes_.data(), "EFI PART", 8) == 0; }

std::uint32_t GptHeader::ComputedCrc() const {
    Sector copy = bytes_;
    StoreLe32(&copy[kCrcOffset], 0);
    return Crc32(copy.data(), std::clamp<std::uint32_t>(HeaderSize(), kMinHeaderSize, kSectorSize));
}

void GptHeader::Seal() { StoreLe32(&bytes_[kCrcOffset], ComputedCrc()); }

bool GptEntry::Used() const {
    return std::any_of(bytes, bytes + 16, [](std::uint8_t b) { return b != 0; });
}

std::string GptFindingText(const GptFinding& finding) {
    for (const auto& row : kProblemTexts)
        if (row.problem == finding.problem) return Format(row.text, finding.partition);
    return {};
}

std::vector<GptFinding> CheckGptHeader(const GptHeader& h, GptCopyKind kind, std::uint64_t lba,
                                       std::uint64_t totalSectors) {
    if (!h.HasSignature()) return {{GptProblem::NoSignature}};
    if (h.HeaderSize() < kMinHeaderSize || h.HeaderSize() > kSectorSize) return {{GptProblem::HeaderSize}};
    std::vector<GptFinding> found;
    const auto add = [&found](GptProblem p) { found.push_back({p}); };
    if (h.StoredCrc() != h.ComputedCrc()) add(GptProblem::HeaderCrc);
    if (h.OwnLba() != lba) add(GptProblem::OwnLba);
    const bool primary = kind == GptCopyKind::Primary;
    const std::uint64_t alternate = h.AlternateLba();
    if (primary ? alternate < 2 || (totalSectors != 0 && alternate != totalSectors - 1) : alternate != 1)
        add(GptProblem::AlternateLba);
    const bool sizeFits = h.EntrySize() == kGptEntrySize;
    const bool countFits = h.EntryCount() != 0 && h.EntryCount() <= kMaxGptEntries;
    if (!sizeFits) add(GptProblem::EntrySize);
    if (!countFits) add(GptProblem::EntryCount);
    // Where the arrays lie follows only from entries that fit.
    if (!sizeFits || !countFits) return found;
    const std::uint64_t backupLba = primary ? alternate : lba;
    const std::uint32_t sectors = h.EntrySectors();
    if (!UsableAreaFits(h, backupLba, sectors)) add(GptProblem::UsableArea);
    if (!ArrayFits(h, kind, backupLba, sectors)) add(GptProblem::ArrayPlace);
    return found;
}

std::vector<GptFinding> CheckGptEntries(const GptHeader& h, std::span<const std::uint8_t> entries) {
    const std::size_t count = std::min<std::size_t>(h.EntryCount(), entries.size() / kGptEntrySize);
    if (count < h.EntryCount()) return {{GptProblem::Unreadable}};
    std::vector<GptFinding> found;
    if (Crc32(entries.data(), count * kGptEntrySize) != h.EntriesCrc())
        found.push_back({GptProblem::ArrayCrc});
    for (std::size_t i = 0; i < count; ++i) {
        const GptEntry e{entries.data() + i * kGptEntrySize};
        const auto number = static_cast<std::uint32_t>(i + 1);
        if (!e.Used()) continue;
        if (e.FirstLba() > e.LastLba())
            found.push_back({GptProblem::PartitionReversed, number});
        else if (e.FirstLba() < h.FirstUsableLba() || e.LastLba() > h.LastUsableLba())
            found.push_back({GptProblem::PartitionOutside, number});
    }
    return found;
}

GptCopies ReadGptCopies(const SectorRunReader& read, std::uint64_t totalSectors) {
    GptCopies copies;
    copies.primary.headerLba = 1;
    ReadCopy(copies.primary, read, GptCopyKind::Primary, totalSectors);
    // A primary that passed names the disk's last sector, when the size is
    // known; when it is not, the primary is all there is to go by.
    if (copies.primary.Passes()) {
        copies.backup.headerLba = copies.primary.header.AlternateLba();
    } else if (totalSectors != 0) {
        copies.backup.headerLba = totalSectors - 1;
    } else {
        copies.backup.headerFindings = {{GptProblem::NotLocated}};
        copies.backup.entryFindings = {{GptProblem::NotChecked}};
        return copies;
    }
    ReadCopy(copies.backup, read, GptCopyKind::Backup, totalSectors);
    return copies;
}

}  // namespace partam
