#include "backup/gpt_restore.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "backup/save_restore.h"
#include "base/result_codes.h"

namespace partam {

namespace {

// The most sectors a GPT backup holds: the protective MBR, the header and
// the largest entry array right after it. A GPT whose array lies further on
// is not saved, since no restore would take the file.
std::uint64_t MaxGptBackupSectors() { return 2 + GptEntrySectors(kMaxGptEntries); }

// The GPT a backup holds, its data being the disk's sectors from 0 on:
// the header must pass as the primary of the disk it was saved from (whose
// last sector it names), its array must lie in the file and match its CRC,
// and every used entry must lie in its usable area. 200 otherwise.
int SavedTable(const GptHeader& header, const std::vector<std::uint8_t>& data,
               std::vector<std::uint8_t>& entries) {
    const std::uint64_t saved = data.size() / kSectorSize;
    const std::uint64_t alternate = header.AlternateLba();
    if (alternate == std::numeric_limits<std::uint64_t>::max() ||
        !CheckGptHeader(header, GptCopyKind::Primary, 1, alternate + 1).empty())
        return kInvalidEfiDisk;
    const std::uint64_t lba = header.EntryLba();
    const std::uint32_t sectors = header.EntrySectors();
    if (lba > saved || sectors > saved - lba) return kInvalidEfiDisk;
    entries.assign(data.begin() + static_cast<std::ptrdiff_t>(lba * kSectorSize),
                   data.begin() + static_cast<std::ptrdiff_t>((lba + sectors) * kSectorSize));
    return CheckGptEntries(header, entries).empty() ? 0 : static_cast<int>(kInvalidEfiDisk);
}

// Moves the backup to the last sector of a disk of another size, and the
// end of the usable area with it. 560 when the usable area or a used entry
// would reach past that end.
int FitToDisk(GptHeader& header, const std::vector<std::uint8_t>& entries, std::uint64_t totalSectors) {
    if (totalSectors != 0 && header.AlternateLba() == totalSectors - 1) return 0;
    const std::uint32_t sectors = header.EntrySectors();
    if (totalSectors < std::uint64_t{sectors} + 3) return kFileSizeMismatch;
    const std::uint64_t lastUsable = totalSectors - 2 - sectors;
    if (header.FirstUsableLba() > lastUsable) return kFileSizeMismatch;
    for (std::uint32_t i = 0; i < header.EntryCount(); ++i) {
        const GptEntry e{entries.data() + std::size_t{i} * kGptEntrySize};
        if (e.Used() && e.LastLba() > lastUsable) return kFileSizeMismatch;
    }
    header.SetAlternateLba(totalSectors - 1);
    header.SetLastUsableLba(lastUsable);
    return 0;
}

// A protective MBR covers the whole disk it lies on (or as much of it as
// 32 bits count).
void FitProtectiveEntry(SectorSpan mbr, std::uint64_t totalSectors) {
    PartitionEntry entry = ReadSlot(mbr, 0);
    if (entry.TypeByte() != kProtectiveType || entry.Start() != 1 || totalSectors < 2) return;
    entry.SetSectors(static_cast<std::uint32_t>(std::min<std::uint64_t>(totalSectors - 1, 0xFFFFFFFFu)));
    WriteSlot(mbr, 0, entry);
}

}  // namespace

int SaveGpt(mDisk& disk, GptDisk& gpt, const std::string& path, BackupKind kind, bool ignoreErrors) {
    const GptHeader header = gpt.PrimaryHeader();
    const std::uint64_t lba = header.EntryLba();
    if (!gpt.Basis() || lba > MaxGptBackupSectors() - header.EntrySectors()) return kInvalidEfiDisk;
    std::vector<std::uint8_t> sectors(static_cast<std::size_t>(lba + header.EntrySectors()) * kSectorSize, 0);
    // Sector 0, and the sectors between the header and the array, as the
    // disk holds them; with ignoreErrors one that cannot be read is zeros.
    const auto readRun = [&](std::uint64_t first, std::uint64_t count) {
        std::uint8_t* at = sectors.data() + first * kSectorSize;
        if (count == 0 || disk.ReadSectors(at, first, static_cast<std::uint32_t>(count)) == 0) return true;
        std::fill_n(at, count * kSectorSize, 0);
        return ignoreErrors;
    };
    if (!readRun(0, 1) || !readRun(2, lba - 2)) return kBackupWriteFailed;
    std::copy(header.Bytes().begin(), header.Bytes().end(), sectors.begin() + kSectorSize);
    std::copy(gpt.Entries().begin(), gpt.Entries().end(),
              sectors.begin() + static_cast<std::ptrdiff_t>(lba * kSectorSize));
    return SaveSectors(disk, path, 0, sectors, kind);
}

int RestoreGpt(mDisk& disk, GptDisk& gpt, const std::string& path) {
    SectorFile file(disk.GetPlatform());
    if (!file.OpenRead(path)) return kGptFileOpenFailed;
    Sector head{};
    if (!file.ReadSectors(head.data(), 0, 1)) return kGptFileReadFailed;
    if (ProbeBackupHeader(head) != static_cast<std::uint8_t>(BackupKind::Gpt)) return kGptBadBackupFile;
    // A GPT backup is the protective MBR, the header and the entry array: a
    // count beyond what the largest entry array needs is no GPT backup.
    const std::uint64_t count = DecodeBackupHeader(head).countField;
    if (count < 2 || count > MaxGptBackupSectors()) return kGptFileReadFailed;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(count) * kSectorSize);
    if (!file.ReadSectors(data.data(), 1, static_cast<std::uint32_t>(count))) return kGptFileReadFailed;
    GptHeader header(data.data() + kSectorSize);
    if (!header.HasSignature()) return kInvalidEfiDisk;
    std::vector<std::uint8_t> entries;
    if (const int refused = SavedTable(header, data, entries); refused != 0) return refused;
    if (const int refused = FitToDisk(header, entries, disk.TotalSectors()); refused != 0) return refused;
    // The GPT first, both copies; the protective MBR last.
    if (const int code = gpt.WriteTable(disk, header, entries); code != 0) return code;
    const SectorSpan mbr(data.data(), kSectorSize);
    FitProtectiveEntry(mbr, disk.TotalSectors());
    return disk.WriteSectors(mbr.data(), 0, 1) == 0 ? 0 : static_cast<int>(kGptSaveFailed);
}

}  // namespace partam
