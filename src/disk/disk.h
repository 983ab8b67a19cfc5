// The disk object: which drives exist, which one is selected, what its
// sector 0 holds, its geometry, its partitions and the first disk-level
// error of the run.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "disk/geometry.h"
#include "disk/partition_table.h"
#include "disk/sector_device.h"
#include "disk/sector_file.h"
#include "platform/platform.h"

namespace partam {

inline constexpr int kMaxDrives = 20;

enum class TableKind : std::uint32_t { None = 0, Mbr = 1, Gpt = 2, BootSector = 3, SuperFloppy = 4 };
const char* TableKindName(TableKind kind);

class mDisk {
public:
    mDisk(Platform& platform, int initialIndex, bool ignoreErrors, TableReaders readers = {});
    ~mDisk();
    mDisk(const mDisk&) = delete;
    mDisk& operator=(const mDisk&) = delete;

    // Selection.
    void Use(int index);
    void UseVirtual(const std::string& path);
    void Reload(bool reread);

    // Queries on the selected disk.
    std::int32_t PartitionCount(int kind) const;
    mPart* GetPartition(int number, bool byPosition);
    // A space when virtual or when there is no such primary; 0 without letter.
    char DriveLetterOf(int number);
    bool IsRemovable() const { return mediaType == kRemovableMedia; }
    std::uint64_t TotalBytes() const { return totalBytes; }
    std::string DevicePath(int value, bool valueIsDriveNumber) const;
    std::string BusName();
    const std::string& DeviceDescription();
    Chs LbaToChs(std::uint32_t lba) const;

    // Sector I/O on the selected disk, in sectors of the disk it shows.
    int ReadSector(std::uint64_t lba, std::uint8_t* buffer);                               // 0 or 506
    int WriteSectors(std::uint64_t lba, std::uint32_t count, const std::uint8_t* buffer);  // 0 or 505
    int WriteSector0();
    SectorFile& CurrentFile() { return *currentFile; }
    SectorDevice& Device() { return *device_; }

    // Errors: the first recorded wins; 1 clears.
    int SetError(int code, int parameter);
    int GetError() const { return static_cast<int>(errorCode); }

    bool IsExtendedType(std::uint32_t type) const { return partam::IsExtendedType(type); }
    bool IsMountableType(std::uint32_t type) const { return partam::IsMountableType(type); }

    Platform& GetPlatform() const { return platform_; }

    // State, read by the table readers, the listing and the commands.
    int currentIndex = -1;
    std::string virtualPath;
    int diskCount = 0;
    int activePartition = -1;
    int mediaPresent = 1;
    int signatureValid = 0;
    int tableValid = 1;
    TableKind tableKind = TableKind::None;
    std::string tableKindName = "None";
    std::uint32_t superFloppyFs = 0;  // 0 none, 1 NTFS, 2 FAT16, 3 FAT32
    int isGpt = 0;
    int isVirtual = 0;
    int notReady = 0;
    std::uint64_t mbrSector = 0;
    std::array<std::uint8_t, 512> sector0{};
    std::uint32_t cylinders = 0;
    std::uint32_t tracksPerCylinder = 0;
    std::uint32_t sectorsPerTrack = 0;
    std::uint64_t totalSectors = 0;
    std::unique_ptr<PartitionTable> partitions;  // MBR list or GPT reader
    std::string devicePath;
    std::array<std::uint8_t, 5> diskSignature{};
    std::uint32_t mediaType = 0;
    std::uint64_t totalBytes = 0;
    std::array<int, kMaxDrives> diskTable{};
    std::uint32_t errorCode = 0;
    std::uint32_t errorParameter = 0;
    const char* errorText = "";
    int ignoreErrors = 0;
    std::string description;

private:
    void CountDisks();
    void ReadDiskInfo();

    Platform& platform_;
    TableReaders readers_;
    std::unique_ptr<SectorFile> driveFile_;
    SectorFile* currentFile = nullptr;
    std::unique_ptr<SectorDevice> device_;
};

}  // namespace partam
