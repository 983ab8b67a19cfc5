// The switch table: turning arguments into run options.
#pragma once

#include <cstdint>
#include <string>

namespace partam {

struct RunContext;

enum class MatchMode { Count, Abbreviable, Valued };

struct SwitchMatch {
    bool matched = false;
    bool invalid = false;  // valued switch without a value
    std::string value;
};

// Whether argument is the switch keyword. mode Count compares the first
// count characters after the prefix; Abbreviable takes any beginning of the
// keyword; Valued takes the name up to the keyword's last "=", skips one
// character and returns the rest as the value.
SwitchMatch MatchSwitch(const std::string& argument, const std::string& keyword, MatchMode mode,
                        int count = 0);

// Applies one argument to the run options.
void ParseSwitch(RunContext& run, const std::string& argument);

// Reads "partam.opt" from the program's folder and parses its tokens; true
// when the file held any token.
bool ReadOptionsFile(RunContext& run);

// The repair mode: "XP" 1, "Win7" 2, "PartitionTable" and "pt" 3, otherwise
// the decimal value; -1 for an empty text.
std::int64_t KeywordNumber(const std::string& text);

}  // namespace partam
