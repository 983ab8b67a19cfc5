// The texts of a run's results: the line printed for each result code, the
// success message of each command, and the closing message of the run.
#pragma once

#include <optional>
#include <string>

#include "base/result_codes.h"
#include "cli/run.h"

namespace partam {

// The text of a code for the general form " Error %d: %s\n\n": the disk-level
// texts, the GPT-reader and virtual-disk texts, or four blanks.
const char* ErrorText(int code);

// The whole line printed for a non-zero result: the command-level line
// when the code has one, else the general form. Looks up "/Vol" in the
// argument list for the codes that name it.
std::string ResultLine(RunContext& run, int code);

// The same line's words alone, without its "Error N: " lead.
std::string ResultWords(RunContext& run, int code);

// What 102 prints after its line, before the wait for a key.
extern const char* const kNoParametersHelp;

// The closing message of the run, by its result and messageLevel.
void ShowMessages(RunContext& run);

}  // namespace partam
