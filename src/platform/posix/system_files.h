// Small readers of the system's own files (/proc, /sys) for the Linux
// platform, and where those trees are, so that tests can point them at a
// made-up tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace partam::posix {

struct SystemRoots {
    std::string sys = "/sys";
    std::string proc = "/proc";
    std::string dev = "/dev";
};

// A block device's major and minor numbers.
struct DevNumber {
    unsigned major = 0;
    unsigned minor = 0;
    friend bool operator<(const DevNumber& a, const DevNumber& b) {
        return a.major != b.major ? a.major < b.major : a.minor < b.minor;
    }
    friend bool operator==(const DevNumber& a, const DevNumber& b) {
        return a.major == b.major && a.minor == b.minor;
    }
};

// At most maxBytes of a file; nothing when it cannot be opened or read.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t maxBytes = 64 * 1024);

// Without leading and trailing blanks and line ends.
std::string_view TrimBlanks(std::string_view text);

// A whole decimal number filling the trimmed text; nothing otherwise.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text);

// "major:minor" as in the dev files of /sys and in /proc/self/mountinfo.
std::optional<DevNumber> ParseDevNumber(std::string_view text);

// The numbers of the block device a path names; nothing for anything else.
std::optional<DevNumber> BlockDeviceAt(const std::string& path);

}  // namespace partam::posix
