#include "cli/switches.h"

#include <string_view>
#include <vector>

#include "base/result_codes.h"
#include "base/text.h"
#include "cli/commands.h"
#include "cli/run.h"
#include "cli/switch_table.h"

namespace partam {

namespace {

constexpr const char* kOptionsFileName = "partam.opt";

bool IsPrefix(char c) { return c == '/' || c == '-'; }

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The one character after the name is skipped unchecked, so /save:mbr acts
// like /save=mbr. Nothing after it, or nothing at all, is no value.
SwitchMatch MatchValued(std::string_view body, std::string_view keyword) {
    const std::size_t equals = keyword.rfind('=');
    const std::string_view name = keyword.substr(0, equals);
    SwitchMatch match;
    if (!StartsWithNoCase(body, name)) return match;
    match.matched = true;
    if (body.size() <= name.size() + 1) {
        match.invalid = true;
    } else {
        match.value = std::string(body.substr(name.size() + 1));
    }
    return match;
}

bool Fits(const std::string& argument, SwitchSource source) {
    if (source == SwitchSource::OptionsFile) return argument.size() <= kOptionsTokenLimit;
    return ArgumentFitsEntry(argument);
}

void MarkInvalid(RunContext& run, const std::string& argument) {
    run.options.badSwitch = 1;
    RecordSwitchError(run, CommandId::None, kInvalidSwitch, argument);
}

// A command switch selects its command even when its value is refused
// (/save=xyz is a save with a bad value), so the run reports it as such.
SwitchOutcome Apply(RunContext& run, const SwitchRule& rule, const std::string& argument,
                    const std::string& value) {
    RunOptions& o = run.options;
    if (rule.destination != nullptr) o.*rule.destination = value;
    if (rule.flag != nullptr) o.*rule.flag = 1;
    if (rule.command != CommandId::None) o.command = rule.command;
    if (rule.effect != nullptr) return rule.effect(run, argument, value);
    return SwitchOutcome::Applied;
}

// The outcome of the first row that matches; Invalid when none does.
SwitchOutcome ApplyFirstMatch(RunContext& run, const std::string& argument) {
    for (const SwitchRule& rule : SwitchRules()) {
        for (const char* keyword : rule.keywords) {
            if (keyword == nullptr) break;
            const SwitchMatch match = MatchSwitch(argument, keyword, rule.mode);
            if (!match.matched) continue;
            if (match.invalid) return SwitchOutcome::Invalid;
            return Apply(run, rule, argument, match.value);
        }
    }
    return SwitchOutcome::Invalid;
}

}  // namespace

SwitchMatch MatchSwitch(const std::string& argument, const std::string& keyword, MatchMode mode, int count) {
    SwitchMatch match;
    if (argument.empty() || !IsPrefix(argument[0])) {
        // Without a prefix only the whole keyword counts, and it carries no
        // value of its own.
        match.matched = EqualsNoCase(argument, keyword);
        match.invalid = match.matched && mode == MatchMode::Valued;
        return match;
    }
    const std::string_view body = std::string_view(argument).substr(1);
    if (body.empty()) return match;
    switch (mode) {
        case MatchMode::Count: {
            const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : keyword.size();
            if (body.size() < n || keyword.size() < n) return match;
            match.matched = EqualsNoCase(body.substr(0, n), std::string_view(keyword).substr(0, n));
            if (match.matched) match.value = std::string(body.substr(n));
            return match;
        }
        case MatchMode::Abbreviable:
            match.matched = StartsWithNoCase(keyword, body);
            return match;
        case MatchMode::Valued:
            return MatchValued(body, keyword);
        case MatchMode::Whole:
            match.matched = EqualsNoCase(body, keyword);
            return match;
    }
    return match;
}

void ParseSwitch(RunContext& run, const std::string& argument, SwitchSource source) {
    // An over-long switch is refused whole: cutting a file name would send a
    // later command to a different file.
    if (!Fits(argument, source) || ApplyFirstMatch(run, argument) == SwitchOutcome::Invalid)
        MarkInvalid(run, argument);
    DebugTrace(run, argument.c_str(), static_cast<int>(run.options.command));
}

void ParseCommandLine(RunContext& run, int argc, const char* const* argv) {
    run.arguments = ArgumentList(argc, argv);
    for (const ArgumentEntry& entry : run.arguments.Entries()) ParseSwitch(run, entry.text);
}

// The tokens are kept as the run's argument list, as the command line's
// arguments are, so that the commands find their parameters (/filename=,
// /range=, ...) the same way from either.
bool ReadOptionsFile(RunContext& run) {
    const auto text = run.platform.ReadTextFile(run.platform.ProgramFolder() + kOptionsFileName);
    if (!text) return false;
    std::vector<std::string> tokens;
    std::string token;
    for (std::size_t i = 0; i <= text->size(); ++i) {
        if (i < text->size() && !IsSeparator((*text)[i])) {
            token += (*text)[i];
        } else if (!token.empty()) {
            tokens.push_back(std::move(token));
            token.clear();
        }
    }
    run.arguments = ArgumentList(tokens);
    for (const std::string& t : tokens) ParseSwitch(run, t, SwitchSource::OptionsFile);
    return !tokens.empty();
}

std::int64_t KeywordNumber(const std::string& text) {
    if (text.empty()) return -1;
    if (EqualsNoCase(text, "XP")) return 1;
    if (EqualsNoCase(text, "Win7")) return 2;
    if (EqualsNoCase(text, "PartitionTable") || EqualsNoCase(text, "pt")) return 3;
    return ReadDecimal(text);
}

// A script that asked for a document never gets text in its place: the
// refusal comes before anything is read or written.
void CheckJsonSwitch(RunContext& run) {
    RunOptions& o = run.options;
    if (!o.json) return;
    if (o.help) {
        o.json = 0;
    } else if (!CommandRowOf(o.command).json && o.badSwitch == 0) {
        o.badSwitch = 1;
        RecordSwitchError(run, CommandId::None, kInvalidSwitch, o.jsonSwitchText);
    }
}

}  // namespace partam
