// The branches of the commands: the work each row of the command table
// names. A branch runs once the shared checks passed and the user agreed,
// and ends by recording its outcome.
#pragma once

#include <functional>

#include "cli/run.h"

namespace partam {

// /list and /tablist: the listing; both record success without a message.
void ListBranch(RunContext& run);
// /save=, /restore= and /show=: backup files of the selected disk's
// sectors, and what they hold.
void SaveBranch(RunContext& run);
void RestoreBranch(RunContext& run);
void ShowBranch(RunContext& run);
// /repair=: mode 1 and 2 write a boot code image into sector 0 and keep its
// table and signature; mode 3 rebuilds the table from the system's view of
// the disk; anything else is 117.
void RepairBranch(RunContext& run);
// /flashmbr changes nothing; it passes on the disk object's error state.
void FlashMbrBranch(RunContext& run);
// /create with /start=, /size=, /align= and /type=; it reports its
// refusals by throwing them.
void CreateBranch(RunContext& run);

// The MBR table edits. /active and /inactive share a branch, as do /hide
// and /unhide; the command tells them apart.
void ActiveBranch(RunContext& run);
void HideBranch(RunContext& run);
void TypeBranch(RunContext& run);
// /del of one partition, of all on a disk, or of all on every disk.
void DeleteBranch(RunContext& run);
// /sort answers 125 for a table already in order.
void SortBranch(RunContext& run);
void IsSortedBranch(RunContext& run);

// /wipe= and /copy.
void WipeBranch(RunContext& run);
void CopyBranch(RunContext& run);
// /signature=: read, zero, generate and write (the value chooses the
// command); any other value is refused (120). The check of /value= runs
// before the disk is touched.
void SignatureBranch(RunContext& run);
void ReadSignatureBranch(RunContext& run);
void ChangeSignatureBranch(RunContext& run);
void SignatureOptionCheck(RunContext& run);
// /status reads the status byte, /status= writes it (below 255).
void StatusBranch(RunContext& run);
void WriteStatusBranch(RunContext& run);
void WriteStatusCheck(RunContext& run);
// /volumeid=read; any other value is refused (124).
void VolumeIdBranch(RunContext& run);
void ReadVolumeIdBranch(RunContext& run);

// /writeini= writes the report of every disk (104 when the file cannot be
// written) and selects the command line's disk again; /info shows every
// disk and records nothing.
void WriteIniBranch(RunContext& run);
void InfoBranch(RunContext& run);
// /bootmenu, after the executor: the menu of the selected disk, one answer
// line read from standard input, and the partition chosen set active. An
// answer that is no number shown, an empty line and a closed input among
// them, is 101; a GPT disk has no active flag to set (131).
void BootMenuStep(RunContext& run);

// /verify: every finding on the selected disk, each disk of /disk=* or a
// virtual disk's file, one line each, then a line of how many problems
// each disk has; 513 when any has one. It selects its disks itself, so
// that a virtual disk whose structures keep it from opening is reported
// on, not refused.
void VerifyBranch(RunContext& run);

// /format: the primary partition /part= names, formatted as NTFS by the
// system's engine. A partition the system has no volume for is refused
// (550) before the engine sees it; a format that fails ends with 516 and
// the format's status text.
void FormatBranch(RunContext& run);

// Records the outcome of a command that writes a table into sector 0. Its
// refusal of a sector 0 that holds no table (518) is told in words of its
// own: the code's text speaks of creating a partition.
void RecordTableEdit(RunContext& run, CommandId command, int code);

// Runs a branch that reports its refusals by throwing an MBRERRORS value and
// records a caught refusal with command as the run's result.
void RunCatchingRefusals(RunContext& run, CommandId command, const std::function<void()>& branch);

}  // namespace partam
