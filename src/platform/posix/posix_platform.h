// The platform on Linux. Drives are the whole-disk block devices of /sys, or
// the entries of PARTAM_DISKS; there is no registry; disk control answers
// come from the block device or, for an image, from the file itself.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/drive_list.h"
#include "platform/platform.h"
#include "platform/posix/mount_guard.h"
#include "platform/posix/system_files.h"

namespace partam::posix {

class PosixPlatform : public Platform {
public:
    explicit PosixPlatform(SystemRoots roots = SystemRoots());
    ~PosixPlatform() override;
    PosixPlatform(const PosixPlatform&) = delete;
    PosixPlatform& operator=(const PosixPlatform&) = delete;

    FileId OpenFile(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t attributes) override;
    bool ReadFile(FileId file, void* buffer, std::uint32_t count, std::uint32_t& done) override;
    bool WriteFile(FileId file, const void* buffer, std::uint32_t count, std::uint32_t& done) override;
    bool SeekFile(FileId file, std::int64_t offset, SeekOrigin origin) override;
    bool ReadFileAt(FileId file, std::uint64_t offset, void* buffer, std::uint32_t count,
                    std::uint32_t& done) override;
    bool WriteFileAt(FileId file, std::uint64_t offset, const void* buffer, std::uint32_t count,
                     std::uint32_t& done) override;
    bool FileSize(FileId file, std::uint64_t& size) override;
    bool FlushFile(FileId file) override;
    void CloseFile(FileId file) override;
    bool NextData(FileId file, std::uint64_t from, std::uint64_t& next) override;
    bool AllowHoles(FileId file) override;
    bool SetFileSize(FileId file, std::uint64_t size) override;
    bool PathExists(const std::string& path) override;
    DriveOpening OpenDrive(const std::string& path, DriveAccess access) override;
    bool RenameFile(const std::string& from, const std::string& to, bool durable) override;
    bool RemoveFile(const std::string& path) override;
    bool SameFile(const std::string& a, const std::string& b) override;

    bool GetDriveGeometry(FileId drive, DiskGeometry& out) override;
    bool GetDriveGeometryEx(FileId drive, std::uint64_t& diskSize) override;
    bool GetPartitionInfo(FileId drive, PartitionInformation& out) override;
    bool GetDriveLayoutEx(FileId drive, std::uint32_t bufferBytes, DriveLayoutAnswer& out) override;
    bool GetDriveLayout(FileId drive, std::uint32_t bufferBytes, DriveLayoutAnswer& out) override;
    std::optional<DriveIdentity> IdentifyDrive(int driveNumber) override;
    bool AnnounceTableChange(FileId drive) override;
    bool UpdateDiskProperties(FileId drive) override { return Find(drive) != nullptr; }

    std::vector<std::string> LogicalDriveRoots() override { return {}; }
    std::optional<std::string> VolumeNameForMountPoint(const std::string&) override { return std::nullopt; }
    bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName, std::uint32_t maxBytes,
                           std::vector<std::uint8_t>& data) override;

    OsVersion GetOsVersion() override;
    Elevation GetElevation() override;
    bool ShutdownSystem(std::uint32_t flags) override;
    std::string ProgramFolder() override;
    std::optional<std::string> TempFolder() override;
    std::optional<std::string> GetEnv(const std::string& name) override;
    std::optional<std::string> ReadTextFile(const std::string& path) override;

    void Write(std::string_view text) override;
    void WriteErrorLine(std::string_view line) override;
    int ReadKey(bool echo) override;
    bool ReadLine(std::string& line) override;
    std::uint32_t OutputCodePage() override;
    bool SaveCursorPosition() override;
    bool RestoreCursorPosition() override;
    SystemTime UtcTime() override;
    std::optional<std::string> ComputerName(std::size_t maxLength) override;

    std::optional<std::string> FormatLocaleNumber(const std::string& numberText, unsigned decimals) override;
    std::string LastErrorText() override;

    std::optional<std::string> VolumeLabel(const std::string& rootPath) override;
    std::uint32_t LastErrorCode() override;
    std::string SystemErrorText(std::uint32_t code) override;
    void ShowMessageBox(const std::string& text) override;
    std::uint32_t RandomNumber() override;
    FormatStart RunFormatEngine(const FormatJob& job, FormatEngineCallback callback) override;

    // What drive number n opens: a PARTAM_DISKS entry or /dev/<drive name>.
    // A PARTAM_DISKS list with a bad entry opens nothing; the first call
    // that finds it so reports it on standard error.
    std::optional<std::string> DrivePath(int driveNumber);

private:
    struct OpenEntry {
        int fd = -1;
        bool drive = false;  // opened by its drive path
        bool block = false;  // a block device: guarded, answers disk control
        DevNumber device;    // of a block device
        // A file opened for writing is guarded as the loop devices attached
        // to it when it was opened are.
        std::vector<LoopBacking> loops;
        int writeRefusal = 0;  // why a drive opened for reading only cannot be written
    };
    OpenEntry* Find(FileId file);
    // Whether count bytes may be written at offset: never into data a
    // mounted filesystem uses, never past the end of an image that stands in
    // for a drive. errno tells why not.
    bool MayWrite(const OpenEntry& entry, std::uint64_t offset, std::uint32_t count);
    // Disk control applies to drives and block devices, not to plain files.
    OpenEntry* FindDrive(FileId file);
    bool DeviceSize(const OpenEntry& entry, std::uint64_t& size);

    SystemRoots roots_;
    DiskListState diskList_;
    std::map<FileId, OpenEntry> open_;
};

}  // namespace partam::posix
