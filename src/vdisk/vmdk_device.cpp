#include "vdisk/vmdk_device.h"

#include <algorithm>
#include <cstring>

#include "base/result_codes.h"

namespace partam {

namespace {

constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;
// Directory and table entries are 32-bit sector numbers: nothing is placed
// past the sector they can name.
constexpr std::uint64_t kLastEntrySector = 0xFFFFFFFFu;

bool AllZero(const std::uint8_t* bytes, std::size_t count) {
    return std::all_of(bytes, bytes + count, [](std::uint8_t b) { return b == 0; });
}

std::size_t Bytes(std::uint64_t sectors) { return static_cast<std::size_t>(sectors * kSectorSize); }

}  // namespace

struct VmdkDevice::Extent {
    ExtentLine line;
    std::string path;
    std::uint64_t first = 0;  // its first sector on the virtual disk
    std::unique_ptr<SectorFile> file;
    bool readOnly = false;  // the file opens for reading alone
    bool written = false;   // since the file was last flushed
    std::uint64_t lastUse = 0;
    // A sparse extent's header, its directories and the sector where its
    // file ends, where the next grain or table goes.
    SparseHeader header;
    SparseLayout layout;
    std::vector<std::uint32_t> directory;
    std::vector<std::uint32_t> redundant;
    std::uint64_t end = 0;
};

VmdkDevice::VmdkDevice(Platform& platform) : platform_(platform) {}
VmdkDevice::~VmdkDevice() = default;

int VmdkDevice::Open(Platform& platform, const std::vector<ExtentPlan>& plans, const VmdkGeometry& geometry,
                     std::unique_ptr<VmdkDevice>& device) {
    std::unique_ptr<VmdkDevice> d(new VmdkDevice(platform));
    d->geometry_ = geometry;
    d->extents_.reserve(plans.size());
    for (const ExtentPlan& plan : plans) {
        if (const int code = d->AddExtent(plan); code != 0) return code;
    }
    device = std::move(d);
    return 0;
}

int VmdkDevice::AddExtent(const ExtentPlan& plan) {
    Extent& e = extents_.emplace_back();
    e.line = plan.line;
    e.path = plan.path;
    e.first = totalSectors_;
    e.file = std::make_unique<SectorFile>(platform_);
    totalSectors_ += plan.line.sectors;
    if (e.line.kind == ExtentKind::Zero) return 0;
    SectorFile* file = FileOf(e);
    if (!file) return kVdiskExtentOpenFailed;
    if (e.line.kind == ExtentKind::Sparse) return CheckSparse(e);
    return e.line.offset + e.line.sectors <= file->Size() / kSectorSize ? 0 : kVdiskNoParameters;
}

int VmdkDevice::CheckSparse(Extent& e) {
    SectorFile* file = FileOf(e);
    const std::uint64_t size = file ? file->Size() : 0;
    if (!file || !file->ReadSectors(e.header.bytes.data(), 0, 1)) return kVdiskUnknownFormat;
    if (const int code = CheckSparseHeader(e.header, e.line.sectors, size / kSectorSize); code != 0) return code;
    e.layout = LayoutOf(e.header);
    directoryEntries_ += e.layout.directoryEntries;
    if (directoryEntries_ > kMaxDirectoryEntries) return kVdiskUnknownFormat;
    // A file that ends in part of a sector grows from the next whole one.
    e.end = (size + kSectorSize - 1) / kSectorSize;
    if (!ReadDirectory(e, e.header.Directory(), e.directory)) return kVdiskUnknownFormat;
    if (e.header.HasRedundantTables() && !ReadDirectory(e, e.header.RedundantDirectory(), e.redundant))
        return kVdiskUnknownFormat;
    return 0;
}

// A directory is taken only when every table it names lies within the file.
bool VmdkDevice::ReadDirectory(Extent& e, std::uint64_t at, std::vector<std::uint32_t>& entries) {
    std::vector<std::uint8_t> raw(Bytes(e.layout.directorySectors));
    SectorFile* file = FileOf(e);
    if (!file || !file->ReadSectors(raw.data(), at, e.layout.directorySectors)) return false;
    const std::uint64_t fileSectors = file->Size() / kSectorSize;
    entries.resize(e.layout.directoryEntries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = LoadLe32(&raw[i * 4]);
        if (entries[i] != 0 && (entries[i] > fileSectors || e.layout.tableSectors > fileSectors - entries[i]))
            return false;
    }
    return true;
}

// The extent's file, opened when it is not: read and write, or for reading
// alone when that is all it allows (its writes then fail). The file used
// longest ago is closed first when too many are open.
SectorFile* VmdkDevice::FileOf(Extent& e) {
    e.lastUse = ++useClock_;
    if (e.file->IsOpen()) return e.file.get();
    if (openFiles_ >= kMaxOpenFiles) {
        Extent* oldest = nullptr;
        for (Extent& o : extents_)
            if (o.file->IsOpen() && (!oldest || o.lastUse < oldest->lastUse)) oldest = &o;
        if (oldest) {
            if (oldest->written && !oldest->file->Flush()) return nullptr;
            oldest->written = false;
            oldest->file->Close();
            --openFiles_;
        }
    }
    const std::uint32_t share = kShareRead | kShareWrite;
    bool opened = !e.readOnly &&
                  e.file->Open(e.path, kGenericRead | kGenericWrite, share, kOpenExisting, kAttributeNormal, false);
    if (!opened) {
        opened = e.file->Open(e.path, kGenericRead, share, kOpenExisting, kAttributeNormal, false);
        e.readOnly = opened;
    }
    if (!opened) return nullptr;
    ++openFiles_;
    return e.file.get();
}

bool VmdkDevice::ReadAt(Extent& e, std::uint8_t* buffer, std::uint64_t at, std::uint32_t count) {
    SectorFile* file = FileOf(e);
    return file && file->ReadSectors(buffer, at, count);
}

bool VmdkDevice::WriteAt(Extent& e, const std::uint8_t* buffer, std::uint64_t at, std::uint32_t count) {
    SectorFile* file = FileOf(e);
    if (!file || !file->WriteSectors(buffer, at, count)) return false;
    e.written = true;
    return true;
}

bool VmdkDevice::ReadSectors(void* buffer, std::uint64_t lba, std::uint32_t count) {
    return Transfer(static_cast<std::uint8_t*>(buffer), lba, count, false);
}

// A write only reads its buffer; Transfer takes one pointer for both ways.
bool VmdkDevice::WriteSectors(const void* buffer, std::uint64_t lba, std::uint32_t count) {
    return Transfer(static_cast<std::uint8_t*>(const_cast<void*>(buffer)), lba, count, true);
}

bool VmdkDevice::Transfer(std::uint8_t* buffer, std::uint64_t lba, std::uint32_t count, bool write) {
    if (count > kMaxTransferSectors || lba > totalSectors_ || count > totalSectors_ - lba) return false;
    const auto after = std::upper_bound(extents_.begin(), extents_.end(), lba,
                                        [](std::uint64_t sector, const Extent& e) { return sector < e.first; });
    for (auto x = static_cast<std::size_t>(after - extents_.begin()) - 1; count > 0; ++x) {
        Extent& e = extents_[x];
        const std::uint64_t in = lba - e.first;
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, e.line.sectors - in));
        if (e.line.access == ExtentAccess::NoAccess) return false;
        if (write && e.line.access != ExtentAccess::ReadWrite) return false;
        bool ok = false;
        switch (e.line.kind) {
            case ExtentKind::Zero:
                ok = !write;
                if (ok) std::memset(buffer, 0, Bytes(n));
                break;
            case ExtentKind::Flat:
                ok = write ? WriteAt(e, buffer, e.line.offset + in, n) : ReadAt(e, buffer, e.line.offset + in, n);
                break;
            case ExtentKind::Sparse:
                ok = write ? WriteSparse(x, buffer, in, n) : ReadSparse(x, buffer, in, n);
                break;
        }
        if (!ok) return false;
        buffer += Bytes(n);
        lba += n;
        count -= n;
    }
    return true;
}

bool VmdkDevice::ReadSparse(std::size_t x, std::uint8_t* buffer, std::uint64_t at, std::uint32_t count) {
    Extent& e = extents_[x];
    // Grains that follow each other in the file are read in one transfer.
    std::uint8_t* runBuffer = buffer;
    std::uint64_t runSector = 0;
    std::uint32_t run = 0;
    auto readRun = [&] {
        const bool ok = run == 0 || ReadAt(e, runBuffer, runSector, run);
        run = 0;
        return ok;
    };
    while (count > 0) {
        const GrainSpot spot = Locate(e.header, at);
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, spot.left));
        std::uint32_t entry = 0;
        std::uint64_t sector = 0;
        if (!TableEntry(x, spot, entry) || !GrainSector(e, entry, spot, n, sector)) return false;
        if (sector == 0) {
            if (!readRun()) return false;
            std::memset(buffer, 0, Bytes(n));
        } else if (run > 0 && runSector + run == sector) {
            run += n;
        } else {
            if (!readRun()) return false;
            runBuffer = buffer;
            runSector = sector;
            run = n;
        }
        buffer += Bytes(n);
        at += n;
        count -= n;
    }
    return readRun();
}

bool VmdkDevice::WriteSparse(std::size_t x, const std::uint8_t* buffer, std::uint64_t at, std::uint32_t count) {
    Extent& e = extents_[x];
    while (count > 0) {
        const GrainSpot spot = Locate(e.header, at);
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, spot.left));
        std::uint32_t entry = 0;
        std::uint64_t sector = 0;
        if (!TableEntry(x, spot, entry) || !GrainSector(e, entry, spot, n, sector)) return false;
        bool ok = true;
        if (sector != 0)
            ok = WriteAt(e, buffer, sector, n);
        // Zeros written where the disk reads zeros change nothing: the grain
        // stays without a place, and the file as small as it was.
        else if (!AllZero(buffer, Bytes(n)))
            ok = NewGrain(x, spot, buffer, n);
        if (!ok) return false;
        buffer += Bytes(n);
        at += n;
        count -= n;
    }
    return true;
}

// The grain table entry of a spot, through the table read last when it is
// the same table; 0 when the directory has no table there.
bool VmdkDevice::TableEntry(std::size_t x, const GrainSpot& spot, std::uint32_t& entry) {
    Extent& e = extents_[x];
    entry = 0;
    const std::uint32_t table = e.directory[spot.directoryIndex];
    if (table == 0) return true;
    if (cachedExtent_ != x || cachedIndex_ != spot.directoryIndex) {
        cachedExtent_ = SIZE_MAX;
        std::vector<std::uint8_t> raw(Bytes(e.layout.tableSectors));
        if (!ReadAt(e, raw.data(), table, e.layout.tableSectors)) return false;
        cachedTable_.resize(e.header.EntriesPerTable());
        for (std::size_t i = 0; i < cachedTable_.size(); ++i) cachedTable_[i] = LoadLe32(&raw[i * 4]);
        cachedExtent_ = x;
        cachedIndex_ = spot.directoryIndex;
    }
    entry = cachedTable_[spot.tableIndex];
    return true;
}

// The file sector that holds the spot's sector, 0 when its grain reads as
// zeros. An entry that points into the extent's own header and tables, or
// past the end of its file, names no grain: the transfer fails rather than
// read or write there.
bool VmdkDevice::GrainSector(const Extent& e, std::uint32_t entry, const GrainSpot& spot, std::uint64_t count,
                             std::uint64_t& sector) const {
    sector = 0;
    if (entry == 0 || (entry == 1 && e.header.HasZeroGrainEntries())) return true;
    if (entry < e.header.Overhead()) return false;
    sector = entry + spot.inGrain;
    return sector <= e.end && count <= e.end - sector;
}

// A grain for a spot that had none: the whole grain, zeros around the data,
// goes to the end of the file before any table names it; then the redundant
// table and the table a reader goes by are pointed at it.
bool VmdkDevice::NewGrain(std::size_t x, const GrainSpot& spot, const std::uint8_t* data, std::uint64_t count) {
    Extent& e = extents_[x];
    if (!NewTables(x, spot.directoryIndex)) return false;
    std::vector<std::uint8_t> grain(Bytes(e.header.GrainSize()), 0);
    std::memcpy(grain.data() + Bytes(spot.inGrain), data, Bytes(count));
    std::uint64_t at = 0;
    if (!Append(e, grain.data(), e.header.GrainSize(), at)) return false;
    const std::uint32_t index = spot.directoryIndex;
    const auto value = static_cast<std::uint32_t>(at);
    if (e.header.HasRedundantTables() && !SetEntry(e, e.redundant[index], spot.tableIndex, value)) return false;
    if (!SetEntry(e, e.directory[index], spot.tableIndex, value)) return false;
    if (cachedExtent_ == x && cachedIndex_ == index) cachedTable_[spot.tableIndex] = value;
    return true;
}

// Grain tables, all entries 0, where a directory has none for this index:
// written at the file's end before the directory names them.
bool VmdkDevice::NewTables(std::size_t x, std::uint32_t index) {
    Extent& e = extents_[x];
    const std::vector<std::uint8_t> zeros(Bytes(e.layout.tableSectors), 0);
    auto give = [&](std::vector<std::uint32_t>& directory, std::uint64_t directorySector) {
        if (directory[index] != 0) return true;
        std::uint64_t at = 0;
        if (!Append(e, zeros.data(), e.layout.tableSectors, at)) return false;
        if (!SetEntry(e, directorySector, index, static_cast<std::uint32_t>(at))) return false;
        directory[index] = static_cast<std::uint32_t>(at);
        return true;
    };
    return give(e.directory, e.header.Directory()) &&
           (!e.header.HasRedundantTables() || give(e.redundant, e.header.RedundantDirectory()));
}

// count sectors written at the end of the extent's file; at is where.
bool VmdkDevice::Append(Extent& e, const std::uint8_t* bytes, std::uint64_t count, std::uint64_t& at) {
    at = e.end;
    if (at + count > kLastEntrySector) return false;
    if (!WriteAt(e, bytes, at, static_cast<std::uint32_t>(count))) return false;
    e.end = at + count;
    return true;
}

// Entry `index` of the directory or table at tableSector, changed in its
// sector and written back.
bool VmdkDevice::SetEntry(Extent& e, std::uint64_t tableSector, std::uint32_t index, std::uint32_t value) {
    Sector sector{};
    const std::uint64_t at = tableSector + index / kEntriesPerSector;
    if (!ReadAt(e, sector.data(), at, 1)) return false;
    StoreLe32(&sector[(index % kEntriesPerSector) * 4], value);
    return WriteAt(e, sector.data(), at, 1);
}

bool VmdkDevice::Flush() {
    bool ok = true;
    for (Extent& e : extents_) {
        if (!e.written) continue;
        if (e.file->Flush())
            e.written = false;
        else
            ok = false;
    }
    return ok;
}

bool VmdkDevice::QueryGeometry(GeometryResult& out) {
    out.cylinders = geometry_.cylinders;
    out.tracksPerCylinder = geometry_.heads;
    out.sectorsPerTrack = geometry_.sectorsPerTrack;
    out.mediaType = kFixedMedia;
    out.totalSectors = totalSectors_;
    out.totalBytes = totalSectors_ * kSectorSize;
    return true;
}

}  // namespace partam
