#include "gpt/gpt_disk.h"

#include <algorithm>
#include <cstring>

#include "base/crc32.h"
#include "base/result_codes.h"
#include "disk/disk.h"
#include "gpt/gpt_types.h"

namespace partam {

namespace {

constexpr std::size_t kHeaderSizeOffset = 12;
constexpr std::size_t kHeaderCrcOffset = 16;
constexpr std::size_t kCurrentLbaOffset = 24;
constexpr std::size_t kAlternateLbaOffset = 32;
constexpr std::size_t kFirstUsableOffset = 40;
constexpr std::size_t kLastUsableOffset = 48;
constexpr std::size_t kDiskGuidOffset = 56;
constexpr std::size_t kEntryLbaOffset = 72;
constexpr std::size_t kEntryCountOffset = 80;
constexpr std::size_t kEntrySizeOffset = 84;
constexpr std::size_t kEntriesCrcOffset = 88;
constexpr std::uint32_t kMinHeaderSize = 92;

bool HasGptSignature(const std::uint8_t* header) { return std::memcmp(header, "EFI PART", 8) == 0; }

bool IsUnused(const std::uint8_t* entry) {
    return std::all_of(entry, entry + 16, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

std::uint32_t GptEntrySectors(std::uint32_t entries) {
    return static_cast<std::uint32_t>((std::uint64_t{entries} * kGptEntrySize + kSectorSize - 1) /
                                      kSectorSize);
}

bool GptHeaderUsable(SectorView h, std::uint64_t totalSectors) {
    if (!HasGptSignature(h.data())) return false;
    const std::uint32_t size = LoadLe32(&h[kHeaderSizeOffset]);
    const std::uint32_t count = LoadLe32(&h[kEntryCountOffset]);
    if (size < kMinHeaderSize || size > kSectorSize || LoadLe32(&h[kEntrySizeOffset]) != kGptEntrySize ||
        count > kMaxGptEntries)
        return false;
    const std::uint64_t lba = LoadLe64(&h[kEntryLbaOffset]);
    return lba >= 1 &&
           (totalSectors == 0 || (lba < totalSectors && GptEntrySectors(count) <= totalSectors - lba));
}

void SealGptHeader(SectorSpan h) {
    const std::uint32_t size =
        std::clamp<std::uint32_t>(LoadLe32(&h[kHeaderSizeOffset]), kMinHeaderSize, kSectorSize);
    StoreLe32(&h[kHeaderCrcOffset], 0);
    StoreLe32(&h[kHeaderCrcOffset], Crc32(h.data(), size));
}

std::unique_ptr<GptDisk> ReadGpt(const TableSource& source, const FileSystemNamer& namer) {
    auto gpt = std::make_unique<GptDisk>();
    gpt->totalSectors_ = source.totalSectors;
    if (!source.read || !source.read(1, gpt->primary_.data()) || !HasGptSignature(gpt->primary_.data())) {
        gpt->SetError(kInvalidEfiDisk);
        return gpt;
    }
    gpt->headerFound_ = true;
    if (!GptHeaderUsable(gpt->primary_, source.totalSectors)) {
        // Numbers that do not fit the disk are not used to read anything.
        gpt->SetError(kInvalidEfiDisk);
        return gpt;
    }
    const std::uint64_t alternate = LoadLe64(&gpt->primary_[kAlternateLbaOffset]);
    Sector backup{};
    const bool backupThere = (source.totalSectors == 0 || alternate < source.totalSectors) &&
                             source.read(alternate, backup.data()) && HasGptSignature(backup.data());
    if (!backupThere) gpt->SetError(201);
    gpt->valid_ = gpt->error_ == 0;
    const std::uint32_t sectors = gpt->EntrySectors();
    gpt->entries_.assign(static_cast<std::size_t>(sectors) * kSectorSize, 0);
    for (std::uint32_t i = 0; i < sectors; ++i) {
        if (!source.read(gpt->EntryArrayLba() + i, gpt->entries_.data() + std::size_t{i} * kSectorSize)) {
            gpt->SetError(kGptFileReadFailed);
            gpt->entries_.clear();
            return gpt;
        }
    }
    gpt->BuildRecords(namer);
    return gpt;
}

void GptDisk::BuildRecords(const FileSystemNamer& namer) {
    records_.clear();
    const std::uint32_t count = std::min<std::uint32_t>(EntryCount(), entries_.size() / kGptEntrySize);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = entries_.data() + std::size_t{i} * kGptEntrySize;
        const std::string guid = GuidText(e);
        const GptTypeInfo& type = LookupGptType(guid);
        if (type.id == 0) continue;
        GptPartition r;
        const std::uint64_t first = LoadLe64(e + 32), last = LoadLe64(e + 40);
        r.part.start = first;
        r.part.sectors = last >= first ? last - first + 1 : 0;
        r.part.bytes = r.part.sectors * kSectorSize;
        r.part.present = 1;
        r.part.isPrimary = 1;
        r.part.position = static_cast<std::uint32_t>(records_.size() + 1);
        r.part.typeName = type.shortName;
        r.catalogueId = type.id;
        r.typeGuid = guid;
        r.shortName = type.shortName;
        r.description = type.description;
        r.entryIndex = i;
        r.attributeBits = static_cast<std::uint8_t>(e[48] & 0x3C);
        std::copy_n(e, kGptEntrySize, r.rawEntry.begin());
        if (namer) {
            const NamedFileSystem fs = namer(first);
            r.fileSystemCode = fs.code;
            r.fileSystemName = fs.name;
        }
        records_.push_back(std::move(r));
    }
}

std::int32_t GptDisk::PartitionCount(int) const { return static_cast<std::int32_t>(records_.size()); }

mPart* GptDisk::GetPartition(int number, bool) {
    if (number < 1 || static_cast<std::size_t>(number) > records_.size()) return nullptr;
    return &records_[static_cast<std::size_t>(number - 1)].part;
}

int GptDisk::SetError(int code) {
    if (code == 1)
        error_ = 0;
    else if (code != 0 && error_ == 0)
        error_ = code;
    return error_;
}

std::string GptDisk::DiskGuidText() const { return GuidText(&primary_[kDiskGuidOffset]); }
std::uint64_t GptDisk::FirstUsableLba() const { return LoadLe64(&primary_[kFirstUsableOffset]); }
std::uint64_t GptDisk::LastUsableLba() const { return LoadLe64(&primary_[kLastUsableOffset]); }
std::uint64_t GptDisk::EntryArrayLba() const { return LoadLe64(&primary_[kEntryLbaOffset]); }
std::uint32_t GptDisk::EntryCount() const { return LoadLe32(&primary_[kEntryCountOffset]); }
std::uint32_t GptDisk::EntrySectors() const { return GptEntrySectors(EntryCount()); }

int GptDisk::WriteTable(mDisk& disk, const Sector& primaryIn, const std::vector<std::uint8_t>& entries) {
    Sector primary = primaryIn;
    const std::uint32_t count = LoadLe32(&primary[kEntryCountOffset]);
    const std::uint32_t sectors = GptEntrySectors(count);
    const std::uint64_t alternate = LoadLe64(&primary[kAlternateLbaOffset]);
    const std::uint64_t total = disk.TotalSectors();
    const std::uint64_t entryLba = LoadLe64(&primary[kEntryLbaOffset]);
    // The backup array lies just before the backup header, at the disk's end;
    // the primary array lies after the primary header and clear of it.
    if (entries.size() < std::size_t{sectors} * kSectorSize || alternate <= sectors ||
        (total != 0 && alternate >= total) || entryLba < 2 || entryLba > alternate - sectors ||
        sectors > alternate - sectors - entryLba)
        return SetError(kGptSaveFailed);
    // The primary header is sector 1, whatever the header given says of
    // itself: a damaged field must not send it over another sector.
    StoreLe64(&primary[kCurrentLbaOffset], 1);
    StoreLe32(&primary[kEntriesCrcOffset], Crc32(entries.data(), std::size_t{count} * kGptEntrySize));
    Sector backup = primary;
    StoreLe64(&backup[kCurrentLbaOffset], alternate);
    StoreLe64(&backup[kAlternateLbaOffset], 1);
    StoreLe64(&backup[kEntryLbaOffset], alternate - sectors);
    SealGptHeader(primary);
    SealGptHeader(backup);
    const bool written = disk.WriteSectors(entries.data(), alternate - sectors, sectors) == 0 &&
                         disk.WriteSectors(backup.data(), alternate, 1) == 0 &&
                         disk.WriteSectors(entries.data(), entryLba, sectors) == 0 &&
                         disk.WriteSectors(primary.data(), 1, 1) == 0;
    if (!written) return SetError(kGptSaveFailed);
    primary_ = primary;
    entries_ = entries;
    // Both copies are on the disk now, agreeing: whatever was missing before
    // is not.
    valid_ = true;
    SetError(1);
    return 0;
}

int GptDisk::DeleteEntry(mDisk& disk, int number) {
    if (number < 1 || static_cast<std::size_t>(number) > records_.size()) return SetError(kGptSaveFailed);
    return Delete(disk, {records_[static_cast<std::size_t>(number - 1)].entryIndex});
}

int GptDisk::DeleteAll(mDisk& disk) {
    std::vector<std::uint32_t> all;
    for (const GptPartition& r : records_) all.push_back(r.entryIndex);
    return Delete(disk, all);
}

// One write of the whole GPT takes the partitions away: every other entry in
// use moves to the front, in its order, and the partitions left follow
// their entries to where they went.
int GptDisk::Delete(mDisk& disk, const std::vector<std::uint32_t>& gone) {
    if (!Usable()) return error_ != 0 ? error_ : SetError(kInvalidEfiDisk);
    std::vector<std::uint8_t> packed(entries_.size(), 0);
    std::vector<std::uint32_t> movedTo(EntryCount(), 0);
    std::uint32_t at = 0;
    for (std::uint32_t i = 0; i < EntryCount() && (i + 1) * std::size_t{kGptEntrySize} <= entries_.size();
         ++i) {
        const std::uint8_t* e = entries_.data() + std::size_t{i} * kGptEntrySize;
        if (IsUnused(e) || std::find(gone.begin(), gone.end(), i) != gone.end()) continue;
        std::copy_n(e, kGptEntrySize,
                    packed.begin() + static_cast<std::ptrdiff_t>(std::size_t{at} * kGptEntrySize));
        movedTo[i] = at++;
    }
    const int code = WriteTable(disk, primary_, packed);
    if (code != 0) return code;
    std::erase_if(records_, [&gone](const GptPartition& r) {
        return std::find(gone.begin(), gone.end(), r.entryIndex) != gone.end();
    });
    for (std::size_t i = 0; i < records_.size(); ++i) {
        records_[i].part.position = static_cast<std::uint32_t>(i + 1);
        records_[i].entryIndex = movedTo[records_[i].entryIndex];
    }
    return code;
}

}  // namespace partam
