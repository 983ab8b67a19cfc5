// The sectors of a VMDK virtual disk, mapped onto its extent files in the
// order of the descriptor's extent lines: a flat extent holds its sectors
// in order from its offset on; a sparse extent holds them in grains found
// through its grain directory and tables, and a grain that was never
// written reads as zeros until a write gives it a place at the file's end.
//
// A sparse extent's grain tables are read once and kept while a command
// runs; what the command changes in them (and in the directories, for a
// table it adds) is written once, when the command is done (Flush), in an
// order that leaves a readable disk wherever a crash stops it.
#pragma once

#include <cstdint>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "disk/sector_device.h"
#include "disk/sector_file.h"
#include "platform/platform.h"
#include "vdisk/descriptor.h"
#include "vdisk/sparse_extent.h"

namespace partam {

// An extent line with the path of its file.
struct ExtentPlan {
    ExtentLine line;
    std::string path;  // empty for a ZERO extent
};

struct VmdkGeometry {
    std::uint32_t cylinders = 0;
    std::uint32_t heads = 0;
    std::uint32_t sectorsPerTrack = 0;
};

class VmdkDevice : public SectorDevice {
public:
    // At most this many extent files are open at once; a disk split into
    // more opens them as they are needed.
    static constexpr std::size_t kMaxOpenFiles = 32;

    // Opens and checks every extent of the plan, in order: 0 and the device,
    // or the code that refuses the disk: 303 an extent file that does not
    // open, 568 one whose size does not hold its extent, 567 a sparse extent
    // this program cannot read.
    static int Open(Platform& platform, const std::vector<ExtentPlan>& plans, const VmdkGeometry& geometry,
                    std::unique_ptr<VmdkDevice>& device);

    // A command's table changes that no Flush wrote yet are written here.
    ~VmdkDevice() override;
    bool ReadSectors(void* buffer, std::uint64_t lba, std::uint32_t count) override;
    bool WriteSectors(const void* buffer, std::uint64_t lba, std::uint32_t count) override;
    bool Flush() override;
    // Zero extents, grains without a place and the holes of flat extent
    // files read as zeros.
    bool NextData(std::uint64_t lba, std::uint64_t& next) override;
    bool QueryGeometry(GeometryResult& out) override;
    // A virtual disk has no system's view of its slots.
    bool QueryLayout(DriveLayout&) override { return false; }
    // The system shows no partitions of a virtual disk: there is nothing to tell it.
    bool AnnounceTableChange() override { return true; }
    bool UpdateProperties() override { return true; }

    std::uint64_t TotalSectors() const { return totalSectors_; }

private:
    struct Extent;
    struct GrainTable;

    explicit VmdkDevice(Platform& platform);
    int AddExtent(const ExtentPlan& plan);
    int CheckSparse(Extent& e);
    bool ReadDirectory(Extent& e, std::uint64_t at, std::vector<std::uint32_t>& entries);
    SectorFile* FileOf(Extent& e);
    bool Transfer(std::uint8_t* buffer, std::uint64_t lba, std::uint32_t count, bool write);
    bool ReadAt(Extent& e, std::uint8_t* buffer, std::uint64_t at, std::uint32_t count);
    bool WriteAt(Extent& e, const std::uint8_t* buffer, std::uint64_t at, std::uint32_t count);
    bool ReadSparse(std::size_t x, std::uint8_t* buffer, std::uint64_t at, std::uint32_t count);
    bool WriteSparse(std::size_t x, const std::uint8_t* buffer, std::uint64_t at, std::uint32_t count);
    bool LoadTable(std::size_t x, std::uint32_t index, GrainTable*& table);
    bool TableEntry(std::size_t x, const GrainSpot& spot, GrainTable*& table, std::uint32_t& entry);
    bool MakeRoom(std::size_t bytes);
    bool GrainSector(const Extent& e, std::uint32_t entry, const GrainSpot& spot, std::uint64_t count,
                     std::uint64_t& sector) const;
    bool NewGrain(std::size_t x, const GrainSpot& spot, GrainTable* table, const std::uint8_t* data,
                  std::uint64_t count);
    bool ReserveTables(std::size_t x, std::uint32_t index, GrainTable*& table);
    bool Append(Extent& e, const std::uint8_t* bytes, std::uint64_t count, std::uint64_t& at);
    std::size_t ExtentAt(std::uint64_t lba) const;
    std::uint64_t FlatData(Extent& e, std::uint64_t from);
    bool SparseData(std::size_t x, std::uint64_t from, std::uint64_t& found);
    bool Commit();
    bool WriteTables(Extent& e, bool redundant);
    bool WriteDirectory(Extent& e, bool redundant);
    bool WriteMark(Extent& e, bool set);
    bool FlushFiles();

    Platform& platform_;
    std::vector<Extent> extents_;
    VmdkGeometry geometry_;
    std::uint64_t totalSectors_ = 0;
    std::uint64_t directoryEntries_ = 0;  // of every sparse extent together
    std::size_t openFiles_ = 0;
    std::uint64_t useClock_ = 0;
    std::size_t tableBytes_ = 0;  // of the grain tables kept, in every extent
};

}  // namespace partam
