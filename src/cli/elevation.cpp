#include "cli/elevation.h"

namespace partam {

namespace {
constexpr std::uint32_t kNtPlatformId = 2;
constexpr std::uint32_t kVistaMajor = 6;
constexpr std::uint32_t kShutdown = 1;
constexpr std::uint32_t kReboot = 2;
constexpr std::uint32_t kForce = 4;
}  // namespace

bool IsVistaOrLater(Platform& platform) {
    const OsVersion v = platform.GetOsVersion();
    return v.ok && v.platformId == kNtPlatformId && v.major >= kVistaMajor;
}

bool IsElevated(Platform& platform, int& elevated) {
    const Elevation e = platform.GetElevation();
    if (!e.ok) return false;
    elevated = e.elevated ? 1 : 0;
    return true;
}

bool HasDiskRights(Platform& platform) {
    if (!IsVistaOrLater(platform)) return true;
    int elevated = 0;
    if (!IsElevated(platform, elevated)) return true;
    return elevated != 0;
}

std::uint32_t ShutdownFlags(int mode) {
    switch (mode) {
        case 1:
            return kShutdown | kForce;
        case 2:
            return kReboot | kForce;
        case 3:
            return kShutdown;
        case 4:
            return kReboot;
        default:
            return 0;
    }
}

bool ShutdownSystem(Platform& platform, int mode) {
    const std::uint32_t flags = ShutdownFlags(mode);
    if (flags == 0) return false;
    return platform.ShutdownSystem(flags);
}

}  // namespace partam
