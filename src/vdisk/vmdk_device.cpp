#include "vdisk/vmdk_device.h"

#include <algorithm>
#include <cstring>

#include "base/result_codes.h"
#include "vdisk/vmdk_extent.h"

namespace partam {

VmdkDevice::VmdkDevice(Platform& platform) : platform_(platform) {}
// A device let go before its command was done still leaves a disk whose
// tables name every grain it wrote.
VmdkDevice::~VmdkDevice() { Commit(); }

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
    std::vector<std::uint8_t> raw(SectorBytes(e.layout.directorySectors));
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

std::size_t VmdkDevice::ExtentAt(std::uint64_t lba) const {
    const auto after = std::upper_bound(extents_.begin(), extents_.end(), lba,
                                        [](std::uint64_t sector, const Extent& e) { return sector < e.first; });
    return static_cast<std::size_t>(after - extents_.begin()) - 1;
}

bool VmdkDevice::Transfer(std::uint8_t* buffer, std::uint64_t lba, std::uint32_t count, bool write) {
    if (count > kMaxTransferSectors || lba > totalSectors_ || count > totalSectors_ - lba) return false;
    for (std::size_t x = ExtentAt(lba); count > 0; ++x) {
        Extent& e = extents_[x];
        const std::uint64_t in = lba - e.first;
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, e.line.sectors - in));
        if (e.line.access == ExtentAccess::NoAccess) return false;
        if (write && e.line.access != ExtentAccess::ReadWrite) return false;
        bool ok = false;
        switch (e.line.kind) {
            case ExtentKind::Zero:
                ok = !write;
                if (ok) std::memset(buffer, 0, SectorBytes(n));
                break;
            case ExtentKind::Flat:
                ok = write ? WriteAt(e, buffer, e.line.offset + in, n) : ReadAt(e, buffer, e.line.offset + in, n);
                break;
            case ExtentKind::Sparse:
                ok = write ? WriteSparse(x, buffer, in, n) : ReadSparse(x, buffer, in, n);
                break;
        }
        if (!ok) return false;
        buffer += SectorBytes(n);
        lba += n;
        count -= n;
    }
    return true;
}

bool VmdkDevice::NextData(std::uint64_t lba, std::uint64_t& next) {
    next = lba;
    if (lba >= totalSectors_) return true;
    for (std::size_t x = ExtentAt(lba); x < extents_.size(); ++x) {
        Extent& e = extents_[x];
        const std::uint64_t from = lba > e.first ? lba - e.first : 0;
        std::uint64_t found = e.line.sectors;  // a zero extent: all of it a hole
        if (e.line.access == ExtentAccess::NoAccess)
            found = from;  // data, so that its reads fail, as they should
        else if (e.line.kind == ExtentKind::Flat)
            found = FlatData(e, from);
        else if (e.line.kind == ExtentKind::Sparse && !SparseData(x, from, found))
            return false;
        if (found < e.line.sectors) {
            next = e.first + found;
            return true;
        }
    }
    next = totalSectors_;
    return true;
}

// The first sector at or after `from` of a flat extent that its file may
// hold data for; from itself when the file cannot tell.
std::uint64_t VmdkDevice::FlatData(Extent& e, std::uint64_t from) {
    SectorFile* file = FileOf(e);
    const std::uint64_t start = e.line.offset + from;
    std::uint64_t byte = 0;
    if (!file || !file->NextData(start * kSectorSize, byte)) return from;
    return std::clamp(byte / kSectorSize, start, e.line.offset + e.line.sectors) - e.line.offset;
}

bool VmdkDevice::Flush() { return Commit() && FlushFiles(); }

bool VmdkDevice::FlushFiles() {
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
