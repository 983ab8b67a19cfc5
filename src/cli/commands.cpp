#include "cli/commands.h"

#include <cstdint>

#include "base/result_codes.h"
#include "base/text.h"
#include "cli/branches.h"

namespace partam {

namespace {

// The last sector of the first head, where boot loaders keep their code.
constexpr std::int64_t kLastHeadSector = 62;

// --- Prompt actions ---------------------------------------------------------

std::string RepairPrompt(const PromptFacts& f) {
    if (f.options.firstSector == 1) return Format("create a Windows %s MBR on disk %d", "XP", f.diskIndex);
    if (f.options.firstSector == 2) return Format("create a Windows %s MBR on disk %d", "Win7", f.diskIndex);
    return std::string();
}

std::string RestorePrompt(const PromptFacts& f) {
    switch (f.options.area) {
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

std::string WipePrompt(const PromptFacts& f) {
    switch (f.options.area) {
        case AreaKind::Range:
            return "wipe the specified range";
        case AreaKind::Gpt:
            return "wipe the GPT Table";
        case AreaKind::Disk:
            return "wipe the entire disk";
        case AreaKind::Head:
            return "wipe the first head";
        case AreaKind::Mbr:
            return "wipe the MBR";
        default:
            return "wipe the ";
    }
}

std::string SortPrompt(const PromptFacts& f) {
    return Format("sort the MBR entries on disk %d", f.diskIndex);
}

std::string ActivePrompt(const PromptFacts& f) {
    const RunOptions& o = f.options;
    const bool activate = o.command == CommandId::Active;
    if (f.virtualDisk)
        return Format("set the virtual disk partition %d %sctive", o.part, activate ? "a" : "ina");
    const char* prefix = activate ? "A" : "Dea";
    if (o.part >= 0) return Format("%sctivate partition %d on disk %d", prefix, o.part, f.diskIndex);
    return Format("%sctivate all partitions on disk %d", prefix, f.diskIndex);
}

std::string HidePrompt(const PromptFacts& f) {
    const RunOptions& o = f.options;
    const bool hide = o.command == CommandId::Hide;
    if (f.virtualDisk) return Format("%side virtual disk partition %d", hide ? "h" : "unh", o.part);
    const char* prefix = hide ? "H" : "Unh";
    if (o.part >= 0) return Format("%side partition %d on disk %d", prefix, o.part, f.diskIndex);
    return Format("%side all partitions on disk %d", prefix, f.diskIndex);
}

std::string DeletePrompt(const PromptFacts& f) {
    if (f.options.part >= 0) return Format("delete partition %d on disk %d", f.options.part, f.diskIndex);
    return Format("delete all partitions on disk %d", f.diskIndex);
}

// The type is shown as typed; it is text, never a format.
std::string TypePrompt(const PromptFacts& f) {
    return Format("change the type of disk %d:Part %d to ", f.diskIndex, f.options.part) +
           f.options.valueText;
}

std::string CopyPrompt(const PromptFacts&) { return "copy the selected sectors"; }
std::string WriteStatusPrompt(const PromptFacts&) { return "write a new status flag"; }

// --- Checks of a command's own parameters -----------------------------------

void CopyCheck(RunContext& run) {
    if (run.options.firstSector < 0)
        RecordResult(run, CommandId::Copy, kMissingSource);
    else if (run.options.lastSector < 0)
        RecordResult(run, CommandId::Copy, kMissingTarget);
}

// A copy onto the first head can overwrite sector 0 or a boot loader's
// sectors; one further on lands where the user named.
DiskEffect CopyEffect(const RunOptions& o) {
    return o.lastSector >= 0 && o.lastSector <= kLastHeadSector ? DiskEffect::ChangesTable
                                                                : DiskEffect::WritesData;
}

// --- Success messages and closing messages ----------------------------------

std::string RepairSuccess(const RunOptions& o) {
    return o.sector == 0 ? "MBR successfully repaired" : "Specified sectors successfully restored";
}

// By the area wiped, whatever case it was named in and whatever switch
// came after it.
std::string WipeSuccess(const RunOptions& o) {
    switch (o.area) {
        case AreaKind::Mbr:
            return "MBR successfully cleared";
        case AreaKind::Head:
            return "Entire first head successfully cleared";
        case AreaKind::Disk:
            return "Disk successfully cleared";
        default:
            return "Specified sectors successfully cleared";
    }
}

const char* AreaName(AreaKind area) {
    switch (area) {
        case AreaKind::Vbr:
            return "volume boot record";
        case AreaKind::Gpt:
            return "GPT";
        case AreaKind::Disk:
            return "disk";
        case AreaKind::Head:
            return "first head";
        case AreaKind::Mbr:
            return "MBR";
        default:
            return "specified sector range";
    }
}

void SaveClosing(RunContext& run) {
    run.Print(" The " + std::string(AreaName(run.options.area)) + " was successfully saved to " +
              run.options.fileName + "\n");
}

void RestoreClosing(RunContext& run) {
    run.Print(" The " + std::string(AreaName(run.options.area)) + " was successfully restored from " +
              run.options.fileName + "\n");
}

void IsSortedClosing(RunContext& run) {
    run.Printf(" Partition entries are %ssorted \n", run.options.entriesSorted == 0 ? "not " : "");
}

void StatusClosing(RunContext& run) {
    run.Printf(" Status read successfully as %d  \n", run.options.statusByte);
}

void ReadSignatureClosing(RunContext& run) {
    const RunOptions& o = run.options;
    const std::uint8_t* s = o.signatureBytes;
    if (o.silent)
        run.Printf("%-2.2X%-2.2X%-2.2X%-2.2X", s[0], s[1], s[2], s[3]);
    else
        run.Printf(" Disk %d signature: 0x%-2.2X%-2.2X%-2.2X%-2.2X  \n", o.disk, s[0], s[1], s[2], s[3]);
}

void ReadVolumeIdClosing(RunContext& run) {
    const RunOptions& o = run.options;
    if (o.silent)
        run.Print(o.volumeIdText);
    else
        run.Print(Format(" Disk %d Part %d VolumeID: ", o.disk, o.part) + o.volumeIdText + "  \n");
}

void SaysNothing(RunContext&) {}

// --- The table ---------------------------------------------------------------

using C = CommandId;
using E = DiskEffect;
using P = PartCheck;

// Rows state only what differs from a command that reads, works on one
// partition of one disk, asks nothing and has no message. The commands that
// work on a disk's sectors rather than on a partition (save, restore, show,
// wipe, copy, signature, status) check a partition number only when one was
// given, and go on past a damaged table: a disk that lost its table is
// exactly the one whose MBR is to be restored.
const CommandRow kRows[] = {
    {.id = C::Save,
     .partCheck = P::WhenGiven,
     .sectorsOnly = true,
     .branch = SaveBranch,
     .closing = SaveClosing},
    {.id = C::Repair,
     .partCheck = P::Never,
     .effect = E::ChangesTable,
     .prompt = RepairPrompt,
     .branch = RepairBranch,
     .successOf = RepairSuccess},
    {.id = C::Restore,
     .partCheck = P::WhenGiven,
     .effect = E::ChangesTable,
     .sectorsOnly = true,
     .prompt = RestorePrompt,
     .branch = RestoreBranch,
     .closing = RestoreClosing},
    {.id = C::Show,
     .partCheck = P::WhenGiven,
     .sectorsOnly = true,
     .branch = ShowBranch,
     .closing = SaysNothing},
    {.id = C::Wipe,
     .partCheck = P::WhenGiven,
     .effect = E::ChangesTable,
     .sectorsOnly = true,
     .prompt = WipePrompt,
     .branch = WipeBranch,
     .successOf = WipeSuccess},
    {.id = C::Sort,
     .effect = E::ChangesTable,
     .prompt = SortPrompt,
     .branch = SortBranch,
     .success = "Partition entries successfully sorted"},
    {.id = C::IsSorted, .branch = IsSortedBranch, .closing = IsSortedClosing},
    {.id = C::List,
     .allDisks = true,
     .partCheck = P::WhenGiven,
     .everyDisk = true,
     .branch = ListBranch,
     .closing = SaysNothing,
     .json = true},
    {.id = C::TabList, .partCheck = P::WhenGiven, .everyDisk = true, .branch = ListBranch, .json = true},
    {.id = C::Active,
     .allDisks = true,
     .effect = E::ChangesTable,
     .prompt = ActivePrompt,
     .branch = ActiveBranch,
     .success = "Partition successfully set to active"},
    {.id = C::Hide,
     .allDisks = true,
     .allParts = true,
     .effect = E::ChangesTable,
     .prompt = HidePrompt,
     .branch = HideBranch,
     .success = "Partition(s) successfully hidden"},
    {.id = C::Inactive,
     .allParts = true,
     .effect = E::ChangesTable,
     .prompt = ActivePrompt,
     .branch = ActiveBranch,
     .success = "Partition successfully set inactive"},
    {.id = C::UnHide,
     .allParts = true,
     .effect = E::ChangesTable,
     .prompt = HidePrompt,
     .branch = HideBranch,
     .success = "Partition(s) successfully unhidden"},
    {.id = C::Del,
     .allDisks = true,
     .allParts = true,
     .partCheck = P::Never,
     .effect = E::ChangesTable,
     .prompt = DeletePrompt,
     .branch = DeleteBranch,
     .success = "Partition successfully deleted"},
    {.id = C::DeleteAll, .success = "All Partitions successfully deleted"},
    {.id = C::Type,
     .effect = E::ChangesTable,
     .prompt = TypePrompt,
     .branch = TypeBranch,
     .success = "Partition type successfully changed"},
    {.id = C::Copy,
     .partCheck = P::WhenGiven,
     .effectOf = CopyEffect,
     .sectorsOnly = true,
     .prompt = CopyPrompt,
     .precheck = CopyCheck,
     .branch = CopyBranch,
     .success = "Sector was successfully copied"},
    {.id = C::WriteIni,
     .everyDisk = true,
     .branch = WriteIniBranch,
     .success = "MBR information was successfully written to %s"},
    {.id = C::BootMenu,
     .effect = E::ChangesTable,
     .afterFrame = BootMenuStep,
     .success = "\n Partition %s successfully set to active"},
    {.id = C::Status,
     .partCheck = P::WhenGiven,
     .sectorsOnly = true,
     .branch = StatusBranch,
     .closing = StatusClosing},
    {.id = C::WriteStatus,
     .partCheck = P::WhenGiven,
     .effect = E::ChangesTable,
     .sectorsOnly = true,
     .prompt = WriteStatusPrompt,
     .precheck = WriteStatusCheck,
     .branch = WriteStatusBranch,
     .success = "Status written successfully"},
    {.id = C::Create,
     .partCheck = P::Never,
     .effect = E::ChangesTable,
     .branch = CreateBranch,
     .success = "Partition created successfully"},
    {.id = C::Format, .effect = E::WritesData, .branch = FormatBranch},
    {.id = C::FlashMBR, .branch = FlashMbrBranch},
    {.id = C::Signature, .partCheck = P::WhenGiven, .sectorsOnly = true, .branch = SignatureBranch},
    {.id = C::ReadSignature,
     .partCheck = P::WhenGiven,
     .sectorsOnly = true,
     .branch = ReadSignatureBranch,
     .closing = ReadSignatureClosing},
    {.id = C::WriteSignature,
     .partCheck = P::WhenGiven,
     .effect = E::ChangesTable,
     .sectorsOnly = true,
     .precheck = SignatureOptionCheck,
     .branch = ChangeSignatureBranch,
     .success = "Disk signature was successfully updated"},
    {.id = C::GenerateSignature,
     .partCheck = P::WhenGiven,
     .effect = E::ChangesTable,
     .sectorsOnly = true,
     .branch = ChangeSignatureBranch,
     .success = "Disk signature was successfully generated"},
    {.id = C::ZeroSignature,
     .partCheck = P::WhenGiven,
     .effect = E::ChangesTable,
     .sectorsOnly = true,
     .branch = ChangeSignatureBranch,
     .success = "Disk signature was successfully Zeroed out"},
    {.id = C::VolumeID, .branch = VolumeIdBranch},
    {.id = C::ReadVolumeID, .branch = ReadVolumeIdBranch, .closing = ReadVolumeIdClosing},
    {.id = C::Info, .everyDisk = true, .branch = InfoBranch, .json = true},
    {.id = C::Verify,
     .allDisks = true,
     .partCheck = P::Never,
     .selectsDisks = true,
     .branch = VerifyBranch,
     .closing = SaysNothing},
    {.id = C::DiskCount, .partCheck = P::WhenGiven, .everyDisk = true},
    {.id = C::PartCount, .partCheck = P::WhenGiven},
    {.id = C::IsFixed, .partCheck = P::WhenGiven},
};

const CommandRow kNoCommand{};

}  // namespace

std::span<const CommandRow> CommandRows() { return kRows; }

DiskEffect EffectOf(const RunOptions& options) {
    const CommandRow& row = CommandRowOf(options.command);
    return row.effectOf ? row.effectOf(options) : row.effect;
}

const CommandRow& CommandRowOf(CommandId id) {
    for (const CommandRow& row : kRows)
        if (row.id == id) return row;
    return kNoCommand;
}

std::string PromptAction(const RunContext& run) {
    const CommandRow& row = CommandRowOf(run.options.command);
    if (!row.prompt) return std::string();
    const PromptFacts facts{run.options, run.disk ? run.disk->CurrentIndex() : 0,
                            run.disk && run.disk->IsVirtual()};
    return row.prompt(facts);
}

std::optional<std::string> SuccessText(const RunOptions& options, CommandId command) {
    const CommandRow& row = CommandRowOf(command);
    if (row.successOf) return row.successOf(options);
    if (row.success) return std::string(row.success);
    return std::nullopt;
}

}  // namespace partam
