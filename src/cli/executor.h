// Carrying out the one command of a run: defaults, disk selection, the
// checks every command shares, the confirmation prompt and the dispatch to
// the command's branch.
#pragma once

#include <functional>
#include <string>

#include "cli/run.h"

namespace partam {

// The executor. Called once by the driver after the disk object exists.
void ProcessSwitches2(RunContext& run);

// The action text of the current command's prompt ("sort the MBR entries on
// disk 0"); empty for commands that run without asking.
std::string ActionText(RunContext& run);

// Asks "Preparing to <action>, are you sure? (Y/N): " and reads one key.
// Returns 1 for "y" or "Y"; any other key and the end of input cancel (0).
// A command without an action text asks nothing and returns 1.
int Confirm(RunContext& run);

// Copies every disk's MBR aside before a command that rewrites a table or
// wipes sectors. Not made yet: the backup layer provides them later.
void MakeSafetyCopies(RunContext& run);

// Runs a branch that reports its refusals by throwing an MBRERRORS value and
// records a caught refusal with command as the run's result.
void RunCatchingRefusals(RunContext& run, CommandId command, const std::function<void()>& branch);

}  // namespace partam
