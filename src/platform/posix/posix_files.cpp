// Files and devices: plain POSIX descriptors with 64-bit offsets (also in
// the 32-bit build), drive paths resolved to their device or image, and the
// mount guard in front of every write to a block device.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/drive_list.h"
#include "platform/posix/block_devices.h"
#include "platform/posix/mount_guard.h"
#include "platform/posix/posix_platform.h"

// The build sets _FILE_OFFSET_BITS=64 for every Linux target; without it a
// 32-bit build would cut every offset past 2 GiB.
static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit in every build");

namespace partam::posix {

namespace {

// One system call moves at most this much, which every ssize_t holds.
constexpr std::uint32_t kMaxChunk = 1u << 30;

// Open flags for an access and creation disposition as Windows states them.
std::optional<int> OpenFlags(std::uint32_t access, std::uint32_t disposition, bool drive) {
    const bool read = (access & kGenericRead) != 0;
    const bool write = (access & kGenericWrite) != 0;
    int flags = O_CLOEXEC | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
    // A drive is only ever opened as it is: never created, never truncated,
    // whatever the caller asked (an image standing in for it keeps its data).
    if (drive) return flags;
    switch (disposition) {
        case kCreateNew:
            return flags | O_CREAT | O_EXCL | O_NOFOLLOW;
        case kCreateAlways:
            return flags | O_CREAT | O_TRUNC;
        case kOpenExisting:
            return flags;
        case kOpenAlways:
            return flags | O_CREAT;
        case 5:
            return flags | O_TRUNC;  // truncate existing
        default:
            return std::nullopt;
    }
}

bool IsDeviceNamespace(const std::string& path) { return path.rfind("\\\\.\\", 0) == 0; }

// The errors of an open refused for writing alone: a file without write
// permission, a read-only file system or device, an immutable file.
bool RefusesWriting(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// Why a disk list entry cannot be opened for reading. A FIFO must not hold
// the program up, so the open does not wait.
std::optional<std::string> ProbeEntry(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::string(std::strerror(errno));
    struct stat st;
    const int error = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    ::close(fd);
    if (error != 0) return std::string(std::strerror(error));
    return std::nullopt;
}

void ReportToStandardError(const std::string& line) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", line.c_str());
}

// Takes the exclusive lock on an open drive, waiting for a writer that
// holds it; false only while another writer still holds it (EWOULDBLOCK).
// A file system that keeps no such locks holds off no one, and refusing
// every write to it would leave its images unusable: that is no failure.
bool LockAsWriter(int fd) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kWriterWaitMilliseconds);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The folder part of a path, for the sync that makes a new name durable.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

PosixPlatform::PosixPlatform(SystemRoots roots) : roots_(std::move(roots)) {}

PosixPlatform::~PosixPlatform() {
    while (!open_.empty()) CloseFile(open_.begin()->first);
    std::fflush(stdout);
}

std::optional<std::string> PosixPlatform::DrivePath(int driveNumber) {
    const char* list = std::getenv(kDiskListVariable);
    if (diskList_.Use(list ? std::optional<std::string>(list) : std::nullopt, kDiskListSeparator, ProbeEntry,
                      ReportToStandardError))
        return diskList_.Entry(driveNumber);
    const std::vector<std::string> names = ListDriveNames(roots_);
    if (driveNumber < 0 || static_cast<std::size_t>(driveNumber) >= names.size()) return std::nullopt;
    return roots_.dev + "/" + names[static_cast<std::size_t>(driveNumber)];
}

FileId PosixPlatform::OpenFile(const std::string& path, std::uint32_t access, std::uint32_t,
                               std::uint32_t disposition, std::uint32_t) {
    const std::optional<int> number = PhysicalDriveNumber(path);
    std::optional<std::string> target = number ? DrivePath(*number) : std::optional<std::string>(path);
    const std::optional<int> flags = OpenFlags(access, disposition, number.has_value());
    if (!target || (!number && IsDeviceNamespace(path)) || !flags) {
        errno = !flags ? EINVAL : ENOENT;
        return kNoFile;
    }
    int fd = ::open(target->c_str(), *flags, 0666);
    int writeRefusal = 0;
    // An image or device standing in for a drive that can only be read (no
    // write permission, a read-only file system or device) still opens, so
    // that it can be listed and saved; its writes fail here.
    if (fd < 0 && number && diskList_.InForce() && (*flags & O_ACCMODE) == O_RDWR && RefusesWriting(errno)) {
        writeRefusal = errno;
        fd = ::open(target->c_str(), (*flags & ~O_ACCMODE) | O_RDONLY);
    }
    if (fd < 0) return kNoFile;
    struct stat st;
    const int error = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    if (error != 0) {
        ::close(fd);
        errno = error;
        return kNoFile;
    }
    OpenEntry entry;
    entry.fd = fd;
    entry.drive = number.has_value();
    entry.writeRefusal = writeRefusal;
    entry.block = S_ISBLK(st.st_mode);
    entry.device = DevNumber{major(st.st_rdev), minor(st.st_rdev)};
    // Which loop devices read from a file is asked once, when it is opened
    // to be written; whether what they hold is in use, at each write.
    if (S_ISREG(st.st_mode) && (*flags & O_ACCMODE) != O_RDONLY)
        entry.loops = LoopDevicesOf(roots_, DevNumber{major(st.st_dev), minor(st.st_dev)}, st.st_ino);
    open_[fd] = entry;
    return fd;
}

DriveOpening PosixPlatform::OpenDrive(const std::string& path, DriveAccess access) {
    const bool write = access == DriveAccess::Write;
    DriveOpening opening;
    opening.file = OpenFile(path, write ? kGenericRead | kGenericWrite : kGenericRead,
                            kShareRead | kShareWrite, kOpenExisting, kAttributeNormal);
    if (opening.file == kNoFile || !write || LockAsWriter(static_cast<int>(opening.file))) return opening;
    CloseFile(opening.file);
    opening = DriveOpening{kNoFile, true};
    errno = EWOULDBLOCK;
    return opening;
}

// The folder is synced where it can be (some file systems cannot sync a
// folder, and a folder that cannot be read cannot be opened to): the
// rename itself has happened either way.
bool PosixPlatform::RenameFile(const std::string& from, const std::string& to, bool durable) {
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    if (!durable) return true;
    const int folder = ::open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool PosixPlatform::RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool PosixPlatform::SameFile(const std::string& a, const std::string& b) {
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

PosixPlatform::OpenEntry* PosixPlatform::Find(FileId file) {
    auto it = open_.find(file);
    if (it != open_.end()) return &it->second;
    errno = EBADF;
    return nullptr;
}

PosixPlatform::OpenEntry* PosixPlatform::FindDrive(FileId file) {
    OpenEntry* entry = Find(file);
    if (entry && !entry->drive && !entry->block) {
        errno = ENOTTY;
        return nullptr;
    }
    return entry;
}

bool PosixPlatform::ReadFile(FileId file, void* buffer, std::uint32_t count, std::uint32_t& done) {
    done = 0;
    const OpenEntry* entry = Find(file);
    if (!entry) return false;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(entry->fd, bytes + done, std::min(count - done, kMaxChunk));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;  // end of file
        done += static_cast<std::uint32_t>(n);
    }
    return true;
}

bool PosixPlatform::MayWrite(const OpenEntry& entry, std::uint64_t offset, std::uint32_t count) {
    if (entry.writeRefusal != 0) {
        errno = entry.writeRefusal;
        return false;
    }
    if ((entry.block && !WriteAllowed(InspectDevice(roots_, entry.device), offset, count)) ||
        !FileWriteAllowed(roots_, entry.loops, offset, count)) {
        errno = EBUSY;
        return false;
    }
    std::uint64_t size = 0;
    if (entry.drive && !entry.block && (!DeviceSize(entry, size) || offset + count > size)) {
        errno = ENOSPC;  // an image standing in for a drive does not grow
        return false;
    }
    return true;
}

bool PosixPlatform::WriteFile(FileId file, const void* buffer, std::uint32_t count, std::uint32_t& done) {
    done = 0;
    const OpenEntry* entry = Find(file);
    if (!entry) return false;
    const off_t position = ::lseek(entry->fd, 0, SEEK_CUR);
    if (position < 0 || !MayWrite(*entry, static_cast<std::uint64_t>(position), count)) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(entry->fd, bytes + done, std::min(count - done, kMaxChunk));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<std::uint32_t>(n);
    }
    return true;
}

bool PosixPlatform::ReadFileAt(FileId file, std::uint64_t offset, void* buffer, std::uint32_t count,
                               std::uint32_t& done) {
    done = 0;
    const OpenEntry* entry = Find(file);
    if (!entry) return false;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::pread(entry->fd, bytes + done, std::min(count - done, kMaxChunk),
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;  // end of file
        done += static_cast<std::uint32_t>(n);
    }
    return true;
}

bool PosixPlatform::WriteFileAt(FileId file, std::uint64_t offset, const void* buffer, std::uint32_t count,
                                std::uint32_t& done) {
    done = 0;
    const OpenEntry* entry = Find(file);
    if (!entry || !MayWrite(*entry, offset, count)) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::pwrite(entry->fd, bytes + done, std::min(count - done, kMaxChunk),
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<std::uint32_t>(n);
    }
    return true;
}

bool PosixPlatform::SeekFile(FileId file, std::int64_t offset, SeekOrigin origin) {
    const OpenEntry* entry = Find(file);
    if (!entry) return false;
    const int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                       : origin == SeekOrigin::Current ? SEEK_CUR
                                                       : SEEK_END;
    return ::lseek(entry->fd, static_cast<off_t>(offset), whence) >= 0;
}

bool PosixPlatform::DeviceSize(const OpenEntry& entry, std::uint64_t& size) {
    if (entry.block) {
        std::uint64_t bytes = 0;
        if (::ioctl(entry.fd, BLKGETSIZE64, &bytes) != 0) return false;
        size = bytes;
        return true;
    }
    struct stat st;
    if (::fstat(entry.fd, &st) != 0) return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool PosixPlatform::FileSize(FileId file, std::uint64_t& size) {
    const OpenEntry* entry = Find(file);
    return entry && DeviceSize(*entry, size);
}

bool PosixPlatform::FlushFile(FileId file) {
    const OpenEntry* entry = Find(file);
    return entry && ::fsync(entry->fd) == 0;
}

// Only a regular file has holes worth asking for: a block device answers
// that all of it is data, which the caller assumes anyway.
bool PosixPlatform::NextData(FileId file, std::uint64_t from, std::uint64_t& next) {
    const OpenEntry* entry = Find(file);
    struct stat st;
    if (!entry || entry->block || ::fstat(entry->fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (from >= static_cast<std::uint64_t>(st.st_size)) {
        next = from;
        return true;
    }
    const off_t at = ::lseek(entry->fd, static_cast<off_t>(from), SEEK_DATA);
    // No data past from: the rest of the file is a hole.
    if (at < 0 && errno == ENXIO) {
        next = static_cast<std::uint64_t>(st.st_size);
        return true;
    }
    if (at < 0) return false;
    next = static_cast<std::uint64_t>(at);
    return true;
}

bool PosixPlatform::AllowHoles(FileId file) {
    const OpenEntry* entry = Find(file);
    struct stat st;
    return entry && !entry->drive && ::fstat(entry->fd, &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixPlatform::SetFileSize(FileId file, std::uint64_t size) {
    const OpenEntry* entry = Find(file);
    return entry && !entry->drive && !entry->block && ::ftruncate(entry->fd, static_cast<off_t>(size)) == 0;
}

void PosixPlatform::CloseFile(FileId file) {
    const OpenEntry* entry = Find(file);
    if (!entry) return;
    // What was written to a device is on it when the program ends.
    if (entry->block) ::fsync(entry->fd);
    ::close(entry->fd);
    open_.erase(file);
}

bool PosixPlatform::PathExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace partam::posix
