// Disk control on Linux: block devices answer from the kernel (size,
// geometry, removable flag), image files as a fixed disk of their size; the
// layout of either is computed from its own sectors, as Windows does.

#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "platform/image_drive.h"
#include "platform/posix/block_devices.h"
#include "platform/posix/posix_platform.h"

namespace partam::posix {

bool PosixPlatform::GetDriveGeometry(FileId drive, DiskGeometry& out) {
    const OpenEntry* entry = FindDrive(drive);
    std::uint64_t size = 0;
    if (!entry || !DeviceSize(*entry, size)) return false;
    if (!entry->block) {
        out = ImageGeometry(size);
        return true;
    }
    std::uint32_t heads = 255, sectors = 63;
    hd_geometry geometry{};
    if (::ioctl(entry->fd, HDIO_GETGEO, &geometry) == 0 && geometry.heads != 0 && geometry.sectors != 0) {
        heads = geometry.heads;
        sectors = geometry.sectors;
    }
    int logicalSector = 0;
    DiskGeometry g;
    g.mediaType = IsRemovable(SysFolderOf(roots_, entry->device)) ? 11 : 12;
    g.tracksPerCylinder = heads;
    g.sectorsPerTrack = sectors;
    g.bytesPerSector = ::ioctl(entry->fd, BLKSSZGET, &logicalSector) == 0 && logicalSector > 0
                           ? static_cast<std::uint32_t>(logicalSector)
                           : 512;
    g.cylinders = static_cast<std::int64_t>(size / 512 / (std::uint64_t{heads} * sectors));
    out = g;
    return true;
}

bool PosixPlatform::GetDriveGeometryEx(FileId drive, std::uint64_t& diskSize) {
    const OpenEntry* entry = FindDrive(drive);
    return entry && DeviceSize(*entry, diskSize);
}

bool PosixPlatform::GetPartitionInfo(FileId drive, PartitionInformation& out) {
    const OpenEntry* entry = FindDrive(drive);
    std::uint64_t size = 0;
    if (!entry) return false;
    // An image is fixed media, which has no partition of its own to report.
    if (!entry->block) {
        errno = ENOTTY;
        return false;
    }
    if (!DeviceSize(*entry, size)) return false;
    out.startingOffset = 0;
    out.partitionLength = static_cast<std::int64_t>(size);
    return true;
}

namespace {

ComputedLayout LayoutOf(int fd, std::uint64_t size) {
    const SectorReader read = [fd](std::uint64_t lba, std::uint8_t* sector) {
        return ::pread(fd, sector, 512, static_cast<off_t>(lba * 512)) == 512;
    };
    return ComputeDriveLayout(read, size / 512);
}

}  // namespace

bool PosixPlatform::GetDriveLayoutEx(FileId drive, std::uint32_t bufferBytes, DriveLayoutAnswer& out) {
    const OpenEntry* entry = FindDrive(drive);
    std::uint64_t size = 0;
    if (!entry || !DeviceSize(*entry, size)) return false;
    if (AnswerLayoutEx(LayoutOf(entry->fd, size), bufferBytes, out)) return true;
    errno = ENOBUFS;
    return false;
}

bool PosixPlatform::GetDriveLayout(FileId drive, std::uint32_t bufferBytes, DriveLayoutAnswer& out) {
    const OpenEntry* entry = FindDrive(drive);
    std::uint64_t size = 0;
    if (!entry || !DeviceSize(*entry, size)) return false;
    if (AnswerLayout(LayoutOf(entry->fd, size), bufferBytes, out)) return true;
    errno = ENOBUFS;
    return false;
}

std::optional<DriveIdentity> PosixPlatform::IdentifyDrive(int driveNumber) {
    const std::optional<std::string> path = DrivePath(driveNumber);
    struct stat st;
    if (!path || ::stat(path->c_str(), &st) != 0) return std::nullopt;
    if (S_ISREG(st.st_mode)) return ImageIdentity(*path, "/");
    if (!S_ISBLK(st.st_mode)) return std::nullopt;
    const std::string folder = SysFolderOf(roots_, DevNumber{major(st.st_rdev), minor(st.st_rdev)});
    if (folder.empty()) return std::nullopt;
    return BlockDeviceIdentity(folder);
}

}  // namespace partam::posix
