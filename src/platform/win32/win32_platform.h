// The platform on Windows: the Win32 calls themselves. With PARTAM_DISKS set,
// its entries stand in for the physical drives, and image files get the disk
// control answers a fixed disk of their size would give.
#pragma once

#include <map>
#include <string>

#include "platform/drive_list.h"
#include "platform/platform.h"

namespace partam::win32 {

class Win32Platform : public Platform {
public:
    // Standard output stays in the C runtime's text mode: redirected output
    // has CR LF line ends, as every Windows console program's has.
    Win32Platform() = default;
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    FileId OpenFile(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t attributes) override;
    bool ReadFile(FileId file, void* buffer, std::uint32_t count, std::uint32_t& done) override;
    bool WriteFile(FileId file, const void* buffer, std::uint32_t count, std::uint32_t& done) override;
    bool SeekFile(FileId file, std::int64_t offset, SeekOrigin origin) override;
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
    bool UpdateDiskProperties(FileId drive) override;

    std::vector<std::string> LogicalDriveRoots() override;
    std::optional<std::string> VolumeNameForMountPoint(const std::string& root) override;
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

private:
    struct OpenEntry {
        bool image = false;              // a disk image opened by a drive path
        bool device = false;             // a name of the device namespace: a drive, a volume
        std::uint32_t writeRefusal = 0;  // why a drive opened for reading only cannot be written
    };
    // PARTAM_DISKS is set: drive numbers name its entries. A list with a bad
    // entry opens no drive; the first call that finds it so reports it on
    // standard error.
    bool DiskListInForce();
    std::optional<std::string> ProbeEntry(const std::string& path);
    // The image file standing in for drive n, when PARTAM_DISKS is set and
    // names one.
    std::optional<std::string> ImagePath(int driveNumber);
    OpenEntry* Find(FileId file);
    bool ReadImageSector(FileId file, std::uint64_t lba, std::uint8_t* sector);
    bool ImageLayout(FileId file, bool extended, std::uint32_t bufferBytes, DriveLayoutAnswer& out);

    std::map<FileId, OpenEntry> open_;
    short savedCursorX_ = 0, savedCursorY_ = 0;
    DiskListState diskList_;
};

}  // namespace partam::win32
