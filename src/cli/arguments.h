// The command-line arguments as given, kept for commands that look up their
// extra parameters ("/Filename", "/Range", "/start", ...) by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace partam {

inline constexpr std::size_t kArgumentTextLimit = 511;
inline constexpr std::size_t kArgumentNameLimit = 255;
inline constexpr std::size_t kArgumentValueLimit = 255;

struct ArgumentEntry {
    std::int32_t hasValue = 0;
    std::string text;   // the whole argument, prefix included
    std::string name;   // before the first "=", empty without "="
    std::string value;  // after the first "="
};

// Whether an argument fits an entry: at most 511 characters, with a name and
// a value of at most 255 each.
bool ArgumentFitsEntry(const std::string& argument);

class ArgumentList {
public:
    ArgumentList() = default;
    // From the second argument on.
    ArgumentList(int argc, const char* const* argv);
    // The tokens of the options file, in order.
    explicit ArgumentList(const std::vector<std::string>& tokens);

    // The first entry whose name or whole text equals key, ignoring case; it
    // becomes the current entry. Null (and no current entry) when none.
    const ArgumentEntry* Find(const std::string& key);
    // Of the current entry; empty without one.
    std::string Value() const;
    std::string Text() const;

    const std::vector<ArgumentEntry>& Entries() const { return entries_; }
    int Current() const { return current_; }

private:
    std::vector<ArgumentEntry> entries_;
    int current_ = -1;
};

}  // namespace partam
