// The help page: the switches, in two halves with a pause between them.
#pragma once

#include "cli/run.h"

namespace partam {

// Prints one line of the page: an option line through "\n %c%s" with "/",
// the usage line as a format whose one argument is "/".
void HelpLine(RunContext& run, const char* text, bool isUsageLine);

// Prints the whole page; the pause between the halves waits for one key,
// not echoed, and ends at once when standard input is closed.
void ShowHelp(RunContext& run);

}  // namespace partam
