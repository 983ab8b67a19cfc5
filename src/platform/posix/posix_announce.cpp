// Telling Linux of a new partition table on a block device, so that the
// partitions it shows (lsblk, /dev) follow without a restart. The kernel is
// asked to read the table itself; while a partition of the disk is open it
// refuses, and a kernel built without an MBR reader finds nothing. Then it
// is told partition by partition what changed, as the partitioning tools
// tell it.

#include <linux/blkpg.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/posix/block_devices.h"
#include "platform/posix/kernel_table.h"
#include "platform/posix/posix_platform.h"

namespace partam::posix {

namespace {

namespace fs = std::filesystem;

std::optional<std::uint64_t> NumberIn(const std::string& path) {
    const std::optional<std::string> text = ReadSmallFile(path, 64);
    return text ? ParseUnsigned(*text) : std::nullopt;
}

// The partitions the kernel keeps for a disk now: the folders of its /sys
// folder that carry a partition number.
std::vector<KernelPartition> CurrentPartitions(const std::string& diskFolder) {
    std::vector<KernelPartition> parts;
    std::error_code ec;
    for (fs::directory_iterator it(diskFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string folder = it->path().string();
        const auto number = NumberIn(folder + "/partition");
        const auto start = NumberIn(folder + "/start");
        const auto size = NumberIn(folder + "/size");
        if (number && start && size && *number < kKernelPartitionLimit)
            parts.push_back({static_cast<std::uint32_t>(*number), *start, *size});
    }
    std::sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    return parts;
}

bool Apply(int fd, const KernelChange& change) {
    blkpg_partition part{};
    part.start = static_cast<long long>(change.partition.start * 512);
    part.length = static_cast<long long>(change.partition.sectors * 512);
    part.pno = static_cast<int>(change.partition.number);
    blkpg_ioctl_arg arg{};
    arg.op = change.kind == KernelChange::Delete   ? BLKPG_DEL_PARTITION
             : change.kind == KernelChange::Resize ? BLKPG_RESIZE_PARTITION
                                                   : BLKPG_ADD_PARTITION;
    arg.datalen = sizeof part;
    arg.data = &part;
    return ::ioctl(fd, BLKPG, &arg) == 0;
}

void Warn(const std::string& device, const std::string& what, int error) {
    std::fflush(stdout);
    std::fprintf(stderr, "partam: warning: the system still shows the former partitions of %s%s: %s\n",
                 device.c_str(), what.c_str(), std::strerror(error));
}

}  // namespace

bool PosixPlatform::AnnounceTableChange(FileId drive) {
    const OpenEntry* entry = Find(drive);
    if (!entry || !entry->block) return entry != nullptr;
    const std::string folder = SysFolderOf(roots_, entry->device);
    const std::string device =
        folder.empty() ? std::string("the disk") : "/dev/" + fs::path(folder).filename().string();
    std::uint64_t size = 0;
    const int fd = entry->fd;
    const SectorReader read = [fd](std::uint64_t lba, std::uint8_t* sector) {
        return ::pread(fd, sector, 512, static_cast<off_t>(lba * 512)) == 512;
    };
    const auto wanted = DeviceSize(*entry, size) ? KernelView(read, size / 512) : std::nullopt;
    std::vector<KernelPartition> current;
    if (::ioctl(fd, BLKRRPART) == 0) {
        current = CurrentPartitions(folder);
        // It read the table; a kernel without an MBR reader has only
        // dropped the partitions it had.
        if (!current.empty() || !wanted) return true;
    } else if (errno == EINVAL) {
        return true;  // a partition itself, or a device that keeps no partitions
    } else if (errno != EBUSY || !wanted || folder.empty()) {
        Warn(device, "", errno);
        return false;
    } else {
        current = CurrentPartitions(folder);
    }
    // A change refused (a partition in use keeps its place) leaves the
    // others to be made; the first refusal is the one reported.
    bool told = true;
    for (const KernelChange& change : PlanKernelChanges(current, *wanted)) {
        if (Apply(fd, change) || !told) continue;
        Warn(device, " (partition " + std::to_string(change.partition.number) + ")", errno);
        told = false;
    }
    return told;
}

}  // namespace partam::posix
