#include "cli/executor.h"

#include "base/result_codes.h"
#include "base/text.h"
#include "cli/help.h"
#include "report/listing.h"

namespace partam {

namespace {

bool IsOneOf(CommandId command, std::initializer_list<CommandId> commands) {
    for (CommandId c : commands)
        if (c == command) return true;
    return false;
}

// --- Action texts of the prompt ---------------------------------------------

std::string RepairAction(const RunOptions& o, int diskIndex) {
    if (o.firstSector == 1) return Format("create a Windows %s MBR on disk %d", "XP", diskIndex);
    if (o.firstSector == 2) return Format("create a Windows %s MBR on disk %d", "Win7", diskIndex);
    return std::string();
}

std::string RestoreAction(AreaKind area) {
    switch (area) {
        case AreaKind::Gpt:
            return "restore the GPT";
        case AreaKind::Head:
            return "restore the first head";
        case AreaKind::Mbr:
            return "restore the MBR";
        default:
            return "restore the specified sector";
    }
}

std::string WipeAction(AreaKind area) {
    std::string text = "wipe the ";
    switch (area) {
        case AreaKind::Range:
            return text + "specified range";
        case AreaKind::Gpt:
            return text + "GPT Table";
        case AreaKind::Disk:
            return text + "entire disk";
        case AreaKind::Head:
            return text + "first head";
        case AreaKind::Mbr:
            return text + "MBR";
        default:
            return text;
    }
}

std::string ActiveAction(const RunOptions& o, bool isVirtual, int diskIndex) {
    const bool activate = o.command == CommandId::Active;
    if (isVirtual) return Format("set the virtual disk partition %d %sctive", o.part, activate ? "a" : "ina");
    const char* prefix = activate ? "A" : "Dea";
    if (o.part >= 0) return Format("%sctivate partition %d on disk %d", prefix, o.part, diskIndex);
    return Format("%sctivate all partitions on disk %d", prefix, diskIndex);
}

std::string HideAction(const RunOptions& o, bool isVirtual, int diskIndex) {
    const bool hide = o.command == CommandId::Hide;
    if (isVirtual) return Format("%side virtual disk partition %d", hide ? "h" : "unh", o.part);
    const char* prefix = hide ? "H" : "Unh";
    if (o.part >= 0) return Format("%side partition %d on disk %d", prefix, o.part, diskIndex);
    return Format("%side all partitions on disk %d", prefix, diskIndex);
}

std::string DeleteAction(const RunOptions& o, int diskIndex) {
    if (o.part >= 0) return Format("delete partition %d on disk %d", o.part, diskIndex);
    return Format("delete all partitions on disk %d", diskIndex);
}

// --- The frame --------------------------------------------------------------

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

// Selects the disk the command works on and checks the partition number.
void SelectDisk(RunContext& run) {
    RunOptions& o = run.options;
    if (o.disk == kAllDisks) return;
    if (o.disk == kVirtualDisk)
        run.disk->UseVirtual(o.diskFileName);
    else
        run.disk->Use(o.disk);
    RecordResult(run, CommandId::None, run.disk->GetError());
    const bool partExists = o.part >= 1 && o.part <= run.disk->PartitionCount(2);
    if (!partExists && !IsOneOf(o.command, {CommandId::Create, CommandId::Repair, CommandId::Del}))
        RecordResult(run, CommandId::None, kInvalidPartition);
}

// The checks every command shares after the disk is selected.
void CheckScope(RunContext& run) {
    const RunOptions& o = run.options;
    using C = CommandId;
    if (o.disk == kAllDisks && !IsOneOf(o.command, {C::Del, C::Hide, C::Active, C::List}))
        RecordResult(run, C::None, kAllDisksNotAllowed);
    if (o.part == kAllParts && !IsOneOf(o.command, {C::Del, C::Hide, C::UnHide, C::Inactive}))
        RecordResult(run, C::None, kAllPartsNotAllowed);
    if (o.command == C::Copy) {
        if (o.firstSector < 0)
            RecordResult(run, C::Copy, kMissingSource);
        else if (o.lastSector < 0)
            RecordResult(run, C::Copy, kMissingTarget);
    }
}

void ListBranch(RunContext& run) {
    const RunOptions& o = run.options;
    DebugTrace(run, "List-Entry", o.result);
    ListingOptions listing;
    listing.disk = o.disk;
    listing.diskGiven = o.diskGiven;
    listing.diskFileName = o.diskFileName;
    listing.freeSpace = o.freeSpace != 0;
    listing.extendedOnly = o.extendedOnly != 0;
    listing.asciiMap = o.asciiMap != 0;
    ReportContext report{run.platform, *run.disk, run.frame, *run.sizeFormatter};
    ShowMBR(report, listing);
    RecordResult(run, CommandId::List, 0);
    DebugTrace(run, "List-Exit", o.result);
}

// A command whose operation is not part of this program yet. It touches no
// disk and is refused, so the run never reports a success that did not
// happen.
void NotAvailableYet(RunContext& run) { RecordResult(run, CommandId::None, kInvalidOption); }

void RunBranch(RunContext& run) {
    using C = CommandId;
    switch (run.options.command) {
        case C::List:
        case C::TabList:
            ListBranch(run);
            return;
        case C::FlashMBR:
            RecordResult(run, C::FlashMBR, run.disk->GetError());
            return;
        case C::Create:
            RunCatchingRefusals(run, C::Create, [&run] { NotAvailableYet(run); });
            return;
        // No branch: the driver runs the boot menu afterwards and turns the
        // exit code into the count or flag.
        case C::BootMenu:
        case C::DiskCount:
        case C::PartCount:
        case C::IsFixed:
        case C::None:
            return;
        // Not yet: save, restore and show of backups; repair; wipe and copy;
        // sort; the partition edits; INI report; status, signature and
        // volume ID; formatting; disk information.
        default:
            NotAvailableYet(run);
            return;
    }
}

void RunFrame(RunContext& run) {
    RunOptions& o = run.options;
    using C = CommandId;
    DebugTrace(run, "Go2", o.result);
    if (IsOneOf(o.command, {C::Sort, C::Restore, C::Wipe, C::Del, C::Hide})) MakeSafetyCopies(run);
    ApplyDefaults(run);
    SelectDisk(run);
    DebugTrace(run, "Op", static_cast<int>(o.command));
    CheckScope(run);
    if (o.result == 0 && !o.autoConfirm && Confirm(run) == 0) RecordResult(run, C::None, kUserCancelled);
    if (o.result == 0) RunBranch(run);
    if (o.help) ShowHelp(run);
}

}  // namespace

std::string ActionText(RunContext& run) {
    const RunOptions& o = run.options;
    const int diskIndex = run.disk ? run.disk->currentIndex : 0;
    const bool isVirtual = run.disk && run.disk->isVirtual;
    using C = CommandId;
    switch (o.command) {
        case C::Repair:
            return RepairAction(o, diskIndex);
        case C::Restore:
            return RestoreAction(o.area);
        case C::Wipe:
            return WipeAction(o.area);
        case C::Sort:
            return Format("sort the MBR entries on disk %d", diskIndex);
        case C::Active:
        case C::Inactive:
            return ActiveAction(o, isVirtual, diskIndex);
        case C::Hide:
        case C::UnHide:
            return HideAction(o, isVirtual, diskIndex);
        case C::Del:
            return DeleteAction(o, diskIndex);
        case C::Type:
            return Format("change the type of disk %d:Part %d to ", diskIndex, o.part) + o.valueText;
        case C::Copy:
            return "copy the selected sectors";
        case C::WriteStatus:
            return "write a new status flag";
        default:
            return std::string();
    }
}

int Confirm(RunContext& run) {
    const std::string action = ActionText(run);
    if (action.empty()) return 1;
    run.Print("\n Preparing to " + action + ", are you sure? (Y/N): ");
    // Only a deliberate "y" lets a change through; a closed input cancels.
    const int key = run.platform.ReadKey(true);
    const int answer = (key == 'y' || key == 'Y') ? 1 : 0;
    run.Print("\n\n");
    DebugTrace(run, "Confirm", answer);
    return answer;
}

void MakeSafetyCopies(RunContext&) {}

void RunCatchingRefusals(RunContext& run, CommandId command, const std::function<void()>& branch) {
    try {
        branch();
    } catch (MBRERRORS refusal) {
        RecordResult(run, command, static_cast<int>(refusal));
    }
}

void ProcessSwitches2(RunContext& run) {
    DebugTrace(run, "ProcessSwitches2", 0);
    if (run.options.result == 0) RunFrame(run);
    if (!run.options.silent) run.Print("\n");
}

}  // namespace partam
