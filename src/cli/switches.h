// The switch table: turning arguments into run options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace partam {

struct RunContext;

enum class MatchMode { Count, Abbreviable, Valued, Whole };

struct SwitchMatch {
    bool matched = false;
    bool invalid = false;  // valued switch without a value
    std::string value;
};

// Whether argument is the switch keyword. mode Count compares the first
// count characters after the prefix (the keyword's length when count is not
// positive) and returns the rest as the value; Abbreviable takes any
// beginning of the keyword; Valued takes the name up to the keyword's last
// "=", skips one character and returns the rest as the value, flagging the
// match invalid when that leaves no value; Whole takes the keyword itself
// and nothing else. An argument without a "/" or "-"
// prefix matches only the whole keyword.
SwitchMatch MatchSwitch(const std::string& argument, const std::string& keyword, MatchMode mode,
                        int count = 0);

// Where a switch comes from. A command-line argument must fit an entry of
// the argument list (ArgumentFitsEntry); an options-file token may hold up
// to 1023 characters. Anything longer is an invalid switch, never cut.
enum class SwitchSource { CommandLine, OptionsFile };

// Applies one argument to the run options.
void ParseSwitch(RunContext& run, const std::string& argument,
                 SwitchSource source = SwitchSource::CommandLine);

// Builds the run's argument list from argv (from the second argument on)
// and applies ParseSwitch to each argument in order. The list is built first:
// the type= switch looks for a "/create" entry anywhere on the line.
void ParseCommandLine(RunContext& run, int argc, const char* const* argv);

inline constexpr std::size_t kOptionsTokenLimit = 1023;

// Reads "partam.opt" from the program's folder and parses its tokens; true
// when the file held any token.
bool ReadOptionsFile(RunContext& run);

// /json goes only with a command whose row has a JSON form; with any other
// (or none) it is an invalid switch (105). With /? it is dropped: the help
// page is text.
void CheckJsonSwitch(RunContext& run);

// The repair mode: "XP" 1, "Win7" 2, "PartitionTable" and "pt" 3, otherwise
// the decimal value; -1 for an empty text.
std::int64_t KeywordNumber(const std::string& text);

}  // namespace partam
