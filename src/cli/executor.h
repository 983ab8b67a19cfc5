// Carrying out the one command of a run: the safety copies, defaults, disk
// selection, the checks every command shares, the confirmation prompt and
// the command's branch, all as its row of the command table says.
#pragma once

#include "cli/run.h"

namespace partam {

// The executor. Called once by the driver after the disk object exists.
void ProcessSwitches2(RunContext& run);

// The command's step after the executor (its row's afterFrame), when it has
// one and the run has no result yet; what it wrote is then finished as a
// branch's writes are.
void RunAfterFrame(RunContext& run);

// Asks "Preparing to <action>, are you sure? (Y/N): " and reads one key.
// Returns 1 for "y" or "Y"; any other key and the end of input cancel (0).
// A command without an action asks nothing and returns 1.
int Confirm(RunContext& run);

// Copies every disk's MBR aside before a command that can cost a table, and
// keeps in the run which disks it copied; the file the command names
// (/filename=) is never replaced by a copy.
void MakeSafetyCopies(RunContext& run);

}  // namespace partam
