// Volumes, system messages and randomness on Linux.
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/posix/posix_platform.h"

namespace partam::posix {

// Linux mounts volumes on folders, never under drive letters, so no root
// path names a volume.
std::optional<std::string> PosixPlatform::VolumeLabel(const std::string&) { return std::nullopt; }

std::uint32_t PosixPlatform::LastErrorCode() { return static_cast<std::uint32_t>(errno); }

std::string PosixPlatform::SystemErrorText(std::uint32_t code) {
    return std::strerror(static_cast<int>(code));
}

// No window to show it in: the message goes where the program's warnings
// go, after what the listing printed so far.
void PosixPlatform::ShowMessageBox(const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", text.c_str());
}

std::uint32_t PosixPlatform::RandomNumber() {
    std::uint32_t value = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (::getrandom(&value, sizeof value, 0) == static_cast<ssize_t>(sizeof value)) return value;
    }
    // A kernel without the call: the clock and the process, which still
    // differ from one run to the next.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::uint32_t>(now.tv_nsec) ^ (static_cast<std::uint32_t>(now.tv_sec) << 7) ^
           static_cast<std::uint32_t>(::getpid());
}

}  // namespace partam::posix
