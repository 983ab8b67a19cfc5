// Which drive letter the system gave a partition of a disk: the link between
// the partition table's sector ranges and the system's volumes. Windows keeps
// it in "SYSTEM\MountedDevices", one value per volume, in one of two forms:
// the disk signature with the partition's byte offset, or the name of the
// device the volume lies on.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace partam {

struct DriveLetterMatch {
    char letter = 0;
    std::string volumeName;  // the volume GUID path, "\\?\Volume{...}\"
};

// The first logical drive, in the system's order, whose volume is the
// partition starting at startSector of disk diskIndex (whose sector 0 holds
// the signature bytes). A volume named by its device rather than by the
// signature matches every partition of that device. Nothing where the
// system has no drive letters or none matches; no failure is an error.
std::optional<DriveLetterMatch> FindDriveLetter(Platform& platform, std::uint32_t diskIndex,
                                                const std::array<std::uint8_t, 4>& signature,
                                                std::uint64_t startSector);

}  // namespace partam
