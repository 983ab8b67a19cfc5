#include "backup/save_restore.h"

#include <algorithm>
#include <cinttypes>
#include <vector>

#include "backup/progress.h"
#include "backup/sector_range.h"
#include "base/result_codes.h"
#include "base/sector_buffer.h"
#include "base/text.h"

namespace partam {

namespace {

// The longest computer name the header keeps.
constexpr std::size_t kComputerNameLength = 15;

// Writes all of bytes, or fails: a short write is a failure here.
bool WriteAll(SectorFile& file, const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t done = 0;
    return file.WriteBytes(bytes, static_cast<std::uint32_t>(count), &done) && done == count;
}

// A file for a backup, replacing what was there. A file that cannot be
// made is one in a place that does not exist (562) or one that exists and
// may not be replaced (563).
int CreateBackupFile(SectorFile& file, const std::string& path, bool tellExisting) {
    if (file.OpenCreate(path)) return 0;
    return tellExisting && FileExists(file.GetPlatform(), path) ? kCannotOverwrite : kBadPath;
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
    std::vector<std::uint8_t> content;
    if (kind != BackupKind::None) {
        const Sector header = EncodeBackupHeader(HeaderFor(disk, kind, first, count));
        content.assign(header.begin(), header.end());
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        Sector sector{};
        if (disk.ReadSectors(sector.data(), first + i, 1) != 0 && !ignoreErrors)
            return disk.SetError(kBackupWriteFailed, 0);
        content.insert(content.end(), sector.begin(), sector.end());
    }
    SectorFile file(disk.GetPlatform());
    if (const int refused = CreateBackupFile(file, path, true); refused != 0)
        return disk.SetError(refused, 0);
    if (!WriteAll(file, content.data(), content.size())) return disk.SetError(kBackupWriteFailed, 0);
    return disk.GetError();
}

int LargeSave(mDisk& disk, const std::string& path, std::uint64_t first, std::uint64_t last, BackupKind kind,
              bool ignoreErrors) {
    SectorFile file(disk.GetPlatform());
    if (const int refused = CreateBackupFile(file, path, false); refused != 0)
        return disk.SetError(refused, 0);
    if (kind != BackupKind::None) {
        const Sector header = EncodeBackupHeader(HeaderFor(disk, kind, first, last));
        if (!WriteAll(file, header.data(), header.size())) return disk.SetError(kBackupWriteFailed, 0);
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
            if (!ignoreErrors) return disk.SetError(kBackupReadFailed, 0);
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
            if (!stored && !ignoreErrors) return disk.SetError(kBackupWriteFailed, 0);
            skipped = 0;
        }
        size += bytes;
        at += n;
        if (last >= kProgressFromLastSector)
            progress.Show(ProgressFigure::Percent(at - first, last, at > last));
        if (at == 0) break;  // past the largest sector number
    }
    if (holes && !file.SetSize(size)) return disk.SetError(kBackupWriteFailed, 0);
    return disk.GetError();
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
    if (!file.OpenRead(r.path)) return disk.SetError(kFileMissing, 0);
    const std::uint64_t size = file.Size();
    Sector first{};
    const bool header =
        size >= kSectorSize && file.ReadSectors(first.data(), 0, 1) && ProbeBackupHeader(first) != 0;
    const std::uint64_t held = (size - (header ? kSectorSize : 0)) / kSectorSize;
    const std::uint64_t data = header ? HeaderDataSectors(DecodeBackupHeader(first)) : held;
    // Nothing is written unless all of it can be: the file holds what it
    // claims, whole sectors, no more than asked for, and the disk has room.
    const bool fits = data != 0 && data <= held && (header || size % kSectorSize == 0) &&
                      (r.expected < 0 || data <= static_cast<std::uint64_t>(r.expected)) &&
                      (disk.TotalSectors() == 0 ||
                       (r.target < disk.TotalSectors() && data <= disk.TotalSectors() - r.target));
    if (!fits) return disk.SetError(kFileSizeMismatch, 0);
    if (r.expected < 0) platform.Write(Format("\n Sector Count: %" PRIu64 " \n", data));

    const std::uint64_t dataStart = header ? 1 : 0;
    bool written = true;
    SectorBuffer buffer(static_cast<std::size_t>(std::min<std::uint64_t>(data, kChunkSectors)));
    for (std::uint64_t k = 0, done = 0; done < data; ++k) {
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunkSectors, data - done));
        if (!file.ReadSectors(buffer.data(), dataStart + done, n)) return disk.SetError(kBackupReadFailed, 0);
        platform.Write(Format(" %" PRIu64 " ", k));
        if (r.mbrCheck && k == 0 && !HasBootSignature(SectorView(buffer.data(), kSectorSize)))
            return disk.SetError(kFileWithoutValidMbr, disk.CurrentIndex());
        // A failed write is recorded and the later chunks are still written.
        written = disk.WriteSectors(buffer.data(), r.target + done, n) == 0 && written;
        done += n;
    }
    if (!disk.Flush()) written = disk.SetError(kSectorWriteFailed, 0) == 0;
    // The disk found without a valid MBR before has one now.
    if (written && disk.GetError() == kMbrCorrupt) disk.SetError(1, 0);
    return disk.GetError();
}

}  // namespace partam
