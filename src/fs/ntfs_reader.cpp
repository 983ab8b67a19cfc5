#include "fs/ntfs_reader.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "fs/volume_label.h"

namespace partam {

namespace {
constexpr std::uint64_t kVolumeRecord = 3;
// Far beyond any disk, and small enough that no sum of offsets within a
// volume overflows.
constexpr std::uint64_t kMaxVolumeBytes = 1ull << 62;
}  // namespace

int NtfsVolumeReader::ReadLabel(mDisk& disk, std::uint64_t start, std::uint64_t sectors) {
    label_.clear();
    disk_ = &disk;
    start_ = start;
    Sector boot{};
    if (disk.ReadSectors(boot.data(), start, 1) != 0) return kFound;
    if (!HasNtfsName(boot)) return kNotNtfs;
    const std::optional<NtfsGeometry> geometry = ReadNtfsBootSector(boot);
    if (!geometry) return kNotNtfs;
    geometry_ = *geometry;
    // The volume is what its boot sector says, with the backup boot sector
    // after it, and never more than its partition.
    const std::uint64_t maxSectors = kMaxVolumeBytes / geometry_.bytesPerSector - 1;
    volumeBytes_ = (std::min(geometry_.totalSectors, maxSectors) + 1) * geometry_.bytesPerSector;
    if (sectors != 0 && sectors < volumeBytes_ / kSectorSize) volumeBytes_ = sectors * kSectorSize;
    return ReadVolumeRecord(geometry_.mftCluster);
}

bool NtfsVolumeReader::ReadBytes(std::uint64_t offset, std::uint8_t* out, std::uint64_t count) {
    if (offset > volumeBytes_ || count > volumeBytes_ - offset) return false;
    if (count == 0) return true;
    const std::uint64_t first = offset / kSectorSize;
    const std::uint64_t last = (offset + count + kSectorSize - 1) / kSectorSize;
    std::vector<std::uint8_t> sectors((last - first) * kSectorSize);
    if (disk_->ReadSectors(sectors.data(), start_ + first, static_cast<std::uint32_t>(last - first)) != 0)
        return false;
    std::memcpy(out, sectors.data() + offset % kSectorSize, count);
    return true;
}

int NtfsVolumeReader::ReadVolumeRecord(std::uint64_t mftCluster) {
    const std::uint64_t clusters = volumeBytes_ / geometry_.bytesPerCluster;
    if (mftCluster >= clusters) return kDamaged;
    const std::uint64_t offset =
        mftCluster * geometry_.bytesPerCluster + kVolumeRecord * geometry_.recordBytes;
    if (offset + geometry_.recordBytes > volumeBytes_) return kDamaged;
    std::vector<std::uint8_t> record(geometry_.recordBytes);
    if (!ReadBytes(offset, record.data(), record.size())) {
        // The device refused a place inside the volume: the one failure the
        // user is shown, since the volume itself may be fine.
        ShowSystemError(disk_->GetPlatform(), 0);
        return kFound;
    }
    if (std::memcmp(record.data(), "FILE", 4) != 0) return kNotFileRecord;
    // Names may lie across a stride's end, whose last bytes the disk holds
    // replaced by the sequence number.
    if (!ApplyUpdateSequence(record)) return kDamaged;

    const AttributeWalk walk = ReadAttributes(record);
    std::vector<std::uint8_t> fileName;
    for (const NtfsAttribute& attribute : walk.attributes) {
        if (attribute.type != kAttrFileName && attribute.type != kAttrVolumeName) continue;
        std::vector<std::uint8_t> value;
        if (const int status = ReadValue(attribute, value); status != kFound) return status;
        if (attribute.type == kAttrFileName) {
            fileName = std::move(value);
        } else {
            label_ = Utf16LeToUtf8(value);
            break;
        }
    }
    if (walk.end == AttributeWalkEnd::Damaged && label_.empty()) return kDamaged;
    return IsVolumeFileName(fileName) ? kFound : kNotVolumeRecord;
}

int NtfsVolumeReader::ReadValue(const NtfsAttribute& attribute, std::vector<std::uint8_t>& value) {
    if (!attribute.nonResident) {
        const std::optional<ByteView> bytes = ResidentValue(attribute);
        if (!bytes) return kDamaged;
        value.assign(bytes->begin(), bytes->end());
        return kFound;
    }
    const std::optional<NonResidentValue> header = NonResidentHeader(attribute);
    if (!header || header->firstVcn != 0 || header->dataSize > kMaxValueBytes) return kDamaged;
    const std::uint64_t clusterBytes = geometry_.bytesPerCluster;
    const std::uint64_t needed = (header->dataSize + clusterBytes - 1) / clusterBytes;
    const auto runs = DecodeDataRuns(header->runs, needed, volumeBytes_ / clusterBytes);
    if (!runs) return kDamaged;
    value.assign(header->dataSize, 0);
    std::uint64_t at = 0;
    for (const DataRun& run : *runs) {
        if (at >= value.size()) break;
        const std::uint64_t bytes = std::min<std::uint64_t>(run.clusters * clusterBytes, value.size() - at);
        if (run.lcn && !ReadBytes(*run.lcn * clusterBytes, value.data() + at, bytes)) return kValueReadFailed;
        at += bytes;
    }
    return kFound;
}

}  // namespace partam
