// The branches of the MBR table edits: /active, /inactive, /hide, /unhide,
// /type=, /del, /sort and /issorted.
#include "base/result_codes.h"
#include "cli/branches.h"
#include "gpt/gpt_disk.h"
#include "mbr/edits.h"
#include "mbr/partition_list.h"

namespace partam {

namespace {

// The selected disk when its MBR table can be edited. A GPT disk has no
// such table (131). A disk whose reading recorded an error is left alone:
// the frame stops such a disk when it selects one, and with /disk=* it
// selects none, so the disk read first arrives here as it was read.
mDisk* TableDisk(RunContext& run) {
    mDisk& disk = *run.disk;
    if (disk.IsGpt()) {
        RecordResult(run, CommandId::None, kNotGptDisk);
        return nullptr;
    }
    if (const int problem = DiskProblem(run); problem != 0) {
        RecordResult(run, CommandId::None, problem);
        return nullptr;
    }
    return &disk;
}

// Deletes partition `number` of the selected disk's table, or all of them
// (number -1): MBR entries, or GPT entries on a GPT disk. The GPT's own
// error, when it has one, is the result.
int Delete(mDisk& disk, int number) {
    if (GptDisk* gpt = disk.Gpt()) {
        return number == kAllParts ? gpt->DeleteAll(disk) : gpt->DeleteEntry(disk, number);
    }
    if (disk.IsGpt()) return kInvalidEfiDisk;
    return number == kAllParts ? DeleteAllPartitions(disk) : DeletePartition(disk, number);
}

// What a GPT disk answers a delete before anything else: 0 when a copy of
// its GPT passed, so that there is a table to delete from.
int GptRefusal(mDisk& disk) {
    if (!disk.IsGpt()) return 0;
    return disk.Gpt() ? disk.Gpt()->WriteRefusal() : static_cast<int>(kInvalidEfiDisk);
}

// Delete all on every disk in turn. What one disk answers does not stop the
// others; the first failure is the result. What reading a disk found wrong
// with its table does not count: the table is what goes.
void DeleteOnEveryDisk(RunContext& run) {
    mDisk& disk = *run.disk;
    int first = 0;
    for (int i = 0; i < disk.DiskCount(); ++i) {
        const int refused = disk.Use(i, true);
        // A disk whose table could not even be read is not cleared; what
        // else its reading found (a damaged table) does not count: the table
        // is what goes.
        const bool unread = !disk.Sector0Read();
        int code = refused != 0 ? refused
                   : unread     ? static_cast<int>(kMbrReadFailed)
                                : Delete(disk, kAllParts);
        if (code == 0) code = disk.FinishWrites();
        if (first == 0) first = code;
    }
    RecordTableEdit(run, CommandId::DeleteAll, first);
}

}  // namespace

void ActiveBranch(RunContext& run) {
    const RunOptions& o = run.options;
    const bool activate = o.command == CommandId::Active;
    if (mDisk* disk = TableDisk(run)) {
        if (o.part != kAllParts)
            RecordTableEdit(run, o.command, SetActive(*disk, o.part, activate));
        else if (activate)
            RecordResult(run, o.command, kAllPartsNotAllowed);  // one partition is active, never all
        else
            RecordTableEdit(run, o.command, DeactivateAll(*disk));
    }
    DebugTrace(run, "Hide", o.result);
}

void HideBranch(RunContext& run) {
    const RunOptions& o = run.options;
    const bool hide = o.command == CommandId::Hide;
    if (mDisk* disk = TableDisk(run))
        RecordTableEdit(run, o.command,
                        o.part == kAllParts ? HideAll(*disk, hide) : Hide(*disk, o.part, hide));
    DebugTrace(run, "Hide", o.result);
}

// On a GPT disk the type is refused like the other edits: its types are
// GUIDs, not bytes.
void TypeBranch(RunContext& run) {
    const RunOptions& o = run.options;
    DebugTrace(run, "Type-Entry", o.result);
    if (mDisk* disk = TableDisk(run)) {
        if (o.part == kAllParts) {
            DebugTrace(run, "Type3", o.part);
            RecordResult(run, CommandId::Type, kAllPartsNotAllowed);
        } else {
            DebugTrace(run, "Type2", o.part);
            RecordTableEdit(run, CommandId::Type,
                            ChangeType(*disk, o.part, static_cast<std::uint32_t>(o.typeCode)));
        }
    }
    DebugTrace(run, "Type-Exit", o.result);
}

void DeleteBranch(RunContext& run) {
    const RunOptions& o = run.options;
    mDisk& disk = *run.disk;
    if (o.part == kAllParts && o.disk == kAllDisks) {
        DeleteOnEveryDisk(run);
    } else if (const int refused = GptRefusal(disk); refused != 0) {
        RecordResult(run, o.part == kAllParts ? CommandId::DeleteAll : CommandId::Del, refused);
    } else if (o.part == kAllParts) {
        RecordTableEdit(run, CommandId::DeleteAll, Delete(disk, kAllParts));
    } else if (o.part < 1 || o.part > disk.PartitionCount(0)) {
        RecordResult(run, CommandId::Del, kUnnamedFailure);
    } else if (o.disk == kAllDisks) {
        RecordResult(run, CommandId::Del, kAllDisksNeedAllParts);
    } else {
        RecordTableEdit(run, CommandId::Del, Delete(disk, o.part));
    }
    DebugTrace(run, "DeletePartition", o.result);
}

void SortBranch(RunContext& run) {
    if (mDisk* disk = TableDisk(run)) {
        const PartitionList* list = disk->Mbr();
        if (list && list->Sorted()) {
            RecordResult(run, CommandId::Sort, kAlreadySorted);
        } else {
            RecordTableEdit(run, CommandId::Sort, RebuildTable(*disk, true));
        }
    }
    DebugTrace(run, "Sort", run.options.result);
}

void IsSortedBranch(RunContext& run) {
    RunOptions& o = run.options;
    DebugTrace(run, "Sort", static_cast<int>(o.command));
    if (mDisk* disk = TableDisk(run)) {
        const PartitionList* list = disk->Mbr();
        o.entriesSorted = list ? list->Sorted() : 1;
        RecordResult(run, CommandId::IsSorted, 0);
    }
    DebugTrace(run, "IsSorted", o.result);
}

}  // namespace partam
