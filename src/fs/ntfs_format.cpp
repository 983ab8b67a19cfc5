#include "fs/ntfs_format.h"

#include <cstring>

#include "base/endian.h"

namespace partam {

namespace {

bool IsPowerOfTwo(std::uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

// Sectors per cluster: a power of two up to 128, or, for larger clusters,
// the negated power of two (0xF4 is 2^12).
std::optional<std::uint32_t> SectorsPerCluster(std::uint8_t byte) {
    if (byte <= 0x80) return IsPowerOfTwo(byte) ? std::optional<std::uint32_t>(byte) : std::nullopt;
    const unsigned shift = 256u - byte;
    if (shift > 20) return std::nullopt;
    return 1u << shift;
}

std::optional<std::uint32_t> RecordBytes(std::int8_t value, std::uint32_t bytesPerCluster) {
    std::uint64_t bytes = 0;
    if (value > 0)
        bytes = static_cast<std::uint64_t>(value) * bytesPerCluster;
    else if (value < 0 && value >= -16)
        bytes = 1ull << -value;
    if (bytes < kNtfsStride || bytes > kNtfsMaxRecordBytes || bytes % kNtfsStride != 0) return std::nullopt;
    return static_cast<std::uint32_t>(bytes);
}

}  // namespace

bool HasNtfsName(ByteView boot) { return boot.size() >= 7 && std::memcmp(boot.data() + 3, "NTFS", 4) == 0; }

std::optional<NtfsGeometry> ReadNtfsBootSector(SectorView boot) {
    if (!HasNtfsName(boot)) return std::nullopt;
    NtfsGeometry g;
    g.bytesPerSector = LoadLe16(&boot[11]);
    if (g.bytesPerSector < 512 || g.bytesPerSector > 4096 || !IsPowerOfTwo(g.bytesPerSector))
        return std::nullopt;
    const auto sectorsPerCluster = SectorsPerCluster(boot[13]);
    if (!sectorsPerCluster) return std::nullopt;
    const std::uint64_t clusterBytes = static_cast<std::uint64_t>(*sectorsPerCluster) * g.bytesPerSector;
    if (clusterBytes > kNtfsMaxClusterBytes) return std::nullopt;
    g.bytesPerCluster = static_cast<std::uint32_t>(clusterBytes);
    const auto record = RecordBytes(static_cast<std::int8_t>(boot[64]), g.bytesPerCluster);
    if (!record) return std::nullopt;
    g.recordBytes = *record;
    g.totalSectors = LoadLe64(&boot[40]);
    g.mftCluster = LoadLe64(&boot[48]);
    return g;
}

bool ApplyUpdateSequence(std::span<std::uint8_t> record) {
    if (record.size() < kNtfsStride || record.size() % kNtfsStride != 0) return false;
    const std::uint32_t offset = LoadLe16(&record[4]);
    const std::uint32_t count = LoadLe16(&record[6]);
    const std::size_t strides = record.size() / kNtfsStride;
    // The array (the sequence number, then one entry per stride) lies in the
    // first stride, before that stride's own last two bytes.
    if (count != strides + 1 || offset < 8 || offset + 2 * count > kNtfsStride - 2) return false;
    const std::uint8_t* array = &record[offset];
    for (std::size_t i = 0; i < strides; ++i) {
        std::uint8_t* tail = &record[(i + 1) * kNtfsStride - 2];
        if (tail[0] != array[0] || tail[1] != array[1]) return false;
        tail[0] = array[2 + 2 * i];
        tail[1] = array[3 + 2 * i];
    }
    return true;
}

AttributeWalk ReadAttributes(ByteView record) {
    AttributeWalk walk;
    if (record.size() < 28 || std::memcmp(record.data(), "FILE", 4) != 0) return walk;
    // Attributes end where the bytes in use end, never past the record.
    const std::uint64_t used = std::min<std::uint64_t>(LoadLe32(&record[24]), record.size());
    std::uint64_t offset = LoadLe16(&record[20]);
    while (offset + 4 <= used) {
        const std::uint8_t* at = record.data() + offset;
        const std::uint32_t type = LoadLe32(at);
        if (type == kAttrEnd) {
            walk.end = AttributeWalkEnd::EndMarker;
            return walk;
        }
        if (offset + 16 > used) break;
        const std::uint32_t length = LoadLe32(at + 4);
        const bool nonResident = at[8] != 0;
        const std::uint32_t least = nonResident ? 64 : 24;
        if (length < least || offset + length > used) return walk;
        walk.attributes.push_back({type, nonResident, ByteView(at, length)});
        offset += length;
    }
    walk.end = offset >= used ? AttributeWalkEnd::RanOut : AttributeWalkEnd::Damaged;
    return walk;
}

std::optional<ByteView> ResidentValue(const NtfsAttribute& a) {
    if (a.nonResident || a.bytes.size() < 24) return std::nullopt;
    const std::uint64_t length = LoadLe32(&a.bytes[16]);
    const std::uint64_t offset = LoadLe16(&a.bytes[20]);
    if (offset + length > a.bytes.size()) return std::nullopt;
    return a.bytes.subspan(offset, length);
}

std::optional<NonResidentValue> NonResidentHeader(const NtfsAttribute& a) {
    if (!a.nonResident || a.bytes.size() < 64) return std::nullopt;
    NonResidentValue v;
    v.firstVcn = LoadLe64(&a.bytes[16]);
    v.dataSize = LoadLe64(&a.bytes[48]);
    const std::size_t runs = LoadLe16(&a.bytes[32]);
    if (runs < 64 || runs >= a.bytes.size()) return std::nullopt;
    v.runs = a.bytes.subspan(runs);
    return v;
}

std::optional<std::vector<DataRun>> DecodeDataRuns(ByteView runs, std::uint64_t neededClusters,
                                                   std::uint64_t volumeClusters) {
    std::vector<DataRun> out;
    std::uint64_t covered = 0;
    std::int64_t lcn = 0;
    std::size_t at = 0;
    while (covered < neededClusters) {
        if (at >= runs.size() || runs[at] == 0) return std::nullopt;
        const unsigned lengthBytes = runs[at] & 0x0F;
        const unsigned offsetBytes = runs[at] >> 4;
        ++at;
        if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8) return std::nullopt;
        if (runs.size() - at < lengthBytes + offsetBytes) return std::nullopt;
        std::uint64_t length = 0;
        for (unsigned i = 0; i < lengthBytes; ++i)
            length |= static_cast<std::uint64_t>(runs[at + i]) << (8 * i);
        at += lengthBytes;
        if (length == 0 || length > volumeClusters) return std::nullopt;
        DataRun run{length, std::nullopt};
        if (offsetBytes != 0) {
            // A signed step from the previous run's first cluster.
            std::uint64_t step = 0;
            for (unsigned i = 0; i < offsetBytes; ++i)
                step |= static_cast<std::uint64_t>(runs[at + i]) << (8 * i);
            if (offsetBytes < 8 && (runs[at + offsetBytes - 1] & 0x80)) step |= ~0ull << (8 * offsetBytes);
            const std::int64_t delta = static_cast<std::int64_t>(step);
            // Both stay within what a volume can hold, so the sum is exact.
            if (delta > static_cast<std::int64_t>(volumeClusters) ||
                delta < -static_cast<std::int64_t>(volumeClusters))
                return std::nullopt;
            lcn += delta;
            if (lcn < 0 || static_cast<std::uint64_t>(lcn) + length > volumeClusters) return std::nullopt;
            run.lcn = static_cast<std::uint64_t>(lcn);
        }
        at += offsetBytes;
        covered += length;
        out.push_back(run);
    }
    return out;
}

bool IsVolumeFileName(ByteView value) {
    static const std::uint8_t kName[] = {'$', 0, 'V', 0, 'o', 0, 'l', 0, 'u', 0, 'm', 0, 'e', 0};
    return value.size() >= 66 + sizeof kName && std::memcmp(value.data() + 66, kName, sizeof kName) == 0;
}

}  // namespace partam
