// The branches of /wipe= and /copy.
#include <optional>

#include "backup/progress.h"
#include "backup/sector_range.h"
#include "backup/wipe.h"
#include "base/result_codes.h"
#include "cli/branches.h"
#include "gpt/gpt_disk.h"

namespace partam {

namespace {

// The text of /range=, however the switch was written.
std::optional<std::string> RangeArgument(RunContext& run) {
    for (const char* name : {"/Range", "-Range"})
        if (run.arguments.Find(name)) return run.arguments.Value();
    return std::nullopt;
}

// The sectors a wipe clears, first and last; nothing when the wipe is
// refused, which is then recorded. A range must name two sectors, neither
// of them negative; a reversed one clears nothing.
std::optional<SectorRange> WipeArea(RunContext& run) {
    mDisk& disk = *run.disk;
    switch (run.options.area) {
        case AreaKind::Mbr:
            return SectorRange{0, 0};
        case AreaKind::Head:
            return SectorRange{0, 62};
        case AreaKind::Disk:
            // A disk whose size could not be read cannot be wiped whole.
            if (disk.TotalSectors() == 0) {
                RecordResult(run, CommandId::Wipe, kWipeFailed);
                return std::nullopt;
            }
            return SectorRange{0, static_cast<std::int64_t>(disk.TotalSectors()) - 1};
        case AreaKind::Range: {
            const std::optional<std::string> text = RangeArgument(run);
            const std::optional<SectorRange> range = text ? ParseRangeText(*text) : std::nullopt;
            if (range && range->first >= 0 && range->last >= 0) return range;
            RecordResult(run, CommandId::Wipe, kMissingRange);
            return std::nullopt;
        }
        case AreaKind::Gpt: {
            // The primary GPT as the copy that passed places it: sector 0 to
            // the end of its entry array, all before the usable area. The
            // backup at the disk's end stays.
            GptDisk* gpt = disk.Gpt();
            if (!disk.IsGpt() || !gpt) {
                RecordResult(run, CommandId::Wipe, disk.IsGpt() ? kInvalidEfiDisk : kNotGptDisk);
            } else if (const int refused = gpt->WriteRefusal(); refused != 0) {
                RecordResult(run, CommandId::Wipe, refused);
            } else {
                const GptHeader primary = gpt->PrimaryHeader();
                return SectorRange{
                    0, static_cast<std::int64_t>(primary.EntryLba() + primary.EntrySectors()) - 1};
            }
            return std::nullopt;
        }
        default:
            RecordResult(run, CommandId::Wipe, kInvalidOption);
            return std::nullopt;
    }
}

}  // namespace

// A whole-disk wipe shows how far it is, on a console only: redirected
// output stays as it is without one.
void WipeBranch(RunContext& run) {
    if (const std::optional<SectorRange> area = WipeArea(run)) {
        mDisk& disk = *run.disk;
        ProgressFigure figure(run.platform, true);
        const bool showProgress = run.options.area == AreaKind::Disk &&
                                  area->last >= static_cast<std::int64_t>(kProgressFromLastSector);
        const int code = area->first > area->last ? 0
                                                  : WipeSectors(disk, static_cast<std::uint64_t>(area->first),
                                                                static_cast<std::uint64_t>(area->last),
                                                                showProgress ? &figure : nullptr);
        RecordResult(run, CommandId::Wipe, code);
    }
    DebugTrace(run, "Wipe", run.options.result);
}

// The frame has refused a negative source or target.
void CopyBranch(RunContext& run) {
    const RunOptions& o = run.options;
    RecordResult(run, CommandId::Copy,
                 CopySector(*run.disk, static_cast<std::uint64_t>(o.firstSector),
                            static_cast<std::uint64_t>(o.lastSector)));
    DebugTrace(run, "SectorCopy", o.result);
}

}  // namespace partam
