#include "cli/arguments.h"

#include "base/text.h"

namespace partam {

namespace {

// Entries keep the argument whole, however long: a command that reads a
// parameter back (a file name, a sector) must see exactly what was typed.
// Arguments beyond the entry limits are refused by the switch parser instead.
ArgumentEntry MakeEntry(const std::string& text) {
    ArgumentEntry entry;
    entry.text = text;
    const std::size_t equals = text.find('=');
    if (equals != std::string::npos) {
        entry.hasValue = 1;
        entry.name = text.substr(0, equals);
        entry.value = text.substr(equals + 1);
    }
    return entry;
}

}  // namespace

ArgumentList::ArgumentList(int argc, const char* const* argv) {
    if (argv == nullptr) return;
    for (int i = 1; i < argc; ++i) entries_.push_back(MakeEntry(argv[i] != nullptr ? argv[i] : ""));
}

ArgumentList::ArgumentList(const std::vector<std::string>& tokens) {
    for (const std::string& token : tokens) entries_.push_back(MakeEntry(token));
}

const ArgumentEntry* ArgumentList::Find(const std::string& key) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const ArgumentEntry& entry = entries_[i];
        if ((entry.hasValue && EqualsNoCase(entry.name, key)) || EqualsNoCase(entry.text, key)) {
            current_ = static_cast<int>(i);
            return &entry;
        }
    }
    current_ = -1;
    return nullptr;
}

std::string ArgumentList::Value() const {
    return current_ >= 0 ? entries_[static_cast<std::size_t>(current_)].value : std::string();
}

std::string ArgumentList::Text() const {
    return current_ >= 0 ? entries_[static_cast<std::size_t>(current_)].text : std::string();
}

bool ArgumentFitsEntry(const std::string& argument) {
    if (argument.size() > kArgumentTextLimit) return false;
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) return true;
    return equals <= kArgumentNameLimit && argument.size() - equals - 1 <= kArgumentValueLimit;
}

}  // namespace partam
