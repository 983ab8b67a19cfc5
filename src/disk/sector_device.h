// Sectors of the disk the program sees. A drive (or the image standing in for
// one) is one kind of device; a virtual disk maps its sectors onto its extent
// files. Callers address sectors of the disk and ask the device what it knows
// of itself, never offsets in some file or the handle beneath it.
#pragma once

#include <cstdint>

#include "disk/geometry.h"
#include "disk/sector_file.h"

namespace partam {

class SectorDevice {
public:
    virtual ~SectorDevice() = default;
    // count sectors from lba; the argument order is that of SectorFile.
    virtual bool ReadSectors(void* buffer, std::uint64_t lba, std::uint32_t count) = 0;
    virtual bool WriteSectors(const void* buffer, std::uint64_t lba, std::uint32_t count) = 0;
    // What was written is on the medium when this returns true. A device
    // that keeps what a command changed of its own structures until then
    // writes it here: this is how it learns that the command is done.
    virtual bool Flush() = 0;
    // The first sector at or after lba that may hold data: the sectors from
    // lba up to it read as zeros without being stored anywhere (holes of an
    // image file, grains a virtual disk never placed). False when the
    // device cannot tell: every sector then counts as data.
    virtual bool NextData(std::uint64_t lba, std::uint64_t& next) = 0;
    // Geometry, media type and size; false when the medium cannot be asked
    // (a removable drive without a medium), with what was learnt in out.
    virtual bool QueryGeometry(GeometryResult& out) = 0;
    // The system's view of the four primary slots; false when it has none.
    virtual bool QueryLayout(DriveLayout& out) = 0;
    // Tells the system that the partition table on the device changed;
    // false when it could not be told (and was warned about).
    virtual bool AnnounceTableChange() = 0;
    // Has the system read the device's size and layout again; false when it
    // could not be asked.
    virtual bool UpdateProperties() = 0;
};

// A drive, or an image file standing in for one: sector n lies at byte
// n * 512 of the file, and the platform answers the disk control queries on
// its handle.
class DriveDevice : public SectorDevice {
public:
    DriveDevice(Platform& platform, SectorFile& file, std::uint32_t diskIndex)
        : platform_(platform), file_(file), diskIndex_(diskIndex) {}
    bool ReadSectors(void* buffer, std::uint64_t lba, std::uint32_t count) override {
        return file_.ReadSectors(buffer, lba, count);
    }
    bool WriteSectors(const void* buffer, std::uint64_t lba, std::uint32_t count) override {
        return file_.WriteSectors(buffer, lba, count);
    }
    bool Flush() override { return file_.Flush(); }
    bool NextData(std::uint64_t lba, std::uint64_t& next) override {
        std::uint64_t byte = 0;
        if (lba > static_cast<std::uint64_t>(INT64_MAX) / 512 || !file_.NextData(lba * 512, byte))
            return false;
        next = byte / 512;
        return true;
    }
    bool QueryGeometry(GeometryResult& out) override { return !ReadGeometry(platform_, file_.Handle(), out); }
    bool QueryLayout(DriveLayout& out) override {
        out = DriveLayout(diskIndex_, file_.Handle());
        return out.GetLayout(platform_);
    }
    bool AnnounceTableChange() override { return platform_.AnnounceTableChange(file_.Handle()); }
    bool UpdateProperties() override { return platform_.UpdateDiskProperties(file_.Handle()); }

private:
    Platform& platform_;
    SectorFile& file_;
    std::uint32_t diskIndex_;
};

}  // namespace partam
