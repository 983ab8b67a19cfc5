#include "platform/drive_list.h"

#include "base/text.h"

namespace partam {

std::vector<std::string> SplitDiskList(std::string_view value, char separator) {
    std::vector<std::string> entries;
    while (!value.empty()) {
        const std::size_t end = value.find(separator);
        const std::string_view entry = value.substr(0, end);
        if (!entry.empty()) entries.emplace_back(entry);
        if (end == std::string_view::npos) break;
        value.remove_prefix(end + 1);
    }
    return entries;
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

std::optional<std::string> DiskListEntry(std::string_view listValue, char separator, int driveNumber) {
    const std::vector<std::string> entries = SplitDiskList(listValue, separator);
    if (driveNumber < 0 || static_cast<std::size_t>(driveNumber) >= entries.size()) return std::nullopt;
    return entries[static_cast<std::size_t>(driveNumber)];
}

}  // namespace partam
