#include "cli/executor.h"

#include "backup/safety_copies.h"
#include "base/result_codes.h"
#include "cli/commands.h"
#include "cli/help.h"

namespace partam {

namespace {

void ApplyDefaults(RunContext& run) {
    RunOptions& o = run.options;
    if (o.disk == kNotGiven) {
        o.disk = 0;
        o.diskGiven = 0;
    }
    DebugTrace(run, "Disk", o.disk);
    if (o.part == kPartNotGiven) o.part = 1;
    DebugTrace(run, "Partition", o.part);
    if (o.sector == kNotGiven) o.sector = 0;
    DebugTrace(run, "Sector", o.sector);
}

// Selects the disk the command works on, anew: what the disk object found
// on the disk it selected first belongs to no command. A disk that is not
// there is refused even under /ignore, which relaxes checks but cannot make
// a missing disk present.
void SelectDisk(RunContext& run, const CommandRow& row, bool partGiven) {
    RunOptions& o = run.options;
    mDisk& disk = *run.disk;
    if (row.selectsDisks) return;
    // A command on every disk works from disk 0 as first read.
    if (o.disk == kAllDisks) {
        if (disk.CurrentIndex() < 0 && disk.DiskCount() > 0) disk.Use(0);
        return;
    }
    const int failure = o.disk == kVirtualDisk ? disk.UseVirtual(o.diskFileName) : disk.Use(o.disk, true);
    run.targetSelected = failure == 0;
    int problem = failure != 0 ? failure : DiskProblem(run);
    // What the table's reader found wrong concerns the partitions, not the
    // sectors a sector command reads and writes.
    if (failure == 0 && row.sectorsOnly && disk.Table() && problem == disk.Table()->Problem()) problem = 0;
    const bool leftOut = failure != 0 && row.everyDisk && o.diskGiven == 0;
    RecordResult(run, CommandId::None, leftOut ? 0 : problem);
    const bool partExists = o.part >= 1 && o.part <= disk.PartitionCount(2);
    const bool check =
        row.partCheck == PartCheck::Always || (row.partCheck == PartCheck::WhenGiven && partGiven);
    if (!partExists && check) RecordResult(run, CommandId::None, kInvalidPartition);
}

// The scopes every command shares, then the command's own parameters.
void CheckScope(RunContext& run, const CommandRow& row) {
    const RunOptions& o = run.options;
    if (o.disk == kAllDisks && !row.allDisks) RecordResult(run, CommandId::None, kAllDisksNotAllowed);
    if (o.part == kAllParts && !row.allParts) RecordResult(run, CommandId::None, kAllPartsNotAllowed);
    if (row.precheck) row.precheck(run);
}

// What a command wrote is on the disk once it ends, and the system knows of
// the table the disk now holds. A flush that failed fails the command; a
// system that could not be told is only warned about.
void FinishWrites(RunContext& run) {
    if (!run.disk) return;
    // Only a failure is recorded: a success must not take the place of the
    // command whose message the run shows.
    if (const int code = run.disk->FinishWrites(); code != 0) RecordResult(run, CommandId::None, code);
}

void RunFrame(RunContext& run) {
    RunOptions& o = run.options;
    const CommandRow& row = CommandRowOf(o.command);
    DebugTrace(run, "Go2", o.result);
    const DiskEffect effect = EffectOf(o);
    if (effect == DiskEffect::ChangesTable) MakeSafetyCopies(run);
    const bool partGiven = o.part != kPartNotGiven;
    ApplyDefaults(run);
    SelectDisk(run, row, partGiven);
    DebugTrace(run, "Op", static_cast<int>(o.command));
    CheckScope(run, row);
    if (o.result == 0 && !o.autoConfirm && Confirm(run) == 0)
        RecordResult(run, CommandId::None, kUserCancelled);
    if (o.result == 0 && row.branch) {
        row.branch(run);
        if (effect != DiskEffect::ReadsOnly) FinishWrites(run);
    }
    if (o.help) ShowHelp(run);
}

}  // namespace

int Confirm(RunContext& run) {
    const std::string action = PromptAction(run);
    if (action.empty()) return 1;
    run.Print("\n Preparing to " + action + ", are you sure? (Y/N): ");
    // Only a deliberate "y" lets a change through; a closed input cancels.
    const int key = run.platform.ReadKey(true);
    const int answer = (key == 'y' || key == 'Y') ? 1 : 0;
    run.Print("\n\n");
    DebugTrace(run, "Confirm", answer);
    return answer;
}

void RunAfterFrame(RunContext& run) {
    const CommandRow& row = CommandRowOf(run.options.command);
    if (!row.afterFrame || run.options.result != 0) return;
    row.afterFrame(run);
    if (EffectOf(run.options) != DiskEffect::ReadsOnly) FinishWrites(run);
}

void MakeSafetyCopies(RunContext& run) {
    const std::string file = run.arguments.Find("/Filename") ? run.arguments.Value() : std::string();
    run.safetyCopies = partam::MakeSafetyCopies(*run.disk, file);
}

void ProcessSwitches2(RunContext& run) {
    DebugTrace(run, "ProcessSwitches2", 0);
    if (run.options.result == 0) RunFrame(run);
    if (!run.options.silent && !run.options.json) run.Print("\n");
}

}  // namespace partam
