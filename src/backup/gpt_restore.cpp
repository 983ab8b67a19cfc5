#include "backup/gpt_restore.h"

#include <cstring>
#include <vector>

#include "backup/backup_file.h"
#include "base/result_codes.h"

namespace partam {

std::uint32_t MaxGptBackupSectors() { return 2 + GptEntrySectors(kMaxGptEntries); }

std::uint32_t GptBackupSectors(GptDisk& gpt) {
    const std::uint64_t sectors = gpt.EntryArrayLba() + gpt.EntrySectors();
    return sectors <= MaxGptBackupSectors() ? static_cast<std::uint32_t>(sectors) : 0;
}

int RestoreGpt(mDisk& disk, GptDisk& gpt, const std::string& path) {
    SectorFile file(disk.GetPlatform());
    if (!file.OpenRead(path)) return gpt.SetError(kGptFileOpenFailed);
    Sector head{};
    if (!file.ReadSectors(head.data(), 0, 1)) return gpt.SetError(kGptFileReadFailed);
    if (ProbeBackupHeader(head) != static_cast<std::uint8_t>(BackupKind::Gpt))
        return gpt.SetError(kGptBadBackupFile);
    // A GPT backup is the protective MBR, the header and the entry array: a
    // count beyond what the largest entry array needs is no GPT backup.
    const std::uint64_t count = DecodeBackupHeader(head).countField;
    if (count < 2 || count > MaxGptBackupSectors()) return gpt.SetError(kGptFileReadFailed);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(count) * kSectorSize);
    if (!file.ReadSectors(data.data(), 1, static_cast<std::uint32_t>(count)))
        return gpt.SetError(kGptFileReadFailed);
    Sector header{};
    std::memcpy(header.data(), data.data() + kSectorSize, kSectorSize);
    if (std::memcmp(header.data(), "EFI PART", 8) != 0) return gpt.SetError(kInvalidEfiDisk);
    // The saved entries must lie in the saved sectors, and the saved header's
    // numbers must fit this disk.
    const std::uint64_t lba = LoadLe64(&header[72]);
    const std::uint32_t sectors = GptEntrySectors(LoadLe32(&header[80]));
    if (!GptHeaderUsable(header, disk.TotalSectors()) || lba > count || sectors > count - lba)
        return gpt.SetError(kInvalidEfiDisk);
    const std::vector<std::uint8_t> entries(
        data.begin() + static_cast<std::ptrdiff_t>(lba * kSectorSize),
        data.begin() + static_cast<std::ptrdiff_t>((lba + sectors) * kSectorSize));
    // The GPT first, both copies; the protective MBR last.
    if (gpt.WriteTable(disk, header, entries) != 0) return gpt.Error();
    if (disk.WriteSectors(data.data(), 0, 1) != 0) return gpt.SetError(kGptSaveFailed);
    return gpt.Error();
}

}  // namespace partam
