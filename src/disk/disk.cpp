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

struct mDisk::Kept {
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

void mDisk::SwapLoad(Kept& k) {
    std::swap(driveFile_, k.driveFile);
    std::swap(device_, k.device);
    std::swap(mediaPresent_, k.mediaPresent);
    std::swap(notReady_, k.notReady);
    std::swap(signatureValid_, k.signatureValid);
    std::swap(tableKind_, k.tableKind);
    std::swap(superFloppy_, k.superFloppy);
    std::swap(mediaType_, k.mediaType);
    std::swap(geometry_, k.geometry);
    std::swap(totalSectors_, k.totalSectors);
    std::swap(totalBytes_, k.totalBytes);
    std::swap(sector0_, k.sector0);
    std::swap(sector0Read_, k.sector0Read);
    std::swap(diskSignature_, k.diskSignature);
    std::swap(table_, k.table);
    std::swap(tableProblem_, k.tableProblem);
    std::swap(activePartition_, k.activePartition);
    std::swap(problem_, k.problem);
}

// Only a drive's whole load, as its sectors still are, is kept: not a
// virtual disk's, not a refused drive's, not one written to since.
void mDisk::KeepLoad() {
    if (currentIndex_ < 0 || isVirtual_ || !driveFile_ || !keepable_ ||
        refused_[static_cast<std::size_t>(currentIndex_)] != 0)
        return;
    auto kept = std::make_unique<Kept>();
    SwapLoad(*kept);
    kept_[static_cast<std::size_t>(currentIndex_)] = std::move(kept);
}

bool mDisk::TakeKept(int index) {
    std::unique_ptr<Kept>& kept = kept_[static_cast<std::size_t>(index)];
    if (!kept) return false;
    SwapLoad(*kept);
    kept.reset();
    keepable_ = true;
    return true;
}

mDisk::mDisk(Platform& platform, int initialIndex, TableReaders readers, VirtualDiskOpener opener,
             DriveAccess access)
    : platform_(platform), readers_(std::move(readers)), opener_(std::move(opener)), access_(access) {
    driveFile_ = std::make_unique<SectorFile>(platform_);
    device_ = std::make_unique<DriveDevice>(platform_, *driveFile_, 0);
    CountDisks();
    if (diskCount_ > 0 && initialIndex >= 0) Use(initialIndex);
}

mDisk::~mDisk() = default;

void mDisk::CountDisks() {
    diskCount_ = 0;
    for (int n = 0; n < kMaxDrives; ++n) {
        driveFile_->Close();
        devicePath_ = DevicePath(n, true);
        if (driveFile_->OpenDrive(devicePath_, DriveAccess::Read) == SectorFile::DriveOpen::Opened)
            diskTable_[static_cast<std::size_t>(diskCount_++)] = n;
        driveFile_->Close();
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
        problem_ = kInvalidDisk;
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
    problem_ = 0;
    if (!driveFile_) driveFile_ = std::make_unique<SectorFile>(platform_);
    driveFile_->Close();
    device_ = std::make_unique<DriveDevice>(platform_, *driveFile_, static_cast<std::uint32_t>(index));
    if (const int refusal = OpenSelected(); refusal != 0) {
        driveFile_->Close();
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
    const SectorFile::DriveOpen opened = driveFile_->OpenDrive(devicePath_, access_);
    if (opened == SectorFile::DriveOpen::InUse)
        return Refuse(kSectorWriteFailed, "is in use: another program is writing to it");
    GeometryResult g;
    if (opened == SectorFile::DriveOpen::Opened && device_->QueryGeometry(g) && g.bytesPerSector != 0 &&
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
    mediaPresent_ = false;
    notReady_ = true;
    signatureValid_ = false;
    tableKind_ = TableKind::None;
    superFloppy_ = BootFileSystem::None;
    geometry_ = {};
    totalSectors_ = 0;
    totalBytes_ = 0;
    sector0_.fill(0);
    sector0Read_ = false;
    diskSignature_ = {};
    table_.reset();
    tableProblem_ = 0;
    activePartition_ = -1;
}

int mDisk::UseVirtual(const std::string& path) {
    if (!FileExists(platform_, path)) {
        problem_ = kVdiskFileMissing;
        return kVdiskFileMissing;
    }
    VirtualDiskOpening opened;
    if (opener_) opened = opener_(platform_, path);
    if (opened.code != 0 || !opened.device) {
        const int code = opened.code != 0 ? opened.code : static_cast<int>(kVdiskNotVmwareFile);
        problem_ = code;
        return code;
    }
    // The drive's load is kept beside it; Use returns to it.
    static_cast<void>(FinishWrites());
    KeepLoad();
    problem_ = 0;
    device_ = std::move(opened.device);
    isVirtual_ = true;
    virtualPath_ = path;
    virtualInterface_ = std::move(opened.interfaceText);
    virtualDescription_ = std::move(opened.description);
    Reload(true);
    return 0;
}

void mDisk::Reload(bool reread) {
    if (reread) keepable_ = true;
    mediaPresent_ = true;
    notReady_ = false;
    activePartition_ = -1;
    if (reread) ReadDiskInfo();
    ReadTable();
    ReadLabels();
}

int mDisk::LoadTableFrom(std::uint64_t lba) {
    problem_ = 0;
    keepable_ = false;  // the copy of sector 0 holds another sector now
    if (!device_->ReadSectors(sector0_.data(), lba, 1)) sector0_.fill(0);
    if (!HasBootSignature(sector0_)) {
        Found(kNoMbrHere);
        return kNoMbrHere;
    }
    Reload(false);
    return 0;
}

void mDisk::ReadDiskInfo() {
    GeometryResult g;
    g.mediaType = mediaType_;
    if (!device_->QueryGeometry(g)) {
        mediaPresent_ = false;
        g.mediaType = kRemovableMedia;
        notReady_ = true;
    }
    geometry_ = {g.cylinders, g.tracksPerCylinder, g.sectorsPerTrack};
    mediaType_ = g.mediaType;
    totalSectors_ = g.totalSectors;
    totalBytes_ = g.totalBytes;

    // A sector 0 that cannot be read whole reads as zeros, never in part. On
    // a disk with a medium that is a failure, not an empty disk: a command
    // that took the zeros for the disk's MBR would write them back over it.
    sector0Read_ = device_->ReadSectors(sector0_.data(), 0, 1);
    if (!sector0Read_) {
        sector0_.fill(0);
        if (mediaPresent_) Found(kMbrReadFailed);
    }
    superFloppy_ = IsRemovable() ? ProbeBootFileSystem(sector0_) : BootFileSystem::None;
    if (sector0_[0] == 0x33 && sector0_[1] == 0xC0)
        tableKind_ = TableKind::Mbr;
    else if (sector0_[0] == 0xEB && sector0_[1] == 0x58)
        tableKind_ = TableKind::BootSector;
    else if (superFloppy_ != BootFileSystem::None)
        tableKind_ = TableKind::SuperFloppy;
    else
        tableKind_ = TableKind::None;
}

TableSource mDisk::Source() {
    TableSource source;
    source.read = [this](std::uint64_t lba, std::uint8_t* sector) {
        return device_->ReadSectors(sector, lba, 1);
    };
    source.readRun = [this](std::uint64_t lba, std::uint32_t count, std::uint8_t* buffer) {
        return device_->ReadSectors(buffer, lba, count);
    };
    source.sector0 = sector0_;
    source.totalSectors = totalSectors_;
    source.mediaPresent = mediaPresent_;
    source.removable = IsRemovable();
    source.superFloppy = superFloppy_;
    // The system's view decides only on removable media; a fixed disk is not
    // asked for it.
    if (source.mediaPresent && (source.removable || superFloppy_ != BootFileSystem::None)) {
        DriveLayout layout(0, kNoFile);
        if (device_->QueryLayout(layout)) source.layout = layout;
    }
    return source;
}

// The table is read by the reader of its kind, which reports what it found;
// a discrepancy becomes this disk's error.
void mDisk::ReadTable() {
    table_.reset();
    tableProblem_ = 0;
    signatureValid_ = HasBootSignature(sector0_);
    diskSignature_ = signatureValid_ ? DiskSignatureBytes(sector0_) : std::array<std::uint8_t, 4>{};
    const bool gpt = ReadSlot(sector0_, 0).TypeByte() == kProtectiveType;
    if (gpt) tableKind_ = TableKind::Gpt;
    const TableReader& reader = gpt ? readers_.gpt : readers_.mbr;
    if (reader) table_ = reader(Source());
    if (table_) tableProblem_ = table_->Problem();
    if (tableProblem_ != 0) {
        Found(tableProblem_);
        return;
    }
    for (int i = 1; i <= PartitionCount(2); ++i) {
        mPart* p = GetPartition(i, true);
        if (!p) continue;
        if (p->active) activePartition_ = i;
        // Only the volumes of an MBR disk's mountable partitions have letters.
        if (gpt || isVirtual_ || !IsMountableType(p->type)) continue;
        const auto match =
            FindDriveLetter(platform_, static_cast<std::uint32_t>(currentIndex_), diskSignature_, p->start);
        p->driveLetter = match ? match->letter : 0;
        p->volumeName = match ? match->volumeName : std::string();
    }
}

std::optional<DriveLayout> mDisk::SystemLayout() {
    DriveLayout layout(static_cast<std::uint32_t>(std::max(currentIndex_, 0)), kNoFile);
    if (!device_->QueryLayout(layout)) return std::nullopt;
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

std::int32_t mDisk::PartitionCount(int kind) const { return table_ ? table_->PartitionCount(kind) : 0; }

mPart* mDisk::GetPartition(int number, bool byPosition) {
    return table_ ? table_->GetPartition(number, byPosition) : nullptr;
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
    return partam::LbaToChs(lba, geometry_.tracksPerCylinder, geometry_.sectorsPerTrack);
}

int mDisk::ReadSectors(void* buffer, std::uint64_t lba, std::uint32_t count) {
    return device_->ReadSectors(buffer, lba, count) ? 0 : kMbrReadFailed;
}

// A write that failed may still have changed the disk in part, so it counts
// as written too.
int mDisk::WriteSectors(const void* buffer, std::uint64_t lba, std::uint32_t count) {
    written_ = true;
    keepable_ = false;
    return device_->WriteSectors(buffer, lba, count) ? 0 : kSectorWriteFailed;
}

int mDisk::FinishWrites(bool tell) {
    if (!written_) return 0;
    written_ = false;
    const int code = device_->Flush() ? 0 : kSectorWriteFailed;
    if (tell) device_->AnnounceTableChange();
    return code;
}

int mDisk::WriteSector0(SectorView sector) {
    const int code = WriteSectors(sector.data(), 0, 1);
    if (code == 0) {
        std::copy(sector.begin(), sector.end(), sector0_.begin());
        sector0Read_ = true;
    }
    return code;
}

void mDisk::Found(int code) {
    if (problem_ == 0) problem_ = code;
}

}  // namespace partam
