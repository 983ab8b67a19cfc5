#include "disk/sector_file.h"

#include <cstdint>

namespace partam {

namespace {
// The last sector whose byte offset a signed 64-bit file position can hold;
// a larger LBA would wrap around to some low sector of the file.
constexpr std::uint64_t kMaxLba = static_cast<std::uint64_t>(INT64_MAX) / 512;
}  // namespace

bool SectorFile::Open(const std::string& path, std::uint32_t access, std::uint32_t share,
                      std::uint32_t disposition, std::uint32_t attributes, bool reopen) {
    if (IsOpen()) {
        if (!reopen) return false;
        Close();
    }
    const FileId handle = platform_.OpenFile(path, access, share, disposition, attributes);
    if (handle == kNoFile) return false;
    handle_ = handle;
    const bool read = (access & kGenericRead) != 0;
    const bool write = (access & kGenericWrite) != 0;
    canRead_ = read;
    canWrite_ = write || !read;
    return true;
}

SectorFile::DriveOpen SectorFile::OpenDrive(const std::string& path, DriveAccess access) {
    if (IsOpen()) return DriveOpen::Missing;
    const DriveOpening opened = platform_.OpenDrive(path, access);
    if (opened.file == kNoFile) return opened.inUse ? DriveOpen::InUse : DriveOpen::Missing;
    handle_ = opened.file;
    canRead_ = true;
    canWrite_ = access == DriveAccess::Write;
    return DriveOpen::Opened;
}

bool SectorFile::OpenRead(const std::string& path) {
    return Open(path, kGenericRead, kShareRead, kOpenExisting, 0, false);
}

bool SectorFile::OpenCreate(const std::string& path) {
    return Open(path, kGenericWrite, kShareWrite, kCreateAlways, 0, false);
}

bool SectorFile::OpenShared(const std::string& path) {
    return Open(path, kGenericRead | kGenericWrite, kShareRead | kShareWrite, kOpenAlways, 0, false);
}

bool SectorFile::ReadBytes(void* buffer, std::uint32_t count, std::uint32_t* outCount) {
    if (!IsOpen() || !canRead_) return false;
    lastCount_ = 0;
    const bool ok = platform_.ReadFile(handle_, buffer, count, lastCount_);
    if (!ok || lastCount_ == 0) return false;
    if (outCount) *outCount = lastCount_;
    return true;
}

bool SectorFile::WriteBytes(const void* buffer, std::uint32_t count, std::uint32_t* outCount) {
    if (!IsOpen() || !canWrite_) return false;
    std::uint32_t done = 0;
    const bool ok = platform_.WriteFile(handle_, buffer, count, done);
    (outCount ? *outCount : lastCount_) = done;
    return ok;
}

bool SectorFile::WriteText(const std::string& text, bool appendCrLf, std::uint32_t* outCount) {
    if (!WriteBytes(text.data(), static_cast<std::uint32_t>(text.size()), outCount)) return false;
    if (appendCrLf) {
        std::uint32_t ignored = 0;
        WriteBytes("\r\n", 2, &ignored);
    }
    return true;
}

// A sector transfer is one positioned call. A read that comes back short
// would leave stale bytes in the caller's buffer: only whole transfers count.
bool SectorFile::ReadSectors(void* buffer, std::uint64_t lba, std::uint32_t count) {
    if (!IsOpen() || !canRead_ || count > kMaxTransferSectors || lba > kMaxLba) return false;
    lastCount_ = 0;
    return platform_.ReadFileAt(handle_, lba * 512, buffer, count * 512, lastCount_) &&
           lastCount_ == count * 512;
}

bool SectorFile::WriteSectors(const void* buffer, std::uint64_t lba, std::uint32_t count) {
    if (!IsOpen() || !canWrite_ || count > kMaxTransferSectors || lba > kMaxLba) return false;
    lastCount_ = 0;
    return platform_.WriteFileAt(handle_, lba * 512, buffer, count * 512, lastCount_) &&
           lastCount_ == count * 512;
}

bool SectorFile::Seek(std::int64_t byteOffset, SeekOrigin origin) {
    return IsOpen() && platform_.SeekFile(handle_, byteOffset, origin);
}

bool SectorFile::Flush() { return IsOpen() && platform_.FlushFile(handle_); }

std::uint64_t SectorFile::Size() {
    std::uint64_t size = 0;
    if (!IsOpen() || !platform_.FileSize(handle_, size)) return 0;
    return size;
}

bool SectorFile::NextData(std::uint64_t from, std::uint64_t& next) {
    return IsOpen() && platform_.NextData(handle_, from, next);
}

bool SectorFile::AllowHoles() { return IsOpen() && canWrite_ && platform_.AllowHoles(handle_); }

bool SectorFile::SetSize(std::uint64_t size) {
    return IsOpen() && canWrite_ && platform_.SetFileSize(handle_, size);
}

void SectorFile::Close() {
    if (!IsOpen()) return;
    platform_.CloseFile(handle_);
    handle_ = kNoFile;
}

bool FileExists(Platform& platform, const std::string& path) { return platform.PathExists(path); }

std::uint64_t FileSize(Platform& platform, const std::string& path) {
    SectorFile file(platform);
    if (!file.OpenRead(path)) return 0;
    return file.Size();
}

}  // namespace partam
