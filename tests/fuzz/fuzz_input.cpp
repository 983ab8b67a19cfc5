#include "fuzz/fuzz_input.h"

#include <algorithm>
#include <cstring>

#include "base/endian.h"

namespace partam::fuzz {

namespace {
constexpr std::size_t kHeader = 8;
constexpr std::size_t kRecord = 8 + kSectorSize;
constexpr std::uint64_t kUnreadable = std::uint64_t{1} << 63;
}  // namespace

SparseDisk::SparseDisk(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return;
    total_ = LoadLe64(data) & ((std::uint64_t{1} << 56) - 1);
    flags_ = data[7];
    for (std::size_t at = kHeader; at < size; at += kRecord) {
        std::uint8_t record[kRecord] = {};
        std::memcpy(record, data + at, std::min(kRecord, size - at));
        const std::uint64_t lba = LoadLe64(record);
        if (lba & kUnreadable) {
            unreadable_.insert(lba & ~kUnreadable);
            continue;
        }
        std::memcpy(sectors_[lba].data(), record + 8, kSectorSize);
    }
}

bool SparseDisk::Read(std::uint64_t lba, std::uint8_t* sector) const {
    if ((total_ != 0 && lba >= total_) || unreadable_.count(lba) != 0) return false;
    const auto it = sectors_.find(lba);
    if (it == sectors_.end())
        std::memset(sector, 0, kSectorSize);
    else
        std::memcpy(sector, it->second.data(), kSectorSize);
    return true;
}

Sector SparseDisk::At(std::uint64_t lba) const {
    Sector sector{};
    Read(lba, sector.data());
    return sector;
}

bool SparseDevice::ReadSectors(void* buffer, std::uint64_t lba, std::uint32_t count) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (std::uint32_t i = 0; i < count; ++i)
        if (!disk_.Read(lba + i, out + std::size_t{i} * kSectorSize)) return false;
    return true;
}

bool SparseDevice::QueryGeometry(GeometryResult& out) {
    out.mediaType = kFixedMedia;
    out.tracksPerCylinder = 255;
    out.sectorsPerTrack = 63;
    out.totalSectors = disk_.TotalSectors();
    out.totalBytes = out.totalSectors * kSectorSize;
    out.cylinders = static_cast<std::uint32_t>(out.totalSectors / (255 * 63));
    return true;
}

std::vector<Bytes> SplitFiles(const std::uint8_t* data, std::size_t size) {
    std::vector<Bytes> files;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t from = 0;
    for (;;) {
        const std::size_t cut = input.find(kFileSeparator, from);
        const std::string_view piece = input.substr(from, cut == std::string_view::npos ? cut : cut - from);
        files.emplace_back(piece.begin(), piece.end());
        if (cut == std::string_view::npos) return files;
        from = cut + kFileSeparator.size();
    }
}

}  // namespace partam::fuzz
