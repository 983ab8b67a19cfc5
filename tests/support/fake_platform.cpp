#include "support/fake_platform.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "base/text.h"
#include "platform/number_format.h"

namespace partam {

std::string DrivePath(int driveNumber) { return Format("\\\\.\\PhysicalDrive%d", driveNumber); }

FakePlatform::FakePlatform() = default;

FakeFile& FakePlatform::AddDrive(int driveNumber, std::uint64_t sectors) {
    FakeFile& f = AddFile(DrivePath(driveNumber));
    f.isDrive = true;
    f.data.assign(sectors * 512, 0);
    DiskGeometry g;
    g.mediaType = 12;
    g.tracksPerCylinder = 255;
    g.sectorsPerTrack = 63;
    g.bytesPerSector = 512;
    g.cylinders = static_cast<std::int64_t>(sectors / (255 * 63));
    f.geometry = g;
    f.geometryEx = sectors * 512;
    f.layoutEx = DriveLayoutAnswer{};
    f.layout = DriveLayoutAnswer{};
    return f;
}

FakeFile& FakePlatform::AddFile(const std::string& path, std::vector<std::uint8_t> data) {
    auto file = std::make_unique<FakeFile>();
    file->path = path;
    file->data = std::move(data);
    FakeFile& ref = *file;
    files_[ToUpperAscii(path)] = std::move(file);
    return ref;
}

FakeFile* FakePlatform::FindFile(const std::string& path) {
    auto it = files_.find(ToUpperAscii(path));
    return it == files_.end() ? nullptr : it->second.get();
}

void FakePlatform::SetRegistryValue(const std::string& key, const std::string& name,
                                    const std::string& text) {
    SetRegistryBytes(key, name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void FakePlatform::SetRegistryBytes(const std::string& key, const std::string& name,
                                    std::vector<std::uint8_t> data) {
    registry_[ToUpperAscii(key) + "|" + ToUpperAscii(name)] = std::move(data);
}

FakePlatform::Handle* FakePlatform::Find(FileId id) {
    auto it = handles_.find(id);
    return it == handles_.end() ? nullptr : &it->second;
}

FakeFile* FakePlatform::DriveOf(FileId id) {
    Handle* h = Find(id);
    return (h && h->file->isDrive) ? h->file : nullptr;
}

FileId FakePlatform::OpenFile(const std::string& path, std::uint32_t access, std::uint32_t,
                              std::uint32_t disposition, std::uint32_t) {
    FakeFile* file = FindFile(path);
    if (file && file->readOnly && (access & kGenericWrite)) return kNoFile;
    if (file && disposition == kCreateNew) return kNoFile;
    if (!file) {
        if (disposition != kCreateAlways && disposition != kOpenAlways && disposition != kCreateNew)
            return kNoFile;
        if (path.rfind("\\\\.\\", 0) == 0) return kNoFile;
        file = &AddFile(path);
    } else if (disposition == kCreateAlways) {
        file->data.clear();
    }
    const FileId id = nextId_++;
    handles_[id] = Handle{file, 0, access};
    return id;
}

namespace {
bool Touches(const std::set<std::uint64_t>& offsets, std::uint64_t from, std::uint64_t count) {
    auto it = offsets.lower_bound(from);
    return it != offsets.end() && *it < from + count;
}
}  // namespace

bool FakePlatform::ReadFile(FileId id, void* buffer, std::uint32_t count, std::uint32_t& done) {
    done = 0;
    Handle* h = Find(id);
    if (!h || !(h->access & kGenericRead)) return false;
    reads.push_back(FakeRead{h->file->path, h->position, count});
    if (++readCalls == failReadCall) return false;
    if (Touches(h->file->failReadAt, h->position, count)) return false;
    const std::uint64_t size = h->file->data.size();
    if (h->position >= size) return true;  // end of file: success, nothing read
    const std::uint64_t n = std::min<std::uint64_t>(count, size - h->position);
    std::memcpy(buffer, h->file->data.data() + h->position, n);
    h->position += n;
    done = static_cast<std::uint32_t>(n);
    return true;
}

bool FakePlatform::WriteFile(FileId id, const void* buffer, std::uint32_t count, std::uint32_t& done) {
    done = 0;
    Handle* h = Find(id);
    if (!h || !(h->access & kGenericWrite)) return false;
    FakeWrite& log = writes.emplace_back(FakeWrite{h->file->path, h->position, count, 0, false});
    if (++writeCalls == failWriteCall) return false;
    if (Touches(h->file->failWriteAt, h->position, count)) return false;
    auto& data = h->file->data;
    // A drive does not grow: writes past its end fail.
    if (h->file->isDrive && h->position + count > data.size()) return false;
    std::uint32_t whole = count;
    const auto tear = h->file->tearWriteAt.lower_bound(h->position);
    if (tear != h->file->tearWriteAt.end() && *tear < h->position + count)
        whole = static_cast<std::uint32_t>(*tear - h->position);
    if (h->position + whole > data.size()) data.resize(h->position + whole);
    std::memcpy(data.data() + h->position, buffer, whole);
    h->position += whole;
    done = log.done = whole;
    log.ok = whole == count;
    return log.ok;
}

bool FakePlatform::SeekFile(FileId id, std::int64_t offset, SeekOrigin origin) {
    Handle* h = Find(id);
    if (!h) return false;
    std::int64_t base = 0;
    if (origin == SeekOrigin::Current) base = static_cast<std::int64_t>(h->position);
    if (origin == SeekOrigin::End) base = static_cast<std::int64_t>(h->file->data.size());
    if (base + offset < 0) return false;
    h->position = static_cast<std::uint64_t>(base + offset);
    return true;
}

bool FakePlatform::FileSize(FileId id, std::uint64_t& size) {
    Handle* h = Find(id);
    if (!h) return false;
    size = h->file->data.size();
    return true;
}

bool FakePlatform::FlushFile(FileId id) {
    Handle* h = Find(id);
    if (!h) return false;
    ++h->file->flushCount;
    flushes.push_back(FakeFlush{h->file->path, writes.size()});
    return true;
}

void FakePlatform::CloseFile(FileId id) { handles_.erase(id); }

bool FakePlatform::NextData(FileId id, std::uint64_t from, std::uint64_t& next) {
    Handle* h = Find(id);
    if (!h || !h->file->holes) return false;
    const auto& data = h->file->data;
    constexpr std::uint64_t kBlock = 4096;
    for (std::uint64_t block = from / kBlock * kBlock; block < data.size(); block += kBlock) {
        const auto begin = data.begin() + static_cast<std::ptrdiff_t>(block);
        const auto end =
            data.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(block + kBlock, data.size()));
        if (std::any_of(begin, end, [](std::uint8_t b) { return b != 0; })) {
            next = std::max(from, block);
            return true;
        }
    }
    next = std::max<std::uint64_t>(from, data.size());
    return true;
}

bool FakePlatform::AllowHoles(FileId id) {
    Handle* h = Find(id);
    return h && !h->file->isDrive && (h->access & kGenericWrite);
}

bool FakePlatform::SetFileSize(FileId id, std::uint64_t size) {
    Handle* h = Find(id);
    if (!h || h->file->isDrive || !(h->access & kGenericWrite)) return false;
    h->file->data.resize(size);
    return true;
}

bool FakePlatform::PathExists(const std::string& path) {
    if (FindFile(path)) return true;
    // Folders: any file below the path.
    std::string prefix = ToUpperAscii(path);
    if (prefix.empty()) return false;
    if (prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
    for (const auto& [name, file] : files_)
        if (name.rfind(prefix, 0) == 0) return true;
    return false;
}

DriveOpening FakePlatform::OpenDrive(const std::string& path, DriveAccess access) {
    const bool write = access == DriveAccess::Write;
    FakeFile* file = FindFile(path);
    if (file && write) ++file->writerOpens;
    const bool held = file && (file->heldByOtherWriter ||
                               std::any_of(handles_.begin(), handles_.end(), [file](const auto& h) {
                                   return h.second.file == file && h.second.writer;
                               }));
    if (write && held) return DriveOpening{kNoFile, true};
    const FileId id =
        OpenFile(path, write ? kGenericRead | kGenericWrite : kGenericRead, kShareRead, kOpenExisting, 0);
    if (id != kNoFile) handles_[id].writer = write;
    return DriveOpening{id, false};
}

bool FakePlatform::RenameFile(const std::string& from, const std::string& to, bool) {
    auto it = files_.find(ToUpperAscii(from));
    if (it == files_.end()) return false;
    std::unique_ptr<FakeFile> moved = std::move(it->second);
    files_.erase(it);
    moved->path = to;
    std::unique_ptr<FakeFile>& target = files_[ToUpperAscii(to)];
    if (target) gone_.push_back(std::move(target));
    target = std::move(moved);
    return true;
}

bool FakePlatform::RemoveFile(const std::string& path) {
    auto it = files_.find(ToUpperAscii(path));
    if (it == files_.end()) return false;
    gone_.push_back(std::move(it->second));
    files_.erase(it);
    return true;
}

bool FakePlatform::GetDriveGeometry(FileId id, DiskGeometry& out) {
    FakeFile* d = DriveOf(id);
    if (!d || !d->geometry) return false;
    out = *d->geometry;
    return true;
}

bool FakePlatform::GetDriveGeometryEx(FileId id, std::uint64_t& diskSize) {
    FakeFile* d = DriveOf(id);
    if (!d || !d->geometryEx) return false;
    diskSize = *d->geometryEx;
    return true;
}

bool FakePlatform::GetPartitionInfo(FileId id, PartitionInformation& out) {
    FakeFile* d = DriveOf(id);
    if (!d || !d->partitionInfo) return false;
    out = *d->partitionInfo;
    return true;
}

bool FakePlatform::GetDriveLayoutEx(FileId id, std::uint32_t bufferBytes, DriveLayoutAnswer& out) {
    FakeFile* d = DriveOf(id);
    if (!d || !d->layoutEx) return false;
    if (48 + 144 * d->layoutEx->entries.size() > bufferBytes) return false;
    out = *d->layoutEx;
    return true;
}

bool FakePlatform::GetDriveLayout(FileId id, std::uint32_t bufferBytes, DriveLayoutAnswer& out) {
    FakeFile* d = DriveOf(id);
    if (!d || !d->layout) return false;
    if (8 + 32 * d->layout->entries.size() > bufferBytes) return false;
    out = *d->layout;
    return true;
}

std::optional<DriveIdentity> FakePlatform::IdentifyDrive(int driveNumber) {
    FakeFile* d = FindFile(DrivePath(driveNumber));
    if (!d) return std::nullopt;
    return d->identity;
}

bool FakePlatform::AnnounceTableChange(FileId id) {
    FakeFile* d = DriveOf(id);
    if (!d) return false;
    announced.push_back(d->path);
    return !announceFails;
}

bool FakePlatform::UpdateDiskProperties(FileId id) {
    FakeFile* d = DriveOf(id);
    if (!d) return false;
    propertiesUpdated.push_back(d->path);
    return true;
}

bool FakePlatform::ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                                     std::uint32_t maxBytes, std::vector<std::uint8_t>& data) {
    auto it = registry_.find(ToUpperAscii(keyPath) + "|" + ToUpperAscii(valueName));
    if (it == registry_.end()) return false;
    data.assign(it->second.begin(), it->second.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                             maxBytes, it->second.size())));
    return true;
}

std::optional<std::string> FakePlatform::GetEnv(const std::string& name) {
    auto it = env.find(name);
    if (it == env.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> FakePlatform::ReadTextFile(const std::string& path) {
    FakeFile* f = FindFile(path);
    if (!f) return std::nullopt;
    return std::string(f->data.begin(), f->data.end());
}

int FakePlatform::ReadKey(bool echo) {
    ++keysRead;
    if (keys_.empty()) return kEndOfInput;
    const int key = keys_.front();
    keys_.pop_front();
    if (echo) output += static_cast<char>(key);
    return key;
}

bool FakePlatform::ReadLine(std::string& line) {
    if (lines_.empty()) return false;
    line = lines_.front();
    lines_.pop_front();
    return true;
}

std::optional<std::string> FakePlatform::FormatLocaleNumber(const std::string& numberText,
                                                            unsigned decimals) {
    if (failNumberFormat) return std::nullopt;
    return ApplyNumberFormat(numberText, decimals, NumberFormat{});
}

std::optional<std::string> FakePlatform::VolumeLabel(const std::string& rootPath) {
    auto it = volumeLabels.find(ToUpperAscii(rootPath));
    if (it == volumeLabels.end()) return std::nullopt;
    return it->second;
}

std::uint32_t FakePlatform::RandomNumber() {
    if (randomNumbers.empty()) return ++randomCount_;
    const std::uint32_t n = randomNumbers.front();
    randomNumbers.pop_front();
    return n;
}

FormatStart FakePlatform::RunFormatEngine(const FormatJob& job, FormatEngineCallback callback) {
    if (job.volumeName.empty()) return FormatStart::NoVolume;
    if (!formatEngine) return FormatStart::NotLoaded;
    formatJobs.push_back(job);
    if (formatThrows) throw std::runtime_error("engine");
    if (!formatSectors.empty())
        job.writeSectors(formatWriteAt, formatSectors.data(),
                         static_cast<std::uint32_t>(formatSectors.size() / 512));
    for (const FakeFormatEvent& e : formatEvents) {
        std::uint32_t figure = e.value;
        std::uint8_t verdict = static_cast<std::uint8_t>(e.value);
        FormatTextOutput output{1, e.text.c_str()};
        void* argument = e.event == kFormatProgress ? static_cast<void*>(&figure)
                         : e.event == kFormatDone   ? static_cast<void*>(&verdict)
                         : e.event == kFormatOutput ? static_cast<void*>(&output)
                                                    : nullptr;
        callback(e.event, 0, argument);
    }
    return FormatStart::Ran;
}

}  // namespace partam
