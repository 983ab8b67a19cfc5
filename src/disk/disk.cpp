#include "disk/disk.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"

namespace partam {

namespace {

constexpr int kErrorMbrWrite = 505;
constexpr int kErrorMbrRead = 506;
constexpr int kErrorInvalidDisk = 511;
constexpr int kErrorCorruptTable = 513;
constexpr int kErrorNoDisk = 515;
constexpr int kErrorNoVirtualFile = 565;
constexpr int kErrorNotVirtualDisk = 566;

bool BytesEqual(const std::uint8_t* p, const char* text) {
    return std::memcmp(p, text, std::strlen(text)) == 0;
}

}  // namespace

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
        default:
            return "None";
    }
}

mDisk::mDisk(Platform& platform, int initialIndex, bool ignore, TableReaders readers)
    : ignoreErrors(ignore ? 1 : 0), platform_(platform), readers_(std::move(readers)) {
    driveFile_ = std::make_unique<SectorFile>(platform_);
    currentFile = driveFile_.get();
    device_ = std::make_unique<FileSectorDevice>(*driveFile_);
    CountDisks();
    if (diskCount > 0 && initialIndex >= 0) Use(initialIndex);
}

mDisk::~mDisk() = default;

void mDisk::CountDisks() {
    diskCount = 0;
    for (int n = 0; n < kMaxDrives; ++n) {
        currentFile->Close();
        devicePath = DevicePath(n, true);
        if (currentFile->OpenDrive(devicePath)) diskTable[static_cast<std::size_t>(diskCount++)] = n;
        currentFile->Close();
    }
    if (diskCount == 0) SetError(kErrorNoDisk, 0);
}

std::string mDisk::DevicePath(int value, bool valueIsDriveNumber) const {
    int number = value;
    if (!valueIsDriveNumber)
        number = (value >= 0 && value < kMaxDrives) ? diskTable[static_cast<std::size_t>(value)] : -1;
    return Format("\\\\.\\PhysicalDrive%d", number);
}

void mDisk::Use(int index) {
    if (index < 0 || index > diskCount - 1) {
        SetError(kErrorInvalidDisk, index);
        return;
    }
    // The selected drive is not read again; but a virtual disk chosen since
    // stands in for it, so returning to that drive must reopen it.
    if (index == currentIndex && !isVirtual) return;
    currentIndex = index;
    // Leaving a virtual disk returns to the drive's own file.
    currentFile = driveFile_.get();
    currentFile->Close();
    device_ = std::make_unique<FileSectorDevice>(*driveFile_);
    virtualPath.clear();
    devicePath = DevicePath(index, false);
    currentFile->OpenDrive(devicePath);
    isVirtual = 0;
    Reload(true);
}

void mDisk::UseVirtual(const std::string& path) {
    if (!FileExists(platform_, path)) {
        SetError(kErrorNoVirtualFile, 0);
        return;
    }
    isVirtual = 1;
    virtualPath = path;
    currentFile->Close();
    // Virtual disk files are not read yet: such a file is not usable.
    SetError(kErrorNotVirtualDisk, currentIndex);
}

void mDisk::Reload(bool reread) {
    mediaPresent = 1;
    signatureValid = 1;
    isGpt = 0;
    notReady = 0;
    activePartition = -1;
    if (reread) ReadDiskInfo();

    partitions.reset();
    diskSignature.fill(0);
    if (signatureValid) std::copy(sector0.begin() + 440, sector0.begin() + 444, diskSignature.begin());

    tableValid = 1;
    if (sector0[450] == 0xEE) {
        tableKind = TableKind::Gpt;
        tableKindName = TableKindName(tableKind);
        isGpt = 1;
        if (readers_.gpt) partitions = readers_.gpt(*this);
        return;
    }
    if (readers_.mbr) partitions = readers_.mbr(*this);
    if (!tableValid) {
        SetError(kErrorCorruptTable, currentIndex);
        return;
    }
    for (int i = 1; i <= PartitionCount(2); ++i) {
        mPart* p = GetPartition(i, true);
        if (p && p->active) activePartition = i;
    }
}

void mDisk::ReadDiskInfo() {
    GeometryResult g;
    g.mediaType = mediaType;
    if (ReadGeometry(platform_, currentFile->Handle(), g)) {
        mediaPresent = 0;
        g.mediaType = kRemovableMedia;
        notReady = 1;
    }
    cylinders = g.cylinders;
    tracksPerCylinder = g.tracksPerCylinder;
    sectorsPerTrack = g.sectorsPerTrack;
    mediaType = g.mediaType;
    totalSectors = g.totalSectors;
    totalBytes = g.totalBytes;

    sector0.fill(0);
    mbrSector = 0;
    if (!device_->ReadSectors(0, 1, sector0.data())) sector0.fill(0);
    superFloppyFs = 0;
    if (mediaType == kRemovableMedia) {
        if (BytesEqual(&sector0[3], "NTFS"))
            superFloppyFs = 1;
        else if (BytesEqual(&sector0[54], "FAT16"))
            superFloppyFs = 2;
        else if (BytesEqual(&sector0[82], "FAT32"))
            superFloppyFs = 3;
    }
    if (sector0[0] == 0x33 && sector0[1] == 0xC0)
        tableKind = TableKind::Mbr;
    else if (sector0[0] == 0xEB && sector0[1] == 0x58)
        tableKind = TableKind::BootSector;
    else if (superFloppyFs != 0)
        tableKind = TableKind::SuperFloppy;
    else
        tableKind = TableKind::None;
    tableKindName = TableKindName(tableKind);
    if (!(sector0[510] == 0x55 && sector0[511] == 0xAA)) signatureValid = 0;
}

std::int32_t mDisk::PartitionCount(int kind) const {
    return partitions ? partitions->PartitionCount(kind) : 0;
}

mPart* mDisk::GetPartition(int number, bool byPosition) {
    return partitions ? partitions->GetPartition(number, byPosition) : nullptr;
}

char mDisk::DriveLetterOf(int number) {
    if (isVirtual) return ' ';
    const mPart* p = GetPartition(number, false);
    return p ? p->driveLetter : ' ';
}

std::string mDisk::BusName() {
    if (currentIndex >= 0) {
        if (auto id = platform_.IdentifyDrive(diskTable[static_cast<std::size_t>(currentIndex)]))
            return id->bus;
    }
    return RegistryDeviceInfo(platform_, static_cast<std::uint32_t>(currentIndex), 0, description);
}

const std::string& mDisk::DeviceDescription() {
    if (currentIndex < 0) return description;
    if (auto id = platform_.IdentifyDrive(diskTable[static_cast<std::size_t>(currentIndex)])) {
        description = CutDescription(id->bus, id->description);
        return description;
    }
    // A failed lookup leaves what the field held: the bus name.
    description = BusName();
    description = CutDescription(
        description, RegistryDeviceInfo(platform_, static_cast<std::uint32_t>(currentIndex), 3, description));
    return description;
}

Chs mDisk::LbaToChs(std::uint32_t lba) const {
    return partam::LbaToChs(lba, tracksPerCylinder, sectorsPerTrack);
}

int mDisk::ReadSector(std::uint64_t lba, std::uint8_t* buffer) {
    return device_->ReadSectors(lba, 1, buffer) ? 0 : kErrorMbrRead;
}

int mDisk::WriteSectors(std::uint64_t lba, std::uint32_t count, const std::uint8_t* buffer) {
    const int code = device_->WriteSectors(lba, count, buffer) ? 0 : kErrorMbrWrite;
    SetError(code, 0);
    return code;
}

int mDisk::WriteSector0() { return WriteSectors(mbrSector, 1, sector0.data()); }

int mDisk::SetError(int code, int parameter) {
    if (code == 1) {
        errorCode = 0;
        errorParameter = 0;
    } else if (code != 0 && errorCode == 0 && !ignoreErrors) {
        errorCode = static_cast<std::uint32_t>(code);
        errorParameter = static_cast<std::uint32_t>(parameter);
    }
    return static_cast<int>(errorCode);
}

}  // namespace partam
