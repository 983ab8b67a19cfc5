// What the system knows of a drive: geometry and size, its own view of the
// four MBR slots, and a display name from its device enumeration.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace partam {

struct GeometryResult {
    std::uint32_t cylinders = 0;  // low 32 bits
    std::uint32_t tracksPerCylinder = 0;
    std::uint32_t sectorsPerTrack = 0;
    std::uint32_t mediaType = 0;
    std::uint64_t totalSectors = 0;
    std::uint64_t totalBytes = 0;
    std::uint32_t bytesPerSector = 0;  // the logical sector; 0 when not told
};

inline constexpr std::uint32_t kRemovableMedia = 11;
inline constexpr std::uint32_t kFixedMedia = 12;

// Fills what the queries answer; returns true when the basic query failed.
bool ReadGeometry(Platform& platform, FileId drive, GeometryResult& out);

struct LayoutSlot {
    std::uint8_t present = 0;
    std::uint8_t type = 0;
    std::int64_t startingOffset = 0;
    std::int64_t length = 0;
    std::uint32_t partitionNumber = 0;
    std::uint32_t hiddenSectors = 0;
    std::uint8_t bootIndicator = 0;
};

// The system's view of slots 0-3.
class DriveLayout {
public:
    static constexpr std::uint32_t kBufferSize = 1344;  // header and 9 extended entries

    DriveLayout(std::uint32_t diskIndex, FileId handle) : diskIndex(diskIndex), handle(handle) {}
    // True when one of the two queries answered.
    bool GetLayout(Platform& platform);

    std::uint32_t diskIndex;
    FileId handle;
    std::uint32_t source = 0;  // 0 not read, 1 old form, 2 extended form
    std::uint32_t signature = 0;
    LayoutSlot slots[4];
};

// what: 0 bus name, 3 display name, 4 parent id prefix, 5 instance path.
// Returns buffer unchanged when any registry step fails.
std::string RegistryDeviceInfo(Platform& platform, std::uint32_t diskIndex, int what,
                               const std::string& buffer);

// The description for display, built from the bus name and display name:
// the bus's usual suffix cut off, the first run of spaces made one.
std::string CutDescription(const std::string& busName, const std::string& displayName);

}  // namespace partam
