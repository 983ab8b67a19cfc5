#include "disk/partition.h"

namespace partam {

Chs LbaToChs(std::uint32_t lba, std::uint32_t heads, std::uint32_t sectorsPerTrack) {
    // The product in 64 bits: a geometry whose 32-bit product wraps to zero
    // must not divide by zero, and one that wraps elsewhere must not give a
    // wrong address.
    const std::uint64_t perCylinder = static_cast<std::uint64_t>(heads) * sectorsPerTrack;
    Chs chs;
    if (perCylinder == 0) return chs;
    const std::uint64_t inCylinder = lba % perCylinder;
    chs.cylinder = static_cast<std::uint32_t>(lba / perCylinder);
    chs.head = static_cast<std::uint32_t>(inCylinder / sectorsPerTrack);
    chs.sector = static_cast<std::uint32_t>(inCylinder % sectorsPerTrack) + 1;
    return chs;
}

}  // namespace partam
