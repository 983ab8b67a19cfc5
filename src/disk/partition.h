// One partition as the disk object hands it out, and the 16-byte MBR entry
// it was read from. The MBR model and the GPT reader both produce these.
#pragma once

#include <cstdint>
#include <string>

#include "base/mbr_format.h"

namespace partam {

// One partition.
struct mPart {
    std::uint64_t start = 0;    // absolute first sector
    std::uint64_t sectors = 0;  // number of sectors
    std::uint64_t bytes = 0;    // size in bytes
    std::uint32_t type = 0;     // partition type byte
    std::string volumeName;     // volume GUID path, empty when not mounted
    std::string volumeLabel;
    char driveLetter = 0;        // 0 when none
    std::uint32_t position = 0;  // primaries 1.. in slot order, logicals 1.. in chain order
    std::int32_t isPrimary = 0;
    std::int32_t present = 0;
    std::int32_t active = 0;
    std::int32_t hidden = 0;
    std::uint32_t slot = 0;  // MBR slot 0-3 of a primary
    std::string typeName;    // short name from the type catalogue, "UNKNWN"
    Chs startChs;
    Chs endChs;
    PartitionEntry entry;
};

// Type tests on a partition type value.
inline bool IsExtendedType(std::uint32_t t) { return t == 0x05 || t == 0x0F || t == 0x15 || t == 0x1F; }
inline bool IsHideableType(std::uint32_t t) {
    switch (t) {
        case 0x01:
        case 0x04:
        case 0x06:
        case 0x07:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x0E:
        case 0x0F:
            return true;
        default:
            return false;
    }
}
// A type below 0x10 is never hidden.
inline bool IsHiddenType(std::uint32_t t) { return t >= 0x10 && IsHideableType(t - 0x10); }
inline bool IsMountableType(std::uint32_t t) { return t != 0x0F && IsHideableType(t); }

}  // namespace partam
