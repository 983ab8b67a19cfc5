#include "platform/drive_list.h"

#include "base/text.h"

namespace partam {

std::vector<std::string> SplitDiskList(std::string_view value, char separator) {
    std::vector<std::string> entries;
    for (;;) {
        const std::size_t end = value.find(separator);
        entries.emplace_back(value.substr(0, end));
        if (end == std::string_view::npos) return entries;
        value.remove_prefix(end + 1);
    }
}

// The count is checked first, since it needs no file; then each entry in
// turn, and the first bad one is the one named.
CheckedDiskList CheckDiskList(std::string_view value, char separator, const EntryProbe& probe) {
    CheckedDiskList result;
    std::vector<std::string> entries = SplitDiskList(value, separator);
    const std::string name = std::string("partam: ") + kDiskListVariable;
    if (entries.size() > kMaxDiskListEntries) {
        result.refusal = name + " holds more than " + std::to_string(kMaxDiskListEntries) + " entries";
        return result;
    }
    for (std::size_t n = 0; n < entries.size(); ++n) {
        const std::string& entry = entries[n];
        const std::string named = name + " entry " + std::to_string(n) + " \"" + entry + "\"";
        if (entry.empty()) {
            result.refusal = named + " is empty";
            return result;
        }
        if (const std::optional<std::string> why = probe(entry)) {
            result.refusal = named + " cannot be opened: " + *why;
            return result;
        }
    }
    result.drives = std::move(entries);
    return result;
}

bool DiskListState::Use(const std::optional<std::string>& value, char separator, const EntryProbe& probe,
                        const Reporter& report) {
    if (!value) {
        value_.reset();
        checked_ = CheckedDiskList{};
        return false;
    }
    if (value_ != value) {
        value_ = value;
        checked_ = CheckDiskList(*value, separator, probe);
        if (!checked_.refusal.empty()) report(checked_.refusal);
    }
    return true;
}

std::optional<std::string> DiskListState::Entry(int driveNumber) const {
    if (driveNumber < 0 || static_cast<std::size_t>(driveNumber) >= checked_.drives.size())
        return std::nullopt;
    return checked_.drives[static_cast<std::size_t>(driveNumber)];
}

namespace {

bool IsSlash(char c) { return c == '\\' || c == '/'; }

// Drive numbers stay far below this; more digits are no drive of ours.
constexpr std::size_t kMaxDriveDigits = 6;

}  // namespace

std::optional<int> PhysicalDriveNumber(std::string_view path) {
    constexpr std::string_view kName = "PhysicalDrive";
    if (path.size() < 4 || !IsSlash(path[0]) || !IsSlash(path[1]) || path[2] != '.' || !IsSlash(path[3]))
        return std::nullopt;
    path.remove_prefix(4);
    if (!StartsWithNoCase(path, kName)) return std::nullopt;
    const std::string_view digits = path.substr(kName.size());
    if (digits.empty() || digits.size() > kMaxDriveDigits) return std::nullopt;
    // The system names drive 1 "PhysicalDrive1", never "PhysicalDrive01".
    if (digits.size() > 1 && digits[0] == '0') return std::nullopt;
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace partam
