#include "backup/save_restore.h"

#include <algorithm>
#include <cinttypes>
#include <vector>

#include "backup/progress.h"
#include "backup/sector_range.h"
#include "base/result_codes.h"
#include "base/sector_buffer.h"
#include "base/text.h"
#include "disk/replacement_file.h"

namespace partam {

namespace {

// The longest computer name the header keeps.
constexpr std::size_t kComputerNameLength = 15;

// Writes all of bytes, or fails: a short write is a failure here.
bool WriteAll(SectorFile& file, const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t done = 0;
    return file.WriteBytes(bytes, static_cast<std::uint32_t>(count), &done) && done == count;
}

// Where a restore writes: a header must name the kind asked for and the
// sector the restore writes to, or, for the file's own sectors, names them;
// a plain dump goes where it is asked to, and has no sectors of its own.
std::optional<std::uint64_t> Destination(const RestoreRequest& r, const std::optional<BackupHeader>& header) {
    if (!header) return r.ownSectors ? std::nullopt : std::optional<std::uint64_t>(r.target);
    if (r.kind != BackupKind::None && header->kind != static_cast<std::uint8_t>(r.kind)) return std::nullopt;
    if (r.ownSectors) return header->firstSector;
    return header->firstSector == r.target ? std::optional<std::uint64_t>(r.target) : std::nullopt;
}

// Whether an existing file may be written, found by opening it to write
// without changing it.
bool Writable(Platform& platform, const std::string& path) {
    const FileId probe = platform.OpenFile(path, kGenericWrite, kShareRead | kShareWrite, kOpenExisting, 0);
    if (probe == kNoFile) return false;
    platform.CloseFile(probe);
    return true;
}

// The new file of a backup, which replaces the one of its name only once it
// is whole (see ReplacementFile). A file that cannot be made is one in a
// place that does not exist (562) or one that exists and may not be
// replaced (563), as when the save wrote the file in place.
int CreateBackupFile(ReplacementFile& file, const std::string& path, bool tellExisting) {
    Platform& platform = file.File().GetPlatform();
    const bool exists = FileExists(platform, path);
    if ((!exists || Writable(platform, path)) && file.Create()) return 0;
    return tellExisting && exists ? kCannotOverwrite : kBadPath;
}

// Which transfers of a save lie wholly in a hole of the disk, as far as the
// disk can tell: its answer (the next sector that may hold data) is kept
// until the save comes to that sector, so that a long hole is asked about
// once, and a disk that cannot tell is not asked again.
struct HoleMap {
    mDisk& disk;
    bool tells = true;
    std::uint64_t next = 0;

    bool Hole(std::uint64_t at, std::uint32_t count) {
        if (tells && at >= next) tells = disk.NextData(at, next);
        return tells && next > at && next - at >= count;
    }
};

}  // namespace

BackupHeader HeaderFor(mDisk& disk, BackupKind kind, std::uint64_t firstSector, std::uint64_t countField) {
    Platform& platform = disk.GetPlatform();
    BackupHeader h;
    h.kind = static_cast<std::uint8_t>(kind);
    h.time = platform.UtcTime();
    h.mbrDisk = !disk.IsGpt();
    h.removable = disk.IsRemovable();
    h.totalSectors = disk.TotalSectors();
    const int partitions = disk.PartitionCount(0);
    h.partitionCount = static_cast<std::uint16_t>(std::min(partitions, 0xFFFF));
    h.model = disk.DeviceDescription();
    h.diskCount = static_cast<std::uint16_t>(disk.DiskCount());
    h.computerName = platform.ComputerName(kComputerNameLength).value_or(std::string());
    h.firstSector = firstSector;
    h.countField = countField;
    for (int n = 1; n <= 4; ++n) {
        if (const mPart* p = disk.GetPartition(n, false))
            h.labels[static_cast<std::size_t>(n - 1)] = p->volumeLabel;
    }
    for (int n = 1; n <= partitions; ++n) {
        const mPart* p = disk.GetPartition(n, false);
        if (p && p->start == firstSector) {
            h.matchedNumber = static_cast<std::uint8_t>(n);
            h.matchedSlot = static_cast<std::uint8_t>(p->slot);
            h.matchedType = static_cast<std::uint8_t>(p->type);
        }
    }
    return h;
}

int SmallSave(mDisk& disk, const std::string& path, std::uint64_t first, std::uint32_t count, BackupKind kind,
              bool ignoreErrors) {
    std::vector<std::uint8_t> sectors;
    for (std::uint32_t i = 0; i < count; ++i) {
        Sector sector{};
        if (disk.ReadSectors(sector.data(), first + i, 1) != 0 && !ignoreErrors) return kBackupWriteFailed;
        sectors.insert(sectors.end(), sector.begin(), sector.end());
    }
    return SaveSectors(disk, path, first, sectors, kind);
}

int SaveSectors(mDisk& disk, const std::string& path, std::uint64_t first,
                const std::vector<std::uint8_t>& sectors, BackupKind kind) {
    std::vector<std::uint8_t> content;
    if (kind != BackupKind::None) {
        const Sector header = EncodeBackupHeader(HeaderFor(disk, kind, first, sectors.size() / kSectorSize));
        content.assign(header.begin(), header.end());
    }
    content.insert(content.end(), sectors.begin(), sectors.end());
    ReplacementFile output(disk.GetPlatform(), path);
    if (const int refused = CreateBackupFile(output, path, true); refused != 0) return refused;
    if (!WriteAll(output.File(), content.data(), content.size())) return kBackupWriteFailed;
    if (!output.Finish(false)) return kBackupWriteFailed;
    return 0;
}

int LargeSave(mDisk& disk, const std::string& path, std::uint64_t first, std::uint64_t last, BackupKind kind,
              bool ignoreErrors) {
    ReplacementFile output(disk.GetPlatform(), path);
    if (const int refused = CreateBackupFile(output, path, false); refused != 0) return refused;
    SectorFile& file = output.File();
    if (kind != BackupKind::None) {
        const Sector header = EncodeBackupHeader(HeaderFor(disk, kind, first, last));
        if (!WriteAll(file, header.data(), header.size())) return kBackupWriteFailed;
    }
    // A regular file keeps the transfers of zeros as holes: they are
    // seeked past, and the file's size is set once all are done.
    const bool holes = file.AllowHoles();
    std::uint64_t size = kind != BackupKind::None ? kSectorSize : 0;
    std::uint64_t skipped = 0;  // bytes of zeros not yet seeked past
    HoleMap map{disk};
    ProgressFigure progress(disk.GetPlatform());
    SectorBuffer buffer(kChunkSectors);
    for (std::uint64_t at = first; at <= last;) {
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunkSectors, last - at + 1));
        const std::size_t bytes = std::size_t{n} * kSectorSize;
        bool zeros = map.Hole(at, n);
        if (!zeros && disk.ReadSectors(buffer.data(), at, n) != 0) {
            if (!ignoreErrors) return kBackupReadFailed;
            zeros = true;
        }
        if (holes && (zeros || AllZero(buffer.data(), bytes))) {
            skipped += bytes;
        } else {
            if (zeros) std::fill_n(buffer.data(), bytes, 0);
            // The transfers of zeros before this one are passed over at once.
            const bool stored =
                (skipped == 0 || file.Seek(static_cast<std::int64_t>(skipped), SeekOrigin::Current)) &&
                WriteAll(file, buffer.data(), bytes);
            if (!stored) return kBackupWriteFailed;
            skipped = 0;
        }
        size += bytes;
        at += n;
        if (last >= kProgressFromLastSector)
            progress.Show(ProgressFigure::Percent(at - first, last, at > last));
        if (at == 0) break;  // past the largest sector number
    }
    if (holes && !file.SetSize(size)) return kBackupWriteFailed;
    // A save that failed leaves the file of its name as it was.
    if (!output.Finish(false)) return kBackupWriteFailed;
    return 0;
}

std::optional<BackupHeader> ReadBackupHeader(Platform& platform, const std::string& path) {
    SectorFile file(platform);
    Sector first{};
    if (!file.OpenRead(path) || !file.ReadSectors(first.data(), 0, 1) || ProbeBackupHeader(first) == 0)
        return std::nullopt;
    return DecodeBackupHeader(first);
}

std::uint32_t VolumeBootRecordSectors(std::uint32_t type) {
    switch (type) {
        case 0x04:
        case 0x05:
        case 0x06:
        case 0x0B:
        case 0x0C:
        case 0x0E:
        case 0x12:
        case 0x14:
        case 0x15:
        case 0x16:
        case 0x1B:
        case 0x1C:
        case 0x1E:
            return 3;
        case 0x07:
        case 0x17:
            return 7;
        default:
            return 0;
    }
}

int Restore(mDisk& disk, const RestoreRequest& r) {
    Platform& platform = disk.GetPlatform();
    SectorFile file(platform);
    if (!file.OpenRead(r.path)) return kFileMissing;
    const std::uint64_t size = file.Size();
    Sector first{};
    const bool header =
        size >= kSectorSize && file.ReadSectors(first.data(), 0, 1) && ProbeBackupHeader(first) != 0;
    const std::optional<BackupHeader> saved =
        header ? std::optional<BackupHeader>(DecodeBackupHeader(first)) : std::nullopt;
    const std::optional<std::uint64_t> target = Destination(r, saved);
    const std::uint64_t held = (size - (header ? kSectorSize : 0)) / kSectorSize;
    const std::uint64_t data = saved ? HeaderDataSectors(*saved) : held;
    // Nothing is written unless all of it can be: the file goes where it
    // came from, holds what it claims, whole sectors, no more than asked
    // for, and the disk has room.
    const bool fits = target && data != 0 && data <= held && (header || size % kSectorSize == 0) &&
                      (r.expected < 0 || data <= static_cast<std::uint64_t>(r.expected)) &&
                      (disk.TotalSectors() == 0 ||
                       (*target < disk.TotalSectors() && data <= disk.TotalSectors() - *target));
    if (!fits) return kFileSizeMismatch;
    if (r.expected < 0) platform.Write(Format("\n Sector Count: %" PRIu64 " \n", data));

    const std::uint64_t dataStart = header ? 1 : 0;
    int failed = 0;
    SectorBuffer buffer(static_cast<std::size_t>(std::min<std::uint64_t>(data, kChunkSectors)));
    for (std::uint64_t k = 0, done = 0; done < data; ++k) {
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunkSectors, data - done));
        if (!file.ReadSectors(buffer.data(), dataStart + done, n)) return kBackupReadFailed;
        platform.Write(Format(" %" PRIu64 " ", k));
        if (r.mbrCheck && k == 0 && !HasBootSignature(SectorView(buffer.data(), kSectorSize)))
            return kFileWithoutValidMbr;
        // A failed write is recorded and the later chunks are still written.
        if (const int code = disk.WriteSectors(buffer.data(), *target + done, n); failed == 0) failed = code;
        done += n;
    }
    if (!disk.Flush() && failed == 0) failed = kSectorWriteFailed;
    return failed;
}

}  // namespace partam
