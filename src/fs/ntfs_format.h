// The NTFS structures the label reader needs, decoded from bytes: the boot
// sector, a file record with its update sequence, the attributes of a
// record and the data runs of a value kept outside it. Every function here
// is pure: it works on the bytes it is given and checks each count, offset
// and length against them, and against the volume, before it uses one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/mbr_format.h"

namespace partam {

using ByteView = std::span<const std::uint8_t>;

// What the boot sector says of the volume's layout.
struct NtfsGeometry {
    std::uint32_t bytesPerSector = 0;
    std::uint32_t bytesPerCluster = 0;
    std::uint32_t recordBytes = 0;   // one file record of the master file table
    std::uint64_t totalSectors = 0;  // in the volume's own sectors
    std::uint64_t mftCluster = 0;
};

// NTFS clusters are at most 2 MiB, file records at most 64 KiB.
inline constexpr std::uint32_t kNtfsMaxClusterBytes = 2u << 20;
inline constexpr std::uint32_t kNtfsMaxRecordBytes = 64u << 10;
// The update sequence protects every 512 bytes of a record, whatever the
// sector size.
inline constexpr std::uint32_t kNtfsStride = 512;

// "NTFS" at byte 3 and sizes NTFS can have: sectors of 512 to 4096 bytes,
// a power of two of them per cluster, records of whole strides. The
// clusters-per-record byte counts clusters when positive and is the
// power of two of the record's bytes when negative (-10 for 1,024).
std::optional<NtfsGeometry> ReadNtfsBootSector(SectorView boot);
bool HasNtfsName(ByteView boot);

// Undoes the update sequence of a file record read from the disk: the last
// two bytes of each stride were replaced by the sequence number when it was
// written and go back to the values kept in the sequence array. False, with
// the record in an unknown state, when the array does not fit the record or
// a stride does not end with the sequence number (a torn write).
bool ApplyUpdateSequence(std::span<std::uint8_t> record);

inline constexpr std::uint32_t kAttrFileName = 0x30;
inline constexpr std::uint32_t kAttrVolumeName = 0x60;
inline constexpr std::uint32_t kAttrEnd = 0xFFFFFFFFu;

// One attribute of a record, as the bytes of its header and value.
struct NtfsAttribute {
    std::uint32_t type = 0;
    bool nonResident = false;
    ByteView bytes;  // the whole attribute, its length as its header says
};

// How a walk through the attributes ended.
enum class AttributeWalkEnd {
    EndMarker,  // at the end marker
    RanOut,     // at the end of the bytes in use, without an end marker
    Damaged,    // at a header that does not fit its record or is too short
};

struct AttributeWalk {
    std::vector<NtfsAttribute> attributes;
    AttributeWalkEnd end = AttributeWalkEnd::Damaged;
};

// The attributes of a file record ("FILE", update sequence applied), in
// record order. Each one is at least 24 bytes long, so the walk ends.
AttributeWalk ReadAttributes(ByteView record);

// The value of a resident attribute; nothing when it lies outside it.
std::optional<ByteView> ResidentValue(const NtfsAttribute& attribute);

// What the header of a non-resident attribute says of its value.
struct NonResidentValue {
    std::uint64_t firstVcn = 0;
    std::uint64_t dataSize = 0;
    ByteView runs;  // from the first data run to the end of the attribute
};
std::optional<NonResidentValue> NonResidentHeader(const NtfsAttribute& attribute);

// One run of clusters: lcn is nothing for a sparse run, which reads as
// zeros.
struct DataRun {
    std::uint64_t clusters = 0;
    std::optional<std::uint64_t> lcn;
};

// The runs that hold the first neededClusters clusters of a value. Nothing
// when a run header is cut off, a run is empty, a cluster number goes below
// 0 or a run reaches past volumeClusters, or the runs end too early.
std::optional<std::vector<DataRun>> DecodeDataRuns(ByteView runs, std::uint64_t neededClusters,
                                                   std::uint64_t volumeClusters);

// A $FILE_NAME value whose name is "$Volume".
bool IsVolumeFileName(ByteView value);

}  // namespace partam
