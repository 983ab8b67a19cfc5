#include "disk/disk.h"

#include <algorithm>

#include "base/result_codes.h"
#include "base/text.h"
#include "disk/drive_letters.h"

namespace partam {

const char* TableKindName(TableKind kind) {
    switch (kind) {
        case TableKind::Mbr:
            return "MBR";
        case TableKind::Gpt:
            return "GPT";
        case TableKind::BootSector:
            return "BootSector";
        case TableKind::SuperFloppy:
            return "SuperFloppy";
        case TableKind::None:
            break;
    }
    return "None";
}

// Only a drive's whole load, as its sectors still are, is kept: not a
// virtual disk's, not a refused drive's, not one written to since.
void mDisk::KeepLoad() {
    if (currentIndex_ < 0 || isVirtual_ || !load_.driveFile || !keepable_ ||
        refused_[static_cast<std::size_t>(currentIndex_)] != 0)
        return;
    kept_[static_cast<std::size_t>(currentIndex_)] = std::make_unique<Load>(std::move(load_));
    load_ = Load{};
}

bool mDisk::TakeKept(int index) {
    std::unique_ptr<Load>& kept = kept_[static_cast<std::size_t>(index)];
    if (!kept) return false;
    load_ = std::move(*kept);
    kept.reset();
    keepable_ = true;
    return true;
}

mDisk::mDisk(Platform& platform, int initialIndex, TableReaders readers, VirtualDiskOpener opener,
             DriveAccess access)
    : platform_(platform), readers_(std::move(readers)), opener_(std::move(opener)), access_(access) {
    load_.driveFile = std::make_unique<SectorFile>(platform_);
    load_.device = std::make_unique<DriveDevice>(platform_, *load_.driveFile, 0);
    CountDisks();
    if (diskCount_ > 0 && initialIndex >= 0) Use(initialIndex);
}

mDisk::~mDisk() = default;

void mDisk::CountDisks() {
    diskCount_ = 0;
    for (int n = 0; n < kMaxDrives; ++n) {
        load_.driveFile->Close();
        devicePath_ = DevicePath(n, true);
        if (load_.driveFile->OpenDrive(devicePath_, DriveAccess::Read) == SectorFile::DriveOpen::Opened)
            diskTable_[static_cast<std::size_t>(diskCount_++)] = n;
        load_.driveFile->Close();
    }
    if (diskCount_ == 0) Found(kNoDisk);
}

int mDisk::DriveNumberOf(int index) const {
    return (index >= 0 && index < diskCount_) ? diskTable_[static_cast<std::size_t>(index)] : -1;
}

std::string mDisk::DevicePath(int value, bool valueIsDriveNumber) const {
    const int number = valueIsDriveNumber ? value : DriveNumberOf(value);
    return Format("\\\\.\\PhysicalDrive%d", number);
}

int mDisk::Use(int index, bool force) {
    // The selected drive is not read again unless asked.
    if (index == currentIndex_ && !isVirtual_ && !force && index >= 0)
        return refused_[static_cast<std::size_t>(index)];
    if (index < 0 || index >= diskCount_) {
        load_.problem = kInvalidDisk;
        return kInvalidDisk;
    }
    // Every command finishes its own writes, and takes their result, before
    // it selects another disk; this only makes sure nothing stays unflushed.
    static_cast<void>(FinishWrites());
    KeepLoad();
    currentIndex_ = index;
    isVirtual_ = false;
    virtualPath_.clear();
    devicePath_ = DevicePath(index, false);
    if (force) kept_[static_cast<std::size_t>(index)].reset();
    if (TakeKept(index)) return 0;
    load_.problem = 0;
    if (!load_.driveFile) load_.driveFile = std::make_unique<SectorFile>(platform_);
    load_.driveFile->Close();
    load_.device =
        std::make_unique<DriveDevice>(platform_, *load_.driveFile, static_cast<std::uint32_t>(index));
    if (const int refusal = OpenSelected(); refusal != 0) {
        load_.driveFile->Close();
        ForgetDisk();
        return refusal;
    }
    Reload(true);
    return 0;
}

// Opens the selected drive. One that does not open reads as one without a
// medium; one that may not be used is refused before any of its sectors
// is read: every offset here is a sector number times 512, which on a disk
// of larger sectors would land elsewhere than meant.
int mDisk::OpenSelected() {
    const int known = refused_[static_cast<std::size_t>(currentIndex_)];
    if (known != 0) return known;
    const SectorFile::DriveOpen opened = load_.driveFile->OpenDrive(devicePath_, access_);
    if (opened == SectorFile::DriveOpen::InUse)
        return Refuse(kSectorWriteFailed, "is in use: another program is writing to it");
    GeometryResult g;
    if (opened == SectorFile::DriveOpen::Opened && load_.device->QueryGeometry(g) && g.bytesPerSector != 0 &&
        g.bytesPerSector != kSectorSize)
        return Refuse(kNoDisk, Format("has %u-byte sectors; only disks of 512-byte sectors are used",
                                      static_cast<unsigned>(g.bytesPerSector)));
    return 0;
}

int mDisk::Refuse(int code, const std::string& why) {
    refused_[static_cast<std::size_t>(currentIndex_)] = code;
    const std::string name = DeviceDescription();
    platform_.WriteErrorLine(Format("partam: disk %d", currentIndex_) +
                             (name.empty() ? "" : " (" + name + ")") + " " + why);
    return code;
}

// A refused disk shows nothing: no medium, no table, no sectors.
void mDisk::ForgetDisk() {
    load_.mediaPresent = false;
    load_.notReady = true;
    load_.signatureValid = false;
    load_.tableKind = TableKind::None;
    load_.superFloppy = BootFileSystem::None;
    load_.geometry = {};
    load_.totalSectors = 0;
    load_.totalBytes = 0;
    load_.sector0.fill(0);
    load_.sector0Read = false;
    load_.diskSignature = {};
    load_.table.reset();
    load_.tableProblem = 0;
    load_.activePartition = -1;
}

int mDisk::UseVirtual(const std::string& path) {
    if (!FileExists(platform_, path)) {
        load_.problem = kVdiskFileMissing;
        return kVdiskFileMissing;
    }
    VirtualDiskOpening opened;
    if (opener_) opened = opener_(platform_, path);
    if (opened.code != 0 || !opened.device) {
        const int code = opened.code != 0 ? opened.code : static_cast<int>(kVdiskNotVmwareFile);
        load_.problem = code;
        return code;
    }
    // The drive's load is kept beside it; Use returns to it.
    static_cast<void>(FinishWrites());
    KeepLoad();
    load_.problem = 0;
    load_.device = std::move(opened.device);
    isVirtual_ = true;
    virtualPath_ = path;
    virtualInterface_ = std::move(opened.interfaceText);
    virtualDescription_ = std::move(opened.description);
    Reload(true);
    return 0;
}

void mDisk::Reload(bool reread) {
    if (reread) keepable_ = true;
    load_.mediaPresent = true;
    load_.notReady = false;
    load_.activePartition = -1;
    if (reread) ReadDiskInfo();
    ReadTable();
    ReadLabels();
}

int mDisk::LoadTableFrom(std::uint64_t lba) {
    load_.problem = 0;
    keepable_ = false;  // the copy of sector 0 holds another sector now
    if (!load_.device->ReadSectors(load_.sector0.data(), lba, 1)) load_.sector0.fill(0);
    if (!HasBootSignature(load_.sector0)) {
        Found(kNoMbrHere);
        return kNoMbrHere;
    }
    Reload(false);
    return 0;
}

void mDisk::ReadDiskInfo() {
    GeometryResult g;
    g.mediaType = load_.mediaType;
    if (!load_.device->QueryGeometry(g)) {
        load_.mediaPresent = false;
        g.mediaType = kRemovableMedia;
        load_.notReady = true;
    }
    load_.geometry = {g.cylinders, g.tracksPerCylinder, g.sectorsPerTrack};
    load_.mediaType = g.mediaType;
    load_.totalSectors = g.totalSectors;
    load_.totalBytes = g.totalBytes;

    // A sector 0 that cannot be read whole reads as zeros, never in part. On
    // a disk with a medium that is a failure, not an empty disk: a command
    // that took the zeros for the disk's MBR would write them back over it.
    load_.sector0Read = load_.device->ReadSectors(load_.sector0.data(), 0, 1);
    if (!load_.sector0Read) {
        load_.sector0.fill(0);
        if (load_.mediaPresent) Found(kMbrReadFailed);
    }
    load_.superFloppy = IsRemovable() ? ProbeBootFileSystem(load_.sector0) : BootFileSystem::None;
    if (load_.sector0[0] == 0x33 && load_.sector0[1] == 0xC0)
        load_.tableKind = TableKind::Mbr;
    else if (load_.sector0[0] == 0xEB && load_.sector0[1] == 0x58)
        load_.tableKind = TableKind::BootSector;
    else if (load_.superFloppy != BootFileSystem::None)
        load_.tableKind = TableKind::SuperFloppy;
    else
        load_.tableKind = TableKind::None;
}

TableSource mDisk::Source() {
    TableSource source;
    source.read = [this](std::uint64_t lba, std::uint8_t* sector) {
        return load_.device->ReadSectors(sector, lba, 1);
    };
    source.readRun = [this](std::uint64_t lba, std::uint32_t count, std::uint8_t* buffer) {
        return load_.device->ReadSectors(buffer, lba, count);
    };
    source.sector0 = load_.sector0;
    source.totalSectors = load_.totalSectors;
    source.mediaPresent = load_.mediaPresent;
    source.removable = IsRemovable();
    source.superFloppy = load_.superFloppy;
    // The system's view decides only on removable media; a fixed disk is not
    // asked for it.
    if (source.mediaPresent && (source.removable || load_.superFloppy != BootFileSystem::None)) {
        DriveLayout layout(0, kNoFile);
        if (load_.device->QueryLayout(layout)) source.layout = layout;
    }
    return source;
}

// The table is read by the reader of its kind, which reports what it found;
// a discrepancy becomes this disk's error.
void mDisk::ReadTable() {
    load_.table.reset();
    load_.tableProblem = 0;
    load_.signatureValid = HasBootSignature(load_.sector0);
    load_.diskSignature =
        load_.signatureValid ? DiskSignatureBytes(load_.sector0) : std::array<std::uint8_t, 4>{};
    const bool gpt = ReadSlot(load_.sector0, 0).TypeByte() == kProtectiveType;
    if (gpt) load_.tableKind = TableKind::Gpt;
    const TableReader& reader = gpt ? readers_.gpt : readers_.mbr;
    if (reader) load_.table = reader(Source());
    if (load_.table) load_.tableProblem = load_.table->Problem();
    if (load_.tableProblem != 0) {
        Found(load_.tableProblem);
        return;
    }
    for (int i = 1; i <= PartitionCount(2); ++i) {
        mPart* p = GetPartition(i, true);
        if (!p) continue;
        if (p->active) load_.activePartition = i;
        // Only the volumes of an MBR disk's mountable partitions have letters.
        if (gpt || isVirtual_ || !IsMountableType(p->type)) continue;
        const auto match = FindDriveLetter(platform_, static_cast<std::uint32_t>(currentIndex_),
                                           load_.diskSignature, p->start);
        p->driveLetter = match ? match->letter : 0;
        p->volumeName = match ? match->volumeName : std::string();
    }
}

std::optional<DriveLayout> mDisk::SystemLayout() {
    DriveLayout layout(static_cast<std::uint32_t>(std::max(currentIndex_, 0)), kNoFile);
    if (!load_.device->QueryLayout(layout)) return std::nullopt;
    return layout;
}

// Every partition's label is read anew with the table, MBR and GPT alike;
// none is kept from an earlier reading of the disk.
void mDisk::ReadLabels() {
    for (int i = 1; i <= PartitionCount(2); ++i) {
        mPart* p = GetPartition(i, true);
        if (p) p->volumeLabel = readers_.label ? readers_.label(*this, *p) : std::string();
    }
}

std::int32_t mDisk::PartitionCount(int kind) const {
    return load_.table ? load_.table->PartitionCount(kind) : 0;
}

mPart* mDisk::GetPartition(int number, bool byPosition) {
    return load_.table ? load_.table->GetPartition(number, byPosition) : nullptr;
}

char mDisk::DriveLetterOf(int number) {
    if (isVirtual_) return ' ';
    const mPart* p = GetPartition(number, false);
    return p ? p->driveLetter : ' ';
}

std::string mDisk::BusName() {
    if (isVirtual_) return virtualInterface_;
    if (currentIndex_ >= 0) {
        if (auto id = platform_.IdentifyDrive(DriveNumberOf(currentIndex_))) return id->bus;
    }
    return RegistryDeviceInfo(platform_, static_cast<std::uint32_t>(currentIndex_), 0, description_);
}

const std::string& mDisk::DeviceDescription() {
    if (isVirtual_) description_ = virtualDescription_;
    if (isVirtual_ || currentIndex_ < 0) return description_;
    if (auto id = platform_.IdentifyDrive(DriveNumberOf(currentIndex_))) {
        description_ = CutDescription(id->bus, id->description);
        return description_;
    }
    // A failed lookup leaves what the field held: the bus name.
    description_ = BusName();
    description_ = CutDescription(
        description_,
        RegistryDeviceInfo(platform_, static_cast<std::uint32_t>(currentIndex_), 3, description_));
    return description_;
}

Chs mDisk::LbaToChs(std::uint32_t lba) const {
    return partam::LbaToChs(lba, load_.geometry.tracksPerCylinder, load_.geometry.sectorsPerTrack);
}

int mDisk::ReadSectors(void* buffer, std::uint64_t lba, std::uint32_t count) {
    return load_.device->ReadSectors(buffer, lba, count) ? 0 : kMbrReadFailed;
}

// A write that failed may still have changed the disk in part, so it counts
// as written too.
int mDisk::WriteSectors(const void* buffer, std::uint64_t lba, std::uint32_t count) {
    written_ = true;
    keepable_ = false;
    return load_.device->WriteSectors(buffer, lba, count) ? 0 : kSectorWriteFailed;
}

int mDisk::FinishWrites(bool tell) {
    if (!written_) return 0;
    written_ = false;
    const int code = load_.device->Flush() ? 0 : kSectorWriteFailed;
    if (tell) load_.device->AnnounceTableChange();
    return code;
}

int mDisk::WriteSector0(SectorView sector) {
    const int code = WriteSectors(sector.data(), 0, 1);
    if (code == 0) {
        std::copy(sector.begin(), sector.end(), load_.sector0.begin());
        load_.sector0Read = true;
    }
    return code;
}

void mDisk::Found(int code) {
    if (load_.problem == 0) load_.problem = code;
}

}  // namespace partam
