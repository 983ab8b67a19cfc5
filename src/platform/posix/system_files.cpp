#include "platform/posix/system_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace partam::posix {

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[4096];
    bool ok = true;
    while (text.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buffer, maxBytes - text.size());
        const ssize_t n = ::read(fd, buffer, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    return text;
}

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty() || text.size() > 19) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::optional<DevNumber> ParseDevNumber(std::string_view text) {
    text = TrimBlanks(text);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto major = ParseUnsigned(text.substr(0, colon));
    const auto minor = ParseUnsigned(text.substr(colon + 1));
    if (!major || !minor || *major > 0xFFFFFFFFu || *minor > 0xFFFFFFFFu) return std::nullopt;
    return DevNumber{static_cast<unsigned>(*major), static_cast<unsigned>(*minor)};
}

std::optional<DevNumber> BlockDeviceAt(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return std::nullopt;
    return DevNumber{major(st.st_rdev), minor(st.st_rdev)};
}

}  // namespace partam::posix
