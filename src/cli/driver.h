// The driver's volume lookup: which disk and partition a volume switch
// (/part=system, /part=boot, /part=diag, /vol=LABEL, /vol=E:) names.
#pragma once

#include <optional>
#include <string>

#include "cli/run.h"

namespace partam {

enum class VolumeKind { System, Boot, Diagnostic, Label, DriveLetter };

// Scans every disk's primary partitions in disk order, then partition order,
// with a disk object of its own; the first match is written to the outputs.
// System matches the drive letter of text's first character (case as given),
// Boot the active partition, Diagnostic types 0x12 and 0xDE, Label the
// volume label ignoring case, DriveLetter the drive letter ignoring case.
// The kinds that compare a text find nothing without one.
bool ResolveVolume(RunContext& run, VolumeKind kind, const std::optional<std::string>& text, int& diskOut,
                   int& partOut);

}  // namespace partam
