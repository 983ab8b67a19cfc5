// Saving a run of the selected disk's sectors to a backup file and writing
// a backup file's sectors back. Each operation records its outcome in the
// disk object's error state and returns that state. A save writes a new
// file beside the one it names and puts it in that one's place only once it
// is whole: a save that fails leaves the earlier file as it was and removes
// what it wrote.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "backup/backup_file.h"
#include "disk/disk.h"

namespace partam {

// The header of a backup of the selected disk made now.
BackupHeader HeaderFor(mDisk& disk, BackupKind kind, std::uint64_t firstSector, std::uint64_t countField);

// The MBR, the first head, the GPT or a volume boot record: a few sectors,
// read whole before the file is made. A sector that cannot be read fails the save
// (507); with ignoreErrors a zero sector takes its place, so that every
// sector stays at its offset in the file. kind None writes no header.
[[nodiscard]] int SmallSave(mDisk& disk, const std::string& path, std::uint64_t first, std::uint32_t count,
                            BackupKind kind, bool ignoreErrors);
// Writes a backup file of sectors already read, the first of them saved
// from sector first: the header (unless kind None), then the sectors.
[[nodiscard]] int SaveSectors(mDisk& disk, const std::string& path, std::uint64_t first,
                              const std::vector<std::uint8_t>& sectors, BackupKind kind);

// A range or the whole disk, first to last, streamed in transfers of
// kChunkSectors through one buffer, with the progress figure for long runs.
// A transfer the disk knows for a hole is not read; into a regular file, a
// transfer of zeros is not written but left a hole, the file's size set at
// the end: the file's bytes are the same either way.
[[nodiscard]] int LargeSave(mDisk& disk, const std::string& path, std::uint64_t first, std::uint64_t last,
                            BackupKind kind, bool ignoreErrors);

struct RestoreRequest {
    std::string path;
    std::uint64_t target = 0;    // the disk sector the first data sector goes to
    std::int64_t expected = -1;  // at most this many sectors; -1: what the file holds
    bool mbrCheck = false;       // the first sector must end with 55 AA
    // A file with a header goes back where it came from: the header must
    // name this kind of backup (None: any kind) and the target as the
    // sector its data was saved from. With ownSectors the header's first
    // sector is the target instead, and a file without a header, which
    // names no sectors of its own, is refused.
    BackupKind kind = BackupKind::None;
    bool ownSectors = false;
};

// The header a file starts with, when it starts with one.
std::optional<BackupHeader> ReadBackupHeader(Platform& platform, const std::string& path);

// The number of sectors a volume boot record of a partition type spans: 3
// for the FAT types, 7 for NTFS; 0 for a type whose boot record is not known.
std::uint32_t VolumeBootRecordSectors(std::uint32_t type);

// Writes the file's data sectors to the disk from the target on. Where the
// header says the data came from, the file's size, its header's claim and
// the disk's end are checked before anything is written (560). Returns its
// own outcome, recorded in the disk object as well: 564 no file, 560, 561
// no 55 AA where mbrCheck wants it, 508 a file that cannot be read, 505 a
// write that failed.
[[nodiscard]] int Restore(mDisk& disk, const RestoreRequest& request);

}  // namespace partam
