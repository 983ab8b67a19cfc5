// How a drive number turns into something to open: the list of disk images
// that stands in for the machine's drives, and the drive path itself.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace partam {

// When set, its entries are drives 0, 1, 2 ... instead of the machine's own.
inline constexpr char kDiskListVariable[] = "PARTAM_DISKS";

// The system's path-list separator, as in PATH.
#if defined(_WIN32)
inline constexpr char kDiskListSeparator = ';';
#else
inline constexpr char kDiskListSeparator = ':';
#endif

// The program looks for drives 0 to 19; an entry beyond them would be a
// disk the user named and the program never shows.
inline constexpr std::size_t kMaxDiskListEntries = 20;

// The entries of a disk list in order. Empty entries are kept: entry n is
// drive n, whatever stands before it.
std::vector<std::string> SplitDiskList(std::string_view value, char separator);

// Why an entry cannot be opened for reading, in the system's words; nothing
// when it can.
using EntryProbe = std::function<std::optional<std::string>(const std::string& entry)>;

// A disk list checked as a whole. When any entry is bad none of them is a
// drive: numbering the good ones densely would move a later image onto the
// number of the bad one, and a write meant for one disk would reach another.
struct CheckedDiskList {
    std::vector<std::string> drives;  // entry n is drive n; none when refused
    std::string refusal;              // the line naming what is wrong; empty when accepted
};

CheckedDiskList CheckDiskList(std::string_view value, char separator, const EntryProbe& probe);

// What one platform makes of the disk list variable. The list is checked the
// first time it is seen, and again only when its text changes, so that a bad
// list is reported once and not at every drive number the program tries.
class DiskListState {
public:
    using Reporter = std::function<void(const std::string& line)>;

    // Takes the variable's current value; false when it is unset and the
    // machine's own drives count.
    bool Use(const std::optional<std::string>& value, char separator, const EntryProbe& probe,
             const Reporter& report);
    // The entry standing in for drive n; nothing past the end of the list
    // or when the list was refused.
    std::optional<std::string> Entry(int driveNumber) const;
    // The variable was set when last seen: drive numbers name its entries.
    bool InForce() const { return value_.has_value(); }

private:
    std::optional<std::string> value_;
    CheckedDiskList checked_;
};

// The number n of a path "\\.\PhysicalDrive<n>" (either slash, the name in
// any case, n in plain decimal); nothing for any other path.
std::optional<int> PhysicalDriveNumber(std::string_view path);

}  // namespace partam
