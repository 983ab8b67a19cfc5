// Sectors of the disk the program sees. A drive or image file is one kind of
// device; a virtual disk maps its sectors onto its extent files. Callers
// address sectors of the disk, never offsets in some file.
#pragma once

#include <cstdint>

#include "disk/sector_file.h"

namespace partam {

class SectorDevice {
public:
    virtual ~SectorDevice() = default;
    virtual bool ReadSectors(std::uint64_t lba, std::uint32_t count, std::uint8_t* buffer) = 0;
    virtual bool WriteSectors(std::uint64_t lba, std::uint32_t count, const std::uint8_t* buffer) = 0;
    virtual std::uint64_t SizeBytes() = 0;
    virtual bool Flush() = 0;
};

// A drive or an image file: sector n lies at byte n * 512 of the file.
class FileSectorDevice : public SectorDevice {
public:
    explicit FileSectorDevice(SectorFile& file) : file_(file) {}
    bool ReadSectors(std::uint64_t lba, std::uint32_t count, std::uint8_t* buffer) override {
        return file_.ReadSectors(buffer, lba, count);
    }
    bool WriteSectors(std::uint64_t lba, std::uint32_t count, const std::uint8_t* buffer) override {
        return file_.WriteSectors(buffer, lba, count);
    }
    std::uint64_t SizeBytes() override { return file_.Size(); }
    bool Flush() override { return file_.IsOpen(); }
    SectorFile& File() { return file_; }

private:
    SectorFile& file_;
};

}  // namespace partam
