// The rows of the switch table, in the order they are tried. Internal to
// the switch parser.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "cli/run_options.h"
#include "cli/switches.h"

namespace partam {

struct RunContext;

enum class SwitchOutcome { Applied, Invalid };

using SwitchEffect = SwitchOutcome (*)(RunContext& run, const std::string& argument,
                                       const std::string& value);

// One row: the keywords it answers to and what a match does, in this order:
// the value goes to `destination`, `flag` becomes 1, `effect` runs, and when
// it applied, `command` becomes the run's command.
struct SwitchRule {
    std::array<const char*, 4> keywords{};
    MatchMode mode = MatchMode::Abbreviable;
    CommandId command = CommandId::None;
    std::int32_t RunOptions::*flag = nullptr;
    std::string RunOptions::*destination = nullptr;
    SwitchEffect effect = nullptr;
};

std::span<const SwitchRule> SwitchRules();

// Records a refused switch. The offending text is kept only when this code
// is the one the run will report, so the closing message never pairs one
// code with another switch's text.
void RecordSwitchError(RunContext& run, CommandId command, int code, const std::string& argument);

}  // namespace partam
