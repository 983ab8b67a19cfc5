#include "platform/posix/mount_guard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/posix/block_devices.h"

namespace partam::posix {

namespace fs = std::filesystem;

bool WriteAllowed(const DeviceUse& use, std::uint64_t offset, std::uint64_t count) {
    if (count == 0) return true;
    if (!use.known || use.wholeInUse) return false;
    const std::uint64_t end = offset + count;
    if (end < offset) return false;
    for (const ByteRange& r : use.inUse)
        if (offset < r.end && r.first < end) return false;
    return true;
}

namespace {

std::vector<std::string_view> SplitBlanks(std::string_view line) {
    std::vector<std::string_view> fields;
    while (!line.empty()) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos) break;
        line.remove_prefix(start);
        const std::size_t end = line.find_first_of(" \t");
        fields.push_back(line.substr(0, end));
        if (end == std::string_view::npos) break;
        line.remove_prefix(end);
    }
    return fields;
}

template <typename Handle>
void ForEachLine(std::string_view text, Handle handle) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        handle(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

}  // namespace

std::string UnescapeMountField(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) && IsOctal(field[i + 2]) &&
            IsOctal(field[i + 3])) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw": the
// third field is the device, the second after the lone "-" the source.
std::vector<MountedDevice> ParseMountInfo(std::string_view text) {
    std::vector<MountedDevice> mounts;
    ForEachLine(text, [&](std::string_view line) {
        const std::vector<std::string_view> fields = SplitBlanks(line);
        if (fields.size() < 3) return;
        const std::optional<DevNumber> device = ParseDevNumber(fields[2]);
        if (!device) return;
        MountedDevice mount{*device, ""};
        for (std::size_t i = 3; i + 2 < fields.size(); ++i) {
            if (fields[i] == "-") {
                mount.source = UnescapeMountField(fields[i + 2]);
                break;
            }
        }
        mounts.push_back(std::move(mount));
    });
    return mounts;
}

// "Filename Type Size Used Priority" heading, then one line per swap area.
std::vector<std::string> ParseSwapNames(std::string_view text) {
    std::vector<std::string> names;
    bool heading = true;
    ForEachLine(text, [&](std::string_view line) {
        const std::vector<std::string_view> fields = SplitBlanks(line);
        if (heading || fields.empty()) {
            heading = false;
            return;
        }
        names.push_back(UnescapeMountField(fields[0]));
    });
    return names;
}

namespace {

// Devices named in a table as "/dev/...", looked up under roots.dev.
void AddNamedDevice(const SystemRoots& roots, const std::string& name, std::set<DevNumber>& devices) {
    constexpr std::string_view kDev = "/dev/";
    if (name.compare(0, kDev.size(), kDev) != 0) return;
    if (const auto device = BlockDeviceAt(roots.dev + name.substr(kDev.size() - 1))) devices.insert(*device);
}

// Mounted and swap devices; nothing when the mount table cannot be read.
std::optional<std::set<DevNumber>> DevicesInUse(const SystemRoots& roots) {
    const auto mountInfo = ReadSmallFile(roots.proc + "/self/mountinfo", 16 << 20);
    if (!mountInfo) return std::nullopt;
    std::set<DevNumber> devices;
    for (const MountedDevice& mount : ParseMountInfo(*mountInfo)) {
        devices.insert(mount.device);
        AddNamedDevice(roots, mount.source, devices);
    }
    if (const auto swaps = ReadSmallFile(roots.proc + "/swaps", 1 << 20))
        for (const std::string& name : ParseSwapNames(*swaps)) AddNamedDevice(roots, name, devices);
    return devices;
}

bool HasHolders(const std::string& folder) {
    std::error_code ec;
    return !fs::is_empty(folder + "/holders", ec) && !ec;
}

// The kernel lets only one holder claim a device: an exclusive open fails
// with EBUSY while a filesystem, swap or another device holds it. This also
// finds users that no mount table lists (devices of a multi-device btrfs,
// ZFS pools). A device node that cannot be found answers false.
bool IsClaimed(const SystemRoots& roots, DevNumber device, const std::string& name) {
    std::string node =
        roots.dev + "/block/" + std::to_string(device.major) + ":" + std::to_string(device.minor);
    if (BlockDeviceAt(node) != device) node = roots.dev + "/" + name;
    if (BlockDeviceAt(node) != device) return false;
    const int fd = ::open(node.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == EBUSY;
    ::close(fd);
    return false;
}

std::string ReadText(const fs::path& path) {
    const auto text = ReadSmallFile(path.string(), 256);
    return text ? *text : std::string();
}

// The partitions of a disk folder in use; false when one cannot be read.
bool AddPartitionsInUse(const SystemRoots& roots, const std::string& folder, const std::set<DevNumber>& busy,
                        DeviceUse& use) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path part = it->path();
        std::error_code partitionEc;
        if (!fs::exists(part / "partition", partitionEc)) continue;
        const auto device = ParseDevNumber(ReadText(part / "dev"));
        const auto start = ParseUnsigned(ReadText(part / "start"));
        const auto size = ParseUnsigned(ReadText(part / "size"));
        if (!device || !start || !size) return false;
        if (busy.count(*device) || HasHolders(part.string()) ||
            IsClaimed(roots, *device, part.filename().string()))
            use.inUse.push_back(ByteRange{*start * 512, (*start + *size) * 512});
    }
    return !ec;
}

}  // namespace

DeviceUse InspectDevice(const SystemRoots& roots, DevNumber device) {
    DeviceUse use;
    const std::optional<std::set<DevNumber>> busy = DevicesInUse(roots);
    const std::string folder = SysFolderOf(roots, device);
    if (!busy || folder.empty()) return use;
    if (!AddPartitionsInUse(roots, folder, *busy, use)) return use;
    use.wholeInUse = busy->count(device) || HasHolders(folder);
    // With a partition claimed, the disk's own exclusive open fails too, so
    // it tells something only about a disk none of whose partitions is used.
    if (!use.wholeInUse && use.inUse.empty())
        use.wholeInUse = IsClaimed(roots, device, fs::path(folder).filename().string());
    use.known = true;
    return use;
}

std::optional<ByteRange> LoopBytesOf(const LoopBacking& loop, std::uint64_t offset, std::uint64_t count) {
    const std::uint64_t end = offset + count < offset ? ~std::uint64_t{0} : offset + count;
    const std::uint64_t loopEnd = loop.limit == 0 || loop.offset + loop.limit < loop.offset
                                      ? ~std::uint64_t{0}
                                      : loop.offset + loop.limit;
    const std::uint64_t first = std::max(offset, loop.offset), last = std::min(end, loopEnd);
    if (count == 0 || first >= last) return std::nullopt;
    return ByteRange{first - loop.offset, last - loop.offset};
}

namespace {

// The file a loop device reads from, as /sys names it; its "(deleted)" mark
// names no file that exists, so such a device is found attached to none.
bool BacksFile(const std::string& loopFolder, DevNumber fileDevice, std::uint64_t inode) {
    const auto name = ReadSmallFile(loopFolder + "/loop/backing_file", 8192);
    struct stat st;
    if (!name || ::stat(std::string(TrimBlanks(*name)).c_str(), &st) != 0) return false;
    return DevNumber{major(st.st_dev), minor(st.st_dev)} == fileDevice && st.st_ino == inode;
}

}  // namespace

std::vector<LoopBacking> LoopDevicesOf(const SystemRoots& roots, DevNumber fileDevice, std::uint64_t inode) {
    std::vector<LoopBacking> loops;
    std::error_code ec;
    for (fs::directory_iterator it(roots.sys + "/block", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string folder = it->path().string();
        if (it->path().filename().string().rfind("loop", 0) != 0 || !BacksFile(folder, fileDevice, inode))
            continue;
        const auto device = ParseDevNumber(ReadText(folder + "/dev"));
        const auto offset = ParseUnsigned(ReadText(folder + "/loop/offset"));
        const auto limit = ParseUnsigned(ReadText(folder + "/loop/sizelimit"));
        // A device whose window cannot be read counts as the whole file.
        if (device) loops.push_back(LoopBacking{*device, offset.value_or(0), offset && limit ? *limit : 0});
    }
    return loops;
}

bool FileWriteAllowed(const SystemRoots& roots, const std::vector<LoopBacking>& loops, std::uint64_t offset,
                      std::uint64_t count) {
    for (const LoopBacking& loop : loops) {
        const std::optional<ByteRange> bytes = LoopBytesOf(loop, offset, count);
        if (bytes &&
            !WriteAllowed(InspectDevice(roots, loop.device), bytes->first, bytes->end - bytes->first))
            return false;
    }
    return true;
}

}  // namespace partam::posix
