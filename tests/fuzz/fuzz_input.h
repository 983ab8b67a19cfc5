// What the fuzz targets share: a disk given by the few sectors that are not
// zero, the same disk as a device, and several files cut from one input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "base/mbr_format.h"
#include "disk/sector_device.h"

namespace partam::fuzz {

using Bytes = std::vector<std::uint8_t>;

// The input is the disk's size in sectors (7 bytes, little-endian; 0 when it
// is unknown) and a byte of flags the target gives a meaning, then records of an 8-byte LBA and that sector's 512 bytes; a
// cut-off last record is padded with zeros. A record whose LBA has its top
// bit set makes that sector unreadable instead. Every other sector reads as
// zeros, and no sector at or past the size can be read. Real disks are mostly
// zeros, so a seed holds only the sectors that carry something.
class SparseDisk {
public:
    SparseDisk(const std::uint8_t* data, std::size_t size);
    bool Read(std::uint64_t lba, std::uint8_t* sector) const;
    SectorReader Reader() const {
        return [this](std::uint64_t lba, std::uint8_t* sector) { return Read(lba, sector); };
    }
    Sector At(std::uint64_t lba) const;
    std::uint64_t TotalSectors() const { return total_; }
    std::uint8_t Flags() const { return flags_; }

private:
    std::uint64_t total_ = 0;
    std::uint8_t flags_ = 0;
    std::map<std::uint64_t, Sector> sectors_;
    std::set<std::uint64_t> unreadable_;
};

// The sparse disk as a fixed drive that can be read but not written.
class SparseDevice : public SectorDevice {
public:
    explicit SparseDevice(const SparseDisk& disk) : disk_(disk) {}
    bool ReadSectors(void* buffer, std::uint64_t lba, std::uint32_t count) override;
    bool WriteSectors(const void*, std::uint64_t, std::uint32_t) override { return false; }
    bool Flush() override { return true; }
    bool NextData(std::uint64_t, std::uint64_t&) override { return false; }
    bool QueryGeometry(GeometryResult& out) override;
    bool QueryLayout(DriveLayout&) override { return false; }
    bool AnnounceTableChange() override { return true; }
    bool UpdateProperties() override { return true; }

private:
    const SparseDisk& disk_;
};

// The input cut at every kFileSeparator line into the files it holds.
inline constexpr std::string_view kFileSeparator = "\n--next file--\n";
std::vector<Bytes> SplitFiles(const std::uint8_t* data, std::size_t size);

}  // namespace partam::fuzz
