#include "gpt/gpt_disk.h"

#include <algorithm>

#include "base/crc32.h"
#include "base/result_codes.h"
#include "disk/disk.h"
#include "gpt/gpt_types.h"

namespace partam {

std::unique_ptr<GptDisk> ReadGpt(const TableSource& source, const FileSystemNamer& namer) {
    auto gpt = std::make_unique<GptDisk>();
    const SectorRunReader unreadable = [](std::uint64_t, std::uint32_t, std::uint8_t*) { return false; };
    gpt->copies_ = ReadGptCopies(source.readRun ? source.readRun : unreadable, source.totalSectors);
    gpt->BuildRecords(namer);
    return gpt;
}

void GptDisk::BuildRecords(const FileSystemNamer& namer) {
    records_.clear();
    const GptCopy* basis = Basis();
    if (!basis) return;
    for (std::uint32_t i = 0; i < basis->header.EntryCount(); ++i) {
        const std::uint8_t* e = basis->entries.data() + std::size_t{i} * kGptEntrySize;
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

const GptCopy* GptDisk::Basis() const {
    if (copies_.primary.Passes()) return &copies_.primary;
    if (copies_.backup.Passes()) return &copies_.backup;
    return nullptr;
}

int GptDisk::WriteRefusal() const {
    if (Basis()) return 0;
    return copies_.primary.header.HasSignature() ? kGptSaveFailed : kInvalidEfiDisk;
}

GptHeader GptDisk::PrimaryHeader() const {
    const GptCopy* basis = Basis();
    if (basis != &copies_.backup) return copies_.primary.header;
    GptHeader primary = basis->header;
    primary.SetOwnLba(1);
    primary.SetAlternateLba(basis->headerLba);
    primary.SetEntryLba(2);
    primary.Seal();
    return primary;
}

const std::vector<std::uint8_t>& GptDisk::Entries() const {
    static const std::vector<std::uint8_t> none;
    const GptCopy* basis = Basis();
    return basis ? basis->entries : none;
}

int GptDisk::WriteTable(mDisk& disk, const GptHeader& primaryIn, const std::vector<std::uint8_t>& entries) {
    GptHeader primary = primaryIn;
    const std::uint32_t sectors = primary.EntrySectors();
    if (primary.EntryCount() > kMaxGptEntries || entries.size() != std::size_t{sectors} * kSectorSize)
        return kGptSaveFailed;
    const std::uint64_t alternate = primary.AlternateLba();
    primary.SetOwnLba(1);
    primary.SetEntriesCrc(Crc32(entries.data(), std::size_t{primary.EntryCount()} * kGptEntrySize));
    primary.Seal();
    // The backup array lies just before the backup header, at the disk's end.
    GptHeader backup = primary;
    backup.SetOwnLba(alternate);
    backup.SetAlternateLba(1);
    backup.SetEntryLba(alternate - sectors);
    backup.Seal();
    // What is written must be what a reading would take: both copies pass,
    // which keeps every sector written clear of every partition they hold.
    const std::uint64_t total = disk.TotalSectors();
    if (!CheckGptHeader(primary, GptCopyKind::Primary, 1, total).empty() ||
        !CheckGptHeader(backup, GptCopyKind::Backup, alternate, total).empty() ||
        !CheckGptEntries(primary, entries).empty())
        return kGptSaveFailed;
    const bool written = disk.WriteSectors(entries.data(), backup.EntryLba(), sectors) == 0 &&
                         disk.WriteSectors(backup.Bytes().data(), alternate, 1) == 0 && disk.Flush() &&
                         disk.WriteSectors(entries.data(), primary.EntryLba(), sectors) == 0 &&
                         disk.WriteSectors(primary.Bytes().data(), 1, 1) == 0;
    if (!written) return kGptSaveFailed;
    copies_.primary = GptCopy{1, primary, entries, {}, {}};
    copies_.backup = GptCopy{alternate, backup, entries, {}, {}};
    return 0;
}

int GptDisk::DeleteEntry(mDisk& disk, int number) {
    if (number < 1 || static_cast<std::size_t>(number) > records_.size()) return kGptSaveFailed;
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
    if (const int refused = WriteRefusal(); refused != 0) return refused;
    const std::vector<std::uint8_t>& entries = Entries();
    const std::uint32_t count = Basis()->header.EntryCount();
    std::vector<std::uint8_t> packed(entries.size(), 0);
    std::vector<std::uint32_t> movedTo(count, 0);
    std::uint32_t at = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = entries.data() + std::size_t{i} * kGptEntrySize;
        if (!GptEntry{e}.Used() || std::find(gone.begin(), gone.end(), i) != gone.end()) continue;
        std::copy_n(e, kGptEntrySize,
                    packed.begin() + static_cast<std::ptrdiff_t>(std::size_t{at} * kGptEntrySize));
        movedTo[i] = at++;
    }
    const int code = WriteTable(disk, PrimaryHeader(), packed);
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
