// Files, devices and disk control through the Win32 calls. A disk image
// standing in for a drive answers the disk control queries from its own size
// and sectors, since the control codes do not apply to a plain file.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <tuple>

#include "platform/drive_list.h"
#include "platform/image_drive.h"
#include "platform/win32/win32_platform.h"

namespace partam::win32 {

namespace {

HANDLE AsHandle(FileId file) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(file)); }

bool IsDeviceNamespace(const std::string& path) { return path.rfind("\\\\.\\", 0) == 0; }

// The errors of an open refused for writing alone: a read-only file, a
// write-protected medium.
bool RefusesWriting(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT; }

void ReportToStandardError(const std::string& line) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", line.c_str());
}

// A buffer for control code answers, aligned for the structures in it.
class AnswerBuffer {
public:
    explicit AnswerBuffer(std::uint32_t bytes) : words_((bytes + 7) / 8 + 1), bytes_(bytes) {}
    void* data() { return words_.data(); }
    DWORD size() const { return bytes_; }
    template <typename T>
    const T* As() const {
        return reinterpret_cast<const T*>(words_.data());
    }

private:
    std::vector<std::uint64_t> words_;
    DWORD bytes_;
};

bool Control(FileId file, DWORD code, AnswerBuffer& buffer, DWORD& returned) {
    returned = 0;
    return DeviceIoControl(AsHandle(file), code, nullptr, 0, buffer.data(), buffer.size(), &returned,
                           nullptr) != 0;
}

}  // namespace

Win32Platform::~Win32Platform() {
    while (!open_.empty()) CloseFile(open_.begin()->first);
    std::fflush(stdout);
}

// Why a disk list entry cannot be opened for reading. A folder does not
// open as a file; the system calls that "access denied", which misleads.
std::optional<std::string> Win32Platform::ProbeEntry(const std::string& path) {
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return std::nullopt;
    }
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "Is a directory";
    SetLastError(error);
    return LastErrorText();
}

bool Win32Platform::DiskListInForce() {
    const EntryProbe probe = [this](const std::string& path) { return ProbeEntry(path); };
    return diskList_.Use(GetEnv(kDiskListVariable), kDiskListSeparator, probe, ReportToStandardError);
}

std::optional<std::string> Win32Platform::ImagePath(int driveNumber) {
    if (!DiskListInForce()) return std::nullopt;
    std::optional<std::string> entry = diskList_.Entry(driveNumber);
    if (!entry || IsDeviceNamespace(*entry)) return std::nullopt;
    return entry;
}

FileId Win32Platform::OpenFile(const std::string& path, std::uint32_t access, std::uint32_t share,
                               std::uint32_t disposition, std::uint32_t attributes) {
    std::string target = path;
    OpenEntry entry;
    const std::optional<int> number = PhysicalDriveNumber(path);
    const bool listed = number && DiskListInForce();
    if (listed) {
        const std::optional<std::string> mapped = diskList_.Entry(*number);
        if (!mapped) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return kNoFile;
        }
        target = *mapped;
        entry.image = !IsDeviceNamespace(target);
        // A drive is opened as it is: an image standing in for one is
        // never created or truncated.
        disposition = OPEN_EXISTING;
    }
    HANDLE handle = CreateFileA(target.c_str(), access, share, nullptr, disposition, attributes, nullptr);
    // An image or device standing in for a drive that can only be read
    // still opens, so that it can be listed and saved; its writes fail.
    const DWORD readWrite = GENERIC_READ | GENERIC_WRITE;
    if (handle == INVALID_HANDLE_VALUE && listed && (access & readWrite) == readWrite &&
        RefusesWriting(GetLastError())) {
        entry.writeRefusal = GetLastError();
        handle = CreateFileA(target.c_str(), access & ~GENERIC_WRITE, share, nullptr, disposition, attributes,
                             nullptr);
    }
    if (handle == INVALID_HANDLE_VALUE) return kNoFile;
    entry.device = IsDeviceNamespace(target);
    const FileId id = static_cast<FileId>(reinterpret_cast<std::intptr_t>(handle));
    open_[id] = entry;
    return id;
}

Win32Platform::OpenEntry* Win32Platform::Find(FileId file) {
    auto it = open_.find(file);
    if (it != open_.end()) return &it->second;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

bool Win32Platform::ReadFile(FileId file, void* buffer, std::uint32_t count, std::uint32_t& done) {
    done = 0;
    if (!Find(file)) return false;
    DWORD n = 0;
    const bool ok = ::ReadFile(AsHandle(file), buffer, count, &n, nullptr) != 0;
    done = n;
    return ok;
}

bool Win32Platform::WriteFile(FileId file, const void* buffer, std::uint32_t count, std::uint32_t& done) {
    done = 0;
    const OpenEntry* entry = Find(file);
    if (!entry) return false;
    if (entry->writeRefusal != 0) {
        SetLastError(entry->writeRefusal);
        return false;
    }
    if (entry->image) {
        // An image standing in for a drive does not grow.
        LARGE_INTEGER zero{}, position{}, size{};
        if (!SetFilePointerEx(AsHandle(file), zero, &position, FILE_CURRENT) ||
            !GetFileSizeEx(AsHandle(file), &size))
            return false;
        if (static_cast<std::uint64_t>(position.QuadPart) + count >
            static_cast<std::uint64_t>(size.QuadPart)) {
            SetLastError(ERROR_SECTOR_NOT_FOUND);
            return false;
        }
    }
    DWORD n = 0;
    const bool ok = ::WriteFile(AsHandle(file), buffer, count, &n, nullptr) != 0;
    done = n;
    return ok;
}

bool Win32Platform::SeekFile(FileId file, std::int64_t offset, SeekOrigin origin) {
    if (!Find(file)) return false;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return SetFilePointerEx(AsHandle(file), distance, nullptr, static_cast<DWORD>(origin)) != 0;
}

bool Win32Platform::FileSize(FileId file, std::uint64_t& size) {
    if (!Find(file)) return false;
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(AsHandle(file), &value)) return false;
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

bool Win32Platform::FlushFile(FileId file) { return Find(file) && FlushFileBuffers(AsHandle(file)) != 0; }

void Win32Platform::CloseFile(FileId file) {
    if (!Find(file)) return;
    CloseHandle(AsHandle(file));
    open_.erase(file);
}

// The allocated ranges a file system keeps for a file (NTFS, ReFS); for a
// file that is not sparse the whole file is one range. Only the first range
// from `from` on is asked for: more of them is no failure.
bool Win32Platform::NextData(FileId file, std::uint64_t from, std::uint64_t& next) {
    const OpenEntry* entry = Find(file);
    LARGE_INTEGER size{};
    if (!entry || entry->device || !GetFileSizeEx(AsHandle(file), &size)) return false;
    const auto total = static_cast<std::uint64_t>(size.QuadPart);
    if (from >= total) {
        next = from;
        return true;
    }
    FILE_ALLOCATED_RANGE_BUFFER query{}, found{};
    query.FileOffset.QuadPart = static_cast<LONGLONG>(from);
    query.Length.QuadPart = static_cast<LONGLONG>(total - from);
    DWORD returned = 0;
    const bool ok = DeviceIoControl(AsHandle(file), FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof query,
                                    &found, sizeof found, &returned, nullptr) != 0;
    if (!ok && GetLastError() != ERROR_MORE_DATA) return false;
    next = returned < sizeof found
               ? total
               : std::max<std::uint64_t>(from, static_cast<std::uint64_t>(found.FileOffset.QuadPart));
    return true;
}

// A file on a file system without sparse files (FAT) still reads zeros
// where its writer seeked past; it only takes the room.
bool Win32Platform::AllowHoles(FileId file) {
    const OpenEntry* entry = Find(file);
    if (!entry || entry->image || entry->device || GetFileType(AsHandle(file)) != FILE_TYPE_DISK)
        return false;
    DWORD returned = 0;
    DeviceIoControl(AsHandle(file), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    return true;
}

bool Win32Platform::SetFileSize(FileId file, std::uint64_t size) {
    const OpenEntry* entry = Find(file);
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(size);
    return entry && !entry->image && !entry->device &&
           SetFilePointerEx(AsHandle(file), to, nullptr, FILE_BEGIN) && SetEndOfFile(AsHandle(file));
}

bool Win32Platform::PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A writer shares the drive with readers alone: while it holds it, a second
// writer's open fails with a sharing violation, and waits here.
DriveOpening Win32Platform::OpenDrive(const std::string& path, DriveAccess access) {
    DriveOpening opening;
    if (access == DriveAccess::Read) {
        opening.file = OpenFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL);
        return opening;
    }
    const ULONGLONG deadline = GetTickCount64() + kWriterWaitMilliseconds;
    for (;;) {
        opening.file = OpenFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL);
        if (opening.file != kNoFile || GetLastError() != ERROR_SHARING_VIOLATION) return opening;
        if (GetTickCount64() >= deadline) break;
        Sleep(50);
    }
    opening.inUse = true;
    SetLastError(ERROR_SHARING_VIOLATION);
    return opening;
}

bool Win32Platform::RenameFile(const std::string& from, const std::string& to, bool durable) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    return MoveFileExA(from.c_str(), to.c_str(), flags) != 0;
}

bool Win32Platform::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

namespace {

// The volume and the file's index on it, which together name one file.
std::optional<std::tuple<DWORD, DWORD, DWORD>> FileIdentity(const std::string& path) {
    const HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!ok) return std::nullopt;
    return std::tuple(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
}

}  // namespace

bool Win32Platform::SameFile(const std::string& a, const std::string& b) {
    const auto first = FileIdentity(a);
    return first && first == FileIdentity(b);
}

bool Win32Platform::GetDriveGeometry(FileId drive, DiskGeometry& out) {
    const OpenEntry* entry = Find(drive);
    if (!entry) return false;
    if (entry->image) {
        std::uint64_t size = 0;
        if (!FileSize(drive, size)) return false;
        out = ImageGeometry(size);
        return true;
    }
    AnswerBuffer buffer(sizeof(DISK_GEOMETRY));
    DWORD returned = 0;
    if (!Control(drive, IOCTL_DISK_GET_DRIVE_GEOMETRY, buffer, returned)) return false;
    const DISK_GEOMETRY* g = buffer.As<DISK_GEOMETRY>();
    out.cylinders = g->Cylinders.QuadPart;
    out.mediaType = static_cast<std::uint32_t>(g->MediaType);
    out.tracksPerCylinder = g->TracksPerCylinder;
    out.sectorsPerTrack = g->SectorsPerTrack;
    out.bytesPerSector = g->BytesPerSector;
    return true;
}

bool Win32Platform::GetDriveGeometryEx(FileId drive, std::uint64_t& diskSize) {
    const OpenEntry* entry = Find(drive);
    if (!entry) return false;
    if (entry->image) return FileSize(drive, diskSize);
    AnswerBuffer buffer(256);
    DWORD returned = 0;
    if (!Control(drive, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, buffer, returned)) return false;
    diskSize = static_cast<std::uint64_t>(buffer.As<DISK_GEOMETRY_EX>()->DiskSize.QuadPart);
    return true;
}

bool Win32Platform::GetPartitionInfo(FileId drive, PartitionInformation& out) {
    const OpenEntry* entry = Find(drive);
    if (!entry) return false;
    if (entry->image) {  // fixed media: no partition of its own to report
        SetLastError(ERROR_INVALID_FUNCTION);
        return false;
    }
    AnswerBuffer buffer(sizeof(PARTITION_INFORMATION));
    DWORD returned = 0;
    if (!Control(drive, IOCTL_DISK_GET_PARTITION_INFO, buffer, returned)) return false;
    out.startingOffset = buffer.As<PARTITION_INFORMATION>()->StartingOffset.QuadPart;
    out.partitionLength = buffer.As<PARTITION_INFORMATION>()->PartitionLength.QuadPart;
    return true;
}

// Reads one sector of an image and puts the file pointer back where it was.
bool Win32Platform::ReadImageSector(FileId file, std::uint64_t lba, std::uint8_t* sector) {
    LARGE_INTEGER zero{}, saved{}, target{};
    target.QuadPart = static_cast<LONGLONG>(lba * 512);
    if (!SetFilePointerEx(AsHandle(file), zero, &saved, FILE_CURRENT)) return false;
    DWORD n = 0;
    const bool ok = SetFilePointerEx(AsHandle(file), target, nullptr, FILE_BEGIN) &&
                    ::ReadFile(AsHandle(file), sector, 512, &n, nullptr) && n == 512;
    SetFilePointerEx(AsHandle(file), saved, nullptr, FILE_BEGIN);
    return ok;
}

bool Win32Platform::ImageLayout(FileId file, bool extended, std::uint32_t bufferBytes,
                                DriveLayoutAnswer& out) {
    std::uint64_t size = 0;
    if (!FileSize(file, size)) return false;
    const SectorReader read = [this, file](std::uint64_t lba, std::uint8_t* sector) {
        return ReadImageSector(file, lba, sector);
    };
    const ComputedLayout layout = ComputeDriveLayout(read, size / 512);
    if (extended ? AnswerLayoutEx(layout, bufferBytes, out) : AnswerLayout(layout, bufferBytes, out))
        return true;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
}

bool Win32Platform::GetDriveLayoutEx(FileId drive, std::uint32_t bufferBytes, DriveLayoutAnswer& out) {
    const OpenEntry* entry = Find(drive);
    if (!entry) return false;
    if (entry->image) return ImageLayout(drive, true, bufferBytes, out);
    AnswerBuffer buffer(bufferBytes);
    DWORD returned = 0;
    if (!Control(drive, IOCTL_DISK_GET_DRIVE_LAYOUT_EX, buffer, returned)) return false;
    const auto* layout = buffer.As<DRIVE_LAYOUT_INFORMATION_EX>();
    const std::size_t header = offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionEntry);
    const std::size_t fits = returned > header ? (returned - header) / sizeof(PARTITION_INFORMATION_EX) : 0;
    const bool mbr = layout->PartitionStyle == PARTITION_STYLE_MBR;
    out = DriveLayoutAnswer{};
    out.signature = mbr ? layout->Mbr.Signature : 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(layout->PartitionCount, fits); ++i) {
        const PARTITION_INFORMATION_EX& p = layout->PartitionEntry[i];
        LayoutEntry e;
        e.styleMbr = p.PartitionStyle == PARTITION_STYLE_MBR;
        e.startingOffset = p.StartingOffset.QuadPart;
        e.partitionLength = p.PartitionLength.QuadPart;
        e.partitionNumber = p.PartitionNumber;
        if (e.styleMbr) {
            e.partitionType = p.Mbr.PartitionType;
            e.bootIndicator = p.Mbr.BootIndicator != 0;
            e.hiddenSectors = p.Mbr.HiddenSectors;
        }
        out.entries.push_back(e);
    }
    return true;
}

bool Win32Platform::GetDriveLayout(FileId drive, std::uint32_t bufferBytes, DriveLayoutAnswer& out) {
    const OpenEntry* entry = Find(drive);
    if (!entry) return false;
    if (entry->image) return ImageLayout(drive, false, bufferBytes, out);
    AnswerBuffer buffer(bufferBytes);
    DWORD returned = 0;
    if (!Control(drive, IOCTL_DISK_GET_DRIVE_LAYOUT, buffer, returned)) return false;
    const auto* layout = buffer.As<DRIVE_LAYOUT_INFORMATION>();
    const std::size_t header = offsetof(DRIVE_LAYOUT_INFORMATION, PartitionEntry);
    const std::size_t fits = returned > header ? (returned - header) / sizeof(PARTITION_INFORMATION) : 0;
    out = DriveLayoutAnswer{};
    out.signature = layout->Signature;
    for (std::size_t i = 0; i < std::min<std::size_t>(layout->PartitionCount, fits); ++i) {
        const PARTITION_INFORMATION& p = layout->PartitionEntry[i];
        LayoutEntry e;
        e.partitionType = p.PartitionType;
        e.startingOffset = p.StartingOffset.QuadPart;
        e.partitionLength = p.PartitionLength.QuadPart;
        e.partitionNumber = p.PartitionNumber;
        e.hiddenSectors = p.HiddenSectors;
        e.bootIndicator = p.BootIndicator != 0;
        out.entries.push_back(e);
    }
    return true;
}

std::optional<DriveIdentity> Win32Platform::IdentifyDrive(int driveNumber) {
    const std::optional<std::string> path = ImagePath(driveNumber);
    if (!path) return std::nullopt;
    const DWORD attributes = GetFileAttributesA(path->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
    return ImageIdentity(*path, "\\/");
}

// Nothing to tell here: a command that needs Windows to read a drive's
// layout again asks for it itself.
bool Win32Platform::AnnounceTableChange(FileId) { return true; }

// An image file has no properties for Windows to read again.
bool Win32Platform::UpdateDiskProperties(FileId drive) {
    const OpenEntry* entry = Find(drive);
    if (!entry) return false;
    if (entry->image) return true;
    DWORD returned = 0;
    return DeviceIoControl(AsHandle(drive), IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0, &returned,
                           nullptr) != 0;
}

}  // namespace partam::win32
