// The disk object: which drives exist, which one is selected, what its
// sector 0 holds, its geometry, its partitions and what loading it found
// wrong. Its state is its own: others read it through the accessors and
// change the disk only through its selection and its sector I/O, whose
// results they take as their own.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/mbr_format.h"
#include "disk/geometry.h"
#include "disk/partition_table.h"
#include "disk/sector_device.h"
#include "disk/sector_file.h"
#include "disk/virtual_disk.h"
#include "platform/platform.h"

namespace partam {

inline constexpr int kMaxDrives = 20;

enum class TableKind : std::uint32_t { None = 0, Mbr = 1, Gpt = 2, BootSector = 3, SuperFloppy = 4 };
const char* TableKindName(TableKind kind);

struct DiskGeometryFields {
    std::uint32_t cylinders = 0;  // low 32 bits
    std::uint32_t tracksPerCylinder = 0;
    std::uint32_t sectorsPerTrack = 0;
};

class mDisk {
public:
    // Counts the drives and, when there is one and initialIndex is not
    // negative, selects disk initialIndex. Without an opener no file is a
    // virtual disk. A selected drive is opened with the access given: the
    // run's commands only read it, or write it as its one writer.
    mDisk(Platform& platform, int initialIndex, TableReaders readers = {}, VirtualDiskOpener opener = {},
          DriveAccess access = DriveAccess::Write);
    ~mDisk();
    mDisk(const mDisk&) = delete;
    mDisk& operator=(const mDisk&) = delete;

    // --- Selection: each returns the selection's own failure (0 when the
    // disk is selected), whether or not /ignore keeps it from being recorded.
    // The selected disk is not read again unless force is set.
    // A drive that may not be used is refused, and nothing of it is read:
    // 505 while another writer holds it (after the platform's wait), 515
    // when its logical sector is not of 512 bytes. Each refusal is told
    // once a run, on standard error; the disk stays refused for the run.
    int Use(int index, bool force = false);  // 0, 505, 511 or 515
    // A virtual disk file in place of the drive: every sector of the disk
    // is then one of the virtual disk's own. 565 when there is no such file,
    // or the opener's refusal; a refused file leaves the selection as it was.
    int UseVirtual(const std::string& path);
    void Reload(bool reread);
    // Reads sector lba into the sector-0 copy and rebuilds the table from
    // it, as if it were the disk's MBR, as a new load; nothing is written.
    // 510 when it does not end with 55 AA.
    int LoadTableFrom(std::uint64_t lba);

    // --- The drives.
    int DiskCount() const { return diskCount_; }
    int CurrentIndex() const { return currentIndex_; }
    int DriveNumberOf(int index) const;
    // "\\.\PhysicalDrive%d" of a drive number, or of the drive of a disk index.
    std::string DevicePath(int value, bool valueIsDriveNumber) const;
    const std::string& DevicePath() const { return devicePath_; }
    const std::string& VirtualPath() const { return virtualPath_; }

    // --- The selected disk.
    bool IsVirtual() const { return isVirtual_; }
    bool MediaPresent() const { return load_.mediaPresent; }
    bool NotReady() const { return load_.notReady; }
    bool SignatureValid() const { return load_.signatureValid; }
    bool TableValid() const { return load_.tableProblem == 0; }
    TableKind Kind() const { return load_.tableKind; }
    const char* KindName() const { return TableKindName(load_.tableKind); }
    bool IsGpt() const { return load_.tableKind == TableKind::Gpt; }
    BootFileSystem SuperFloppy() const { return load_.superFloppy; }
    std::uint32_t MediaType() const { return load_.mediaType; }
    bool IsRemovable() const { return load_.mediaType == kRemovableMedia; }
    const DiskGeometryFields& Geometry() const { return load_.geometry; }
    std::uint64_t TotalSectors() const { return load_.totalSectors; }
    std::uint64_t TotalBytes() const { return load_.totalBytes; }
    // The copy of sector 0 made when the disk was read; whether it holds what
    // the disk holds (false when sector 0 could not be read: the copy is
    // zeros then, and no table may be written back from it).
    const Sector& Sector0() const { return load_.sector0; }
    bool Sector0Read() const { return load_.sector0Read; }
    // The four signature bytes as they lie on the disk; zero without 55 AA.
    const std::array<std::uint8_t, 4>& DiskSignature() const { return load_.diskSignature; }
    // List position of the last active partition; -1 when there is none.
    int ActivePartition() const { return load_.activePartition; }
    Chs LbaToChs(std::uint32_t lba) const;

    // --- Its partitions, through the table of its kind.
    PartitionTable* Table() { return load_.table.get(); }
    // The table as its kind: nothing when the disk holds no table of it.
    PartitionList* Mbr() { return load_.table ? load_.table->Mbr() : nullptr; }
    GptDisk* Gpt() { return load_.table ? load_.table->Gpt() : nullptr; }
    // The system's own view of the four primary slots; nothing when it has
    // none (a virtual disk, a query that fails).
    std::optional<DriveLayout> SystemLayout();
    std::int32_t PartitionCount(int kind) const;
    mPart* GetPartition(int number, bool byPosition);
    // A space when virtual or when there is no such primary; 0 without letter.
    char DriveLetterOf(int number);
    bool IsExtendedType(std::uint32_t type) const { return partam::IsExtendedType(type); }
    bool IsMountableType(std::uint32_t type) const { return partam::IsMountableType(type); }

    // --- How the selected drive names itself.
    std::string BusName();
    const std::string& DeviceDescription();

    // --- Sectors of the selected disk, all through its device.
    // Each returns 0 or its failure (506 a read, 505 a write).
    [[nodiscard]] int ReadSectors(void* buffer, std::uint64_t lba, std::uint32_t count);
    [[nodiscard]] int WriteSectors(const void* buffer, std::uint64_t lba, std::uint32_t count);
    // Writes a new sector 0 and, when it was written, keeps it as the copy.
    [[nodiscard]] int WriteSector0(SectorView sector);
    [[nodiscard]] bool Flush() { return load_.device->Flush(); }
    // The first sector at or after lba that may hold data (see SectorDevice).
    bool NextData(std::uint64_t lba, std::uint64_t& next) { return load_.device->NextData(lba, next); }
    // Once a command is done with the selected disk, and before another is
    // selected: when anything was written to it, what was written is put on
    // the medium and the system is told of the table the disk now holds.
    // A failed flush is a failed write (505, recorded); a system that could
    // not be told has been warned about and changes no result. A writer that
    // changed no table (a copy of sector 0 kept aside) need not tell it.
    [[nodiscard]] int FinishWrites(bool tell = true);
    // Has the system read the selected drive's size and layout again, once a
    // partition was added (see Platform::UpdateDiskProperties); false when
    // it could not be asked.
    bool UpdateProperties() { return load_.device->UpdateProperties(); }

    // --- What loading the selected disk found: it could not be selected or
    // read, or its table is damaged. The first found wins, and each load
    // starts afresh. Whether it stops a command is the command's to decide
    // (/ignore lets one go on past it); what a write did is never kept here:
    // each write returns its own result to the command that made it.
    int Problem() const { return load_.problem; }

    Platform& GetPlatform() const { return platform_; }

private:
    void CountDisks();
    int OpenSelected();
    int Refuse(int code, const std::string& why);
    void ForgetDisk();
    void Found(int code);
    void KeepLoad();
    bool TakeKept(int index);
    void ReadDiskInfo();
    void ReadTable();
    void ReadLabels();
    TableSource Source();

    Platform& platform_;
    TableReaders readers_;
    VirtualDiskOpener opener_;

    DriveAccess access_;
    std::array<int, kMaxDrives> diskTable_{};
    // Why each disk index may not be used this run; 0 while it may.
    std::array<int, kMaxDrives> refused_{};
    int diskCount_ = 0;
    int currentIndex_ = -1;
    std::string devicePath_;
    std::string virtualPath_;
    bool isVirtual_ = false;
    std::string virtualInterface_;
    std::string virtualDescription_;

    std::string description_;

    bool written_ = false;   // since the last FinishWrites
    bool keepable_ = false;  // the load is still what the disk holds
    // What loading the selected disk read. A drive's load is kept while
    // another disk is selected, so that selecting it again reads nothing: a
    // run reads each disk once (unless a command asks for it anew, or wrote
    // to it since).
    struct Load {
        std::unique_ptr<SectorFile> driveFile;
        std::unique_ptr<SectorDevice> device;
        bool mediaPresent = true;
        bool notReady = false;
        bool signatureValid = false;
        TableKind tableKind = TableKind::None;
        BootFileSystem superFloppy = BootFileSystem::None;
        std::uint32_t mediaType = 0;
        DiskGeometryFields geometry;
        std::uint64_t totalSectors = 0;
        std::uint64_t totalBytes = 0;
        Sector sector0{};
        bool sector0Read = false;
        std::array<std::uint8_t, 4> diskSignature{};
        std::unique_ptr<PartitionTable> table;
        int tableProblem = 0;
        int activePartition = -1;
        int problem = 0;
    };
    Load load_;
    std::array<std::unique_ptr<Load>, kMaxDrives> kept_;
};

}  // namespace partam
