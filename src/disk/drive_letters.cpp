#include "disk/drive_letters.h"

#include <vector>

#include "base/endian.h"
#include "base/text.h"
#include "disk/geometry.h"

namespace partam {

namespace {

constexpr char kMountedDevices[] = "SYSTEM\\MountedDevices";
constexpr std::uint32_t kMaxValueBytes = 1024;
constexpr std::string_view kRemovablePrefix = "\\??\\STORAGE#RemovableMedia#";

// "\??\Volume{...}" from "\\?\Volume{...}\": the value's name.
std::optional<std::string> ValueName(const std::string& volumeName) {
    if (volumeName.size() < 5) return std::nullopt;
    return "\\??\\" + volumeName.substr(4, volumeName.size() - 5);
}

// The value names its device in UTF-16; its low bytes are the ASCII text.
std::string Narrow(const std::vector<std::uint8_t>& data) {
    std::string text;
    for (std::size_t i = 0; i < data.size(); i += 2) text += static_cast<char>(data[i]);
    return text;
}

bool MatchesDevice(Platform& platform, std::uint32_t diskIndex, const std::string& device) {
    if (!StartsWithNoCase(device, kRemovablePrefix)) {
        std::string instance = RegistryDeviceInfo(platform, diskIndex, 5, std::string());
        if (instance.empty()) return false;
        for (char& c : instance)
            if (c == '\\') c = '#';
        return device.size() >= 4 && StartsWithNoCase(std::string_view(device).substr(4), instance);
    }
    const std::string prefix = RegistryDeviceInfo(platform, diskIndex, 4, std::string());
    return !prefix.empty() && device.compare(kRemovablePrefix.size(), prefix.size(), prefix) == 0;
}

}  // namespace

std::optional<DriveLetterMatch> FindDriveLetter(Platform& platform, std::uint32_t diskIndex,
                                                const std::array<std::uint8_t, 4>& signature,
                                                std::uint64_t startSector) {
    std::array<std::uint8_t, 12> key{};
    std::copy(signature.begin(), signature.end(), key.begin());
    StoreLe64(&key[4], startSector * 512);
    for (const std::string& root : platform.LogicalDriveRoots()) {
        if (root.empty()) break;
        const std::optional<std::string> volume = platform.VolumeNameForMountPoint(root);
        const std::optional<std::string> name = volume ? ValueName(*volume) : std::nullopt;
        std::vector<std::uint8_t> data;
        if (!name || !platform.ReadRegistryValue(kMountedDevices, *name, kMaxValueBytes, data)) continue;
        const bool bySignature =
            data.size() >= key.size() && std::equal(key.begin(), key.end(), data.begin());
        if (bySignature || MatchesDevice(platform, diskIndex, Narrow(data)))
            return DriveLetterMatch{root[0], *volume};
    }
    return std::nullopt;
}

}  // namespace partam
