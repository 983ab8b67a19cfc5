// The branches of /save=, /restore= and /show=.
#include <algorithm>
#include <optional>

#include "backup/backup_file.h"
#include "backup/gpt_restore.h"
#include "backup/save_restore.h"
#include "backup/sector_range.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "cli/branches.h"
#include "mbr/partition_list.h"
#include "report/listing.h"

namespace partam {

namespace {

// The value of a parameter switch (/Filename=, /Range=, ...) as given, from
// the command line or the options file; nothing when it was not given or is
// empty.
std::optional<std::string> Parameter(RunContext& run, const char* key) {
    if (!run.arguments.Find(key) || run.arguments.Value().empty()) return std::nullopt;
    return run.arguments.Value();
}

// 118, naming the parameter that is missing.
void MissingParameter(RunContext& run, CommandId command, const std::string& name) {
    if (run.options.result == 0) run.options.badSwitchText = name;
    RecordResult(run, command, kMissingParameter);
}

BackupKind HeaderKind(const RunOptions& o, BackupKind kind) { return o.noHeader ? BackupKind::None : kind; }

// The sectors /range= names for a save: a to b, both on the disk, a at most
// b and b at least 1; nothing otherwise.
std::optional<SectorRange> SaveRange(RunContext& run) {
    const std::optional<std::string> text = Parameter(run, "/Range");
    const std::optional<SectorRange> range = text ? ParseRangeText(*text) : std::nullopt;
    if (!range || range->first < 0 || range->last < 1 || range->first > range->last) return std::nullopt;
    const std::uint64_t total = run.disk->TotalSectors();
    if (total != 0 && static_cast<std::uint64_t>(range->last) >= total) return std::nullopt;
    return range;
}

int SaveVolumeBootRecord(RunContext& run, const std::string& path) {
    mDisk& disk = *run.disk;
    const mPart* part = disk.GetPartition(run.options.part, false);
    if (!part) return kInvalidPartition;
    const std::uint32_t sectors = VolumeBootRecordSectors(part->type);
    if (sectors == 0) return kUnsupportedBootRecord;
    return SmallSave(disk, path, part->start, sectors, HeaderKind(run.options, BackupKind::Vbr),
                     run.options.ignoreErrors != 0);
}

}  // namespace

void SaveBranch(RunContext& run) {
    RunOptions& o = run.options;
    mDisk& disk = *run.disk;
    const bool ignore = o.ignoreErrors != 0;
    const std::optional<std::string> path = Parameter(run, "/Filename");
    if (!path) {
        RecordResult(run, CommandId::Save, kBadFileName);
        return;
    }
    o.fileName = *path;  // the file the success line names
    int code = 0;
    switch (o.area) {
        case AreaKind::Mbr:
            code = SmallSave(disk, *path, 0, 1, HeaderKind(o, BackupKind::Mbr), ignore);
            break;
        case AreaKind::Head:
            code = SmallSave(disk, *path, 0, 63, HeaderKind(o, BackupKind::Head), ignore);
            break;
        case AreaKind::Gpt: {
            GptDisk* gpt = disk.Gpt();
            if (!gpt) {
                RecordResult(run, CommandId::Save, kNotGptDisk);
                return;
            }
            const int code = SaveGpt(disk, *gpt, *path, HeaderKind(o, BackupKind::Gpt), ignore);
            RecordResult(run, CommandId::Save, code);
            DebugTrace(run, "Save", run.options.result);
            return;
        }
        case AreaKind::Vbr:
            code = SaveVolumeBootRecord(run, *path);
            break;
        case AreaKind::Range:
            if (const std::optional<SectorRange> range = SaveRange(run)) {
                code = LargeSave(disk, *path, static_cast<std::uint64_t>(range->first),
                                 static_cast<std::uint64_t>(range->last), HeaderKind(o, BackupKind::Range),
                                 ignore);
            } else {
                code = kMissingRange;
            }
            break;
        case AreaKind::Disk:
            code = disk.TotalSectors() == 0 ? static_cast<int>(kBackupReadFailed)
                                            : LargeSave(disk, *path, 0, disk.TotalSectors() - 1,
                                                        HeaderKind(o, BackupKind::Disk), ignore);
            break;
        default:
            code = kInvalidOption;
            break;
    }
    RecordResult(run, CommandId::Save, code);
    DebugTrace(run, "Save", run.options.result);
}

void RestoreBranch(RunContext& run) {
    RunOptions& o = run.options;
    mDisk& disk = *run.disk;
    const std::optional<std::string> path = Parameter(run, "/Filename");
    if (!path) {
        RecordResult(run, CommandId::Restore, kBadFileName);
        return;
    }
    o.fileName = *path;
    RestoreRequest request{*path};
    switch (o.area) {
        case AreaKind::Mbr:
            request.expected = 1;
            request.mbrCheck = o.ignoreErrors == 0;
            request.kind = BackupKind::Mbr;
            break;
        case AreaKind::Head:
            request.expected = 63;
            request.kind = BackupKind::Head;
            break;
        case AreaKind::Disk:
            request.kind = BackupKind::Disk;
            break;
        case AreaKind::Gpt: {
            GptDisk* gpt = disk.Gpt();
            if (!gpt) {
                RecordResult(run, CommandId::Restore, kNotGptDisk);
                return;
            }
            const int code = RestoreGpt(disk, *gpt, *path);
            RecordResult(run, CommandId::Restore, code);
            DebugTrace(run, "Restore", run.options.result);
            return;
        }
        case AreaKind::Vbr: {
            if (o.partSwitchText.empty()) return MissingParameter(run, CommandId::Restore, "/Part=");
            if (!FileExists(run.platform, *path)) {
                RecordResult(run, CommandId::Restore, kFileNotFound);
                return;
            }
            const std::optional<BackupHeader> header = ReadBackupHeader(run.platform, *path);
            const mPart* part = disk.GetPartition(o.part, false);
            if (!header || !part) {
                RecordResult(run, CommandId::Restore, !header ? kNotGptDisk : kInvalidPartition);
                return;
            }
            // Back into the partition that starts where it was saved from.
            request.target = part->start;
            request.expected = static_cast<std::int64_t>(header->countField & 0xFFFFFFFFu);
            request.kind = BackupKind::Vbr;
            break;
        }
        case AreaKind::Range: {
            // The sector named in /restore=<n> is where the file's data goes.
            const std::string value = Parameter(run, "/Restore").value_or(o.valueText);
            const std::optional<std::uint64_t> target = ParseDecimal(value);
            if (!target) {
                o.badSwitchText = value;
                RecordResult(run, CommandId::Restore, kInvalidSwitch);
                return;
            }
            request.target = *target;
            break;
        }
        case AreaKind::OwnRange:
            request.kind = BackupKind::Range;
            request.ownSectors = true;
            break;
        default:
            RecordResult(run, CommandId::Restore, kInvalidOption);
            return;
    }
    RecordResult(run, CommandId::Restore, Restore(disk, request));
    DebugTrace(run, "Restore", run.options.result);
}

}  // namespace partam
