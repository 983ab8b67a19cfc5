// The one wrapper through which the program reads and writes files and
// devices: a drive, a backup file, a file of a virtual disk.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace partam {

class SectorFile {
public:
    explicit SectorFile(Platform& platform) : platform_(platform) {}
    ~SectorFile() { Close(); }
    SectorFile(const SectorFile&) = delete;
    SectorFile& operator=(const SectorFile&) = delete;

    // The general open. An open handle stays as it is unless reopen is set.
    bool Open(const std::string& path, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
              std::uint32_t attributes, bool reopen);
    // A drive, for reading or as its one writer (see Platform::OpenDrive).
    enum class DriveOpen { Opened, Missing, InUse };
    DriveOpen OpenDrive(const std::string& path, DriveAccess access);
    bool OpenRead(const std::string& path);    // backup files to read
    bool OpenCreate(const std::string& path);  // new backup files
    bool OpenShared(const std::string& path);  // virtual disk files

    // A read that moves no byte (end of file) fails.
    bool ReadBytes(void* buffer, std::uint32_t count, std::uint32_t* outCount = nullptr);
    bool WriteBytes(const void* buffer, std::uint32_t count, std::uint32_t* outCount = nullptr);
    bool WriteText(const std::string& text, bool appendCrLf, std::uint32_t* outCount = nullptr);
    // count sectors at byte offset lba * 512. A transfer larger than a 32-bit
    // byte count can hold is refused rather than cut.
    bool ReadSectors(void* buffer, std::uint64_t lba, std::uint32_t count);
    bool WriteSectors(const void* buffer, std::uint64_t lba, std::uint32_t count);
    bool Seek(std::int64_t byteOffset, SeekOrigin origin);
    // What was written through the handle is on the medium.
    bool Flush();
    // 0 when the size cannot be asked.
    std::uint64_t Size();
    // Holes, as Platform::NextData, AllowHoles and SetFileSize tell them.
    bool NextData(std::uint64_t from, std::uint64_t& next);
    bool AllowHoles();
    bool SetSize(std::uint64_t size);
    void Close();

    bool IsOpen() const { return handle_ != kNoFile; }
    bool CanRead() const { return canRead_; }
    bool CanWrite() const { return canWrite_; }
    FileId Handle() const { return handle_; }
    std::uint32_t LastCount() const { return lastCount_; }
    Platform& GetPlatform() const { return platform_; }

private:
    Platform& platform_;
    FileId handle_ = kNoFile;
    bool canWrite_ = false;
    bool canRead_ = false;
    std::uint32_t lastCount_ = 0;
};

// The largest sector count one transfer moves.
inline constexpr std::uint32_t kMaxTransferSectors = 0xFFFFFFFFu / 512;

bool FileExists(Platform& platform, const std::string& path);
// 0 when the file cannot be opened.
std::uint64_t FileSize(Platform& platform, const std::string& path);

}  // namespace partam
