#include "disk/geometry.h"

#include <vector>

#include "base/text.h"

namespace partam {

bool ReadGeometry(Platform& platform, FileId drive, GeometryResult& out) {
    bool failed = true;
    out.totalBytes = 0;
    DiskGeometry g;
    if (platform.GetDriveGeometry(drive, g)) {
        out.mediaType = g.mediaType;
        out.cylinders = static_cast<std::uint32_t>(g.cylinders);
        out.tracksPerCylinder = g.tracksPerCylinder;
        out.sectorsPerTrack = g.sectorsPerTrack;
        out.bytesPerSector = g.bytesPerSector;
        out.totalSectors = static_cast<std::uint64_t>(g.cylinders) * g.tracksPerCylinder * g.sectorsPerTrack;
        out.totalBytes = out.totalSectors * 512;
        PartitionInformation info;
        if (g.mediaType == kRemovableMedia && platform.GetPartitionInfo(drive, info)) {
            out.totalBytes = static_cast<std::uint64_t>(info.startingOffset + info.partitionLength);
            out.totalSectors = out.totalBytes / 512;
        }
        failed = false;
    }
    // The extended answer is the most exact size and wins whenever it comes.
    std::uint64_t diskSize = 0;
    if (platform.GetDriveGeometryEx(drive, diskSize)) {
        out.totalBytes = diskSize;
        out.totalSectors = diskSize / 512;
    }
    return failed;
}

namespace {

LayoutSlot SlotOf(const LayoutEntry& e, bool present) {
    if (!present) return LayoutSlot{};
    return LayoutSlot{static_cast<std::uint8_t>(e.partitionType != 0),
                      e.partitionType,
                      e.startingOffset,
                      e.partitionLength,
                      e.partitionNumber,
                      e.hiddenSectors,
                      static_cast<std::uint8_t>(e.bootIndicator)};
}

}  // namespace

bool DriveLayout::GetLayout(Platform& platform) {
    DriveLayoutAnswer answer;
    // The extended form names only MBR-style partitions of a known type; the
    // old form describes every slot, present exactly when its type is set.
    if (platform.GetDriveLayoutEx(handle, kBufferSize, answer)) {
        source = 2;
        signature = answer.signature;
    } else if (platform.GetDriveLayout(handle, kBufferSize, answer)) {
        source = 1;
    } else {
        return false;
    }
    for (std::size_t s = 0; s < 4; ++s) {
        const bool given = s < answer.entries.size();
        const bool present =
            given && (source == 1 || (answer.entries[s].styleMbr && answer.entries[s].partitionType != 0));
        slots[s] = given ? SlotOf(answer.entries[s], present) : LayoutSlot{};
    }
    return true;
}

namespace {

const char kDiskEnumKey[] = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
const char kEnumKey[] = "SYSTEM\\CurrentControlSet\\Enum\\";

// A registry string value up to its first NUL.
bool ReadString(Platform& platform, const std::string& key, const std::string& name, std::string& out) {
    std::vector<std::uint8_t> data;
    if (!platform.ReadRegistryValue(key, name, 512, data)) return false;
    out.assign(data.begin(), data.end());
    const auto nul = out.find('\0');
    if (nul != std::string::npos) out.resize(nul);
    return true;
}

}  // namespace

std::string RegistryDeviceInfo(Platform& platform, std::uint32_t diskIndex, int what,
                               const std::string& buffer) {
    std::string instance;
    if (!ReadString(platform, kDiskEnumKey, Format("%u", diskIndex), instance)) return buffer;
    if (what == 0) {
        std::string bus = instance.substr(0, instance.find('\\'));
        if (StartsWithNoCase(bus, "USB")) bus.resize(3);
        return bus;
    }
    const std::string key = kEnumKey + instance;
    std::string text;
    switch (what) {
        case 5:
            return instance;
        case 3:
            if (ReadString(platform, key, "FriendlyName", text) ||
                ReadString(platform, key, "DeviceDesc", text))
                return text;
            return buffer;
        case 4:
            return ReadString(platform, key, "ParentIDPrefix", text) ? text : buffer;
        default:
            return buffer;
    }
}

std::string CutDescription(const std::string& busName, const std::string& displayName) {
    std::string suffix;
    if (EqualsNoCase(busName, "USB"))
        suffix = " USB Device";
    else if (EqualsNoCase(busName, "SCSI"))
        suffix = " SCSI Disk Device";
    else if (EqualsNoCase(busName, "IDE"))
        suffix = " ATA Device";

    std::string description = displayName;
    if (!suffix.empty() && description.size() >= suffix.size()) {
        for (std::size_t at = description.size() - suffix.size() + 1; at-- > 0;) {
            if (EqualsNoCase(std::string_view(description).substr(at, suffix.size()), suffix)) {
                description.resize(at);
                break;
            }
        }
    }
    // One run of two or more spaces becomes one space; later runs stay.
    const auto run = description.find("  ");
    if (run != std::string::npos) {
        const auto end = description.find_first_not_of(' ', run);
        description.erase(run + 1, (end == std::string::npos ? description.size() : end) - run - 1);
    }
    return description;
}

}  // namespace partam
