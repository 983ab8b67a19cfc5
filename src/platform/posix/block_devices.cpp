#include "platform/posix/block_devices.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace partam::posix {

namespace fs = std::filesystem;

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string ReadTrimmed(const std::string& path) {
    const auto text = ReadSmallFile(path, 4096);
    return text ? std::string(TrimBlanks(*text)) : std::string();
}

std::string BaseName(const std::string& path) { return fs::path(path).filename().string(); }

}  // namespace

bool IsDriveName(std::string_view name) {
    for (std::string_view skipped : {"loop", "ram", "zram", "dm-", "md", "sr", "fd"})
        if (StartsWith(name, skipped)) return false;
    return !name.empty();
}

std::vector<std::string> ListDriveNames(const SystemRoots& roots) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(roots.sys + "/block", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!IsDriveName(name)) continue;
        const auto size = ParseUnsigned(ReadTrimmed(it->path().string() + "/size"));
        if (size && *size > 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string SysFolderOf(const SystemRoots& roots, DevNumber device) {
    std::error_code ec;
    const fs::path link = fs::path(roots.sys) / "dev" / "block" /
                          (std::to_string(device.major) + ":" + std::to_string(device.minor));
    const fs::path folder = fs::canonical(link, ec);
    return ec ? std::string() : folder.string();
}

std::string DiskFolderOf(const std::string& sysFolder) {
    std::error_code ec;
    if (!fs::exists(sysFolder + "/partition", ec)) return sysFolder;
    return fs::path(sysFolder).parent_path().string();
}

std::string BusOfDevicePath(std::string_view sysPath, std::string_view name) {
    if (sysPath.find("/usb") != std::string_view::npos) return "USB";
    if (StartsWith(name, "nvme") || sysPath.find("/nvme") != std::string_view::npos) return "NVMe";
    if (sysPath.find("/ata") != std::string_view::npos) return "IDE";
    return "SCSI";
}

std::string JoinDescription(std::string_view vendor, std::string_view model, std::string_view name) {
    vendor = TrimBlanks(vendor);
    model = TrimBlanks(model);
    if (vendor.empty() && model.empty()) return std::string(name);
    if (vendor.empty()) return std::string(model);
    if (model.empty()) return std::string(vendor);
    return std::string(vendor) + " " + std::string(model);
}

DriveIdentity BlockDeviceIdentity(const std::string& sysFolder) {
    const std::string disk = DiskFolderOf(sysFolder);
    const std::string name = BaseName(disk);
    return DriveIdentity{
        BusOfDevicePath(disk, name),
        JoinDescription(ReadTrimmed(disk + "/device/vendor"), ReadTrimmed(disk + "/device/model"), name)};
}

bool IsRemovable(const std::string& sysFolder) {
    return ReadTrimmed(DiskFolderOf(sysFolder) + "/removable") == "1";
}

}  // namespace partam::posix
