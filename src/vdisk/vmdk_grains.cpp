// The grains of a sparse extent: where a sector lies, a place for a grain
// written for the first time, and the grain tables a command reads once and
// writes once, when it is done.
#include <algorithm>
#include <cstring>

#include "base/sector_buffer.h"
#include "vdisk/vmdk_extent.h"

namespace partam {

namespace {

// Directory and table entries are 32-bit sector numbers: nothing is placed
// past the sector they can name.
constexpr std::uint64_t kLastEntrySector = 0xFFFFFFFFu;
// The most bytes of grain tables kept: with tables of 512 entries and grains
// of 64 KiB they map 1 TiB. A command that touches more has what it changed
// written (in the same order as at its end) and starts again with none.
constexpr std::size_t kMaxTableBytes = std::size_t{64} << 20;

// A table entry that names a place in the file: 0 names none, and so does 1
// in an extent whose entry 1 stands for a grain of zeros.
bool Placed(const SparseHeader& header, std::uint32_t entry) {
    return entry > 1 || (entry == 1 && !header.HasZeroGrainEntries());
}

}  // namespace

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
        GrainTable* table = nullptr;
        std::uint32_t entry = 0;
        std::uint64_t sector = 0;
        if (!TableEntry(x, spot, table, entry) || !GrainSector(e, entry, spot, n, sector)) return false;
        if (sector == 0) {
            if (!readRun()) return false;
            std::memset(buffer, 0, SectorBytes(n));
        } else if (run > 0 && runSector + run == sector) {
            run += n;
        } else {
            if (!readRun()) return false;
            runBuffer = buffer;
            runSector = sector;
            run = n;
        }
        buffer += SectorBytes(n);
        at += n;
        count -= n;
    }
    return readRun();
}

bool VmdkDevice::WriteSparse(std::size_t x, const std::uint8_t* buffer, std::uint64_t at,
                             std::uint32_t count) {
    Extent& e = extents_[x];
    while (count > 0) {
        const GrainSpot spot = Locate(e.header, at);
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, spot.left));
        GrainTable* table = nullptr;
        std::uint32_t entry = 0;
        std::uint64_t sector = 0;
        if (!TableEntry(x, spot, table, entry) || !GrainSector(e, entry, spot, n, sector)) return false;
        bool ok = true;
        if (sector != 0) ok = WriteAt(e, buffer, sector, n);
        // Zeros written where the disk reads zeros change nothing: the grain
        // stays without a place, and the file as small as it was.
        else if (!AllZero(buffer, SectorBytes(n)))
            ok = NewGrain(x, spot, table, buffer, n);
        if (!ok) return false;
        buffer += SectorBytes(n);
        at += n;
        count -= n;
    }
    return true;
}

// The grain table at a directory index, read when the command has not read
// it yet; nothing when the directory names none. The table stays where it
// is until the tables are let go (MakeRoom), which no caller holding one
// lets happen.
bool VmdkDevice::LoadTable(std::size_t x, std::uint32_t index, GrainTable*& table) {
    Extent& e = extents_[x];
    table = nullptr;
    if (const auto it = e.tables.find(index); it != e.tables.end()) {
        table = &it->second;
        return true;
    }
    if (e.directory[index] == 0) return true;
    std::vector<std::uint8_t> raw(SectorBytes(e.layout.tableSectors));
    if (!MakeRoom(raw.size()) || !ReadAt(e, raw.data(), e.directory[index], e.layout.tableSectors))
        return false;
    GrainTable& t = e.tables[index];
    t.entries.resize(e.header.EntriesPerTable());
    for (std::size_t i = 0; i < t.entries.size(); ++i) t.entries[i] = LoadLe32(&raw[i * 4]);
    t.changed.assign(e.layout.tableSectors, false);
    tableBytes_ += raw.size();
    table = &t;
    return true;
}

bool VmdkDevice::TableEntry(std::size_t x, const GrainSpot& spot, GrainTable*& table, std::uint32_t& entry) {
    if (!LoadTable(x, spot.directoryIndex, table)) return false;
    entry = table ? table->entries[spot.tableIndex] : 0;
    return true;
}

// Room for bytes more of tables: past the bound, what the tables kept say
// is written, and they are let go.
bool VmdkDevice::MakeRoom(std::size_t bytes) {
    if (tableBytes_ + bytes <= kMaxTableBytes) return true;
    if (!Commit()) return false;
    for (Extent& e : extents_) e.tables.clear();
    tableBytes_ = 0;
    return true;
}

// The file sector that holds the spot's sector, 0 when its grain reads as
// zeros. An entry that points into the extent's own header and tables, or
// past the end of its file, names no grain: the transfer fails rather than
// read or write there.
bool VmdkDevice::GrainSector(const Extent& e, std::uint32_t entry, const GrainSpot& spot, std::uint64_t count,
                             std::uint64_t& sector) const {
    sector = 0;
    if (!Placed(e.header, entry)) return true;
    if (entry < e.header.Overhead()) return false;
    sector = entry + spot.inGrain;
    return sector <= e.end && count <= e.end - sector;
}

// A grain for a spot that had none: the whole grain, zeros around the data,
// goes to the end of the file now; the tables name it once the command is
// done, after it is on the medium.
bool VmdkDevice::NewGrain(std::size_t x, const GrainSpot& spot, GrainTable* table, const std::uint8_t* data,
                          std::uint64_t count) {
    Extent& e = extents_[x];
    if (!ReserveTables(x, spot.directoryIndex, table)) return false;
    std::uint64_t at = 0;
    if (spot.inGrain == 0 && count == e.header.GrainSize()) {
        if (!Append(e, data, count, at)) return false;
    } else {
        std::vector<std::uint8_t> grain(SectorBytes(e.header.GrainSize()), 0);
        std::memcpy(grain.data() + SectorBytes(spot.inGrain), data, SectorBytes(count));
        if (!Append(e, grain.data(), e.header.GrainSize(), at)) return false;
    }
    table->entries[spot.tableIndex] = static_cast<std::uint32_t>(at);
    table->changed[spot.tableIndex / kEntriesPerSector] = true;
    e.changed = true;
    return true;
}

// Places for the tables a new grain is named in, where the directories name
// none: at the file's end, the table before its redundant copy. They are
// written, all zeros but for the grains placed, with the command's other
// table changes.
bool VmdkDevice::ReserveTables(std::size_t x, std::uint32_t index, GrainTable*& table) {
    Extent& e = extents_[x];
    const std::uint32_t sectors = e.layout.tableSectors;
    auto reserve = [&](std::vector<std::uint32_t>& directory) {
        if (e.end + sectors > kLastEntrySector) return false;
        directory[index] = static_cast<std::uint32_t>(e.end);
        e.end += sectors;
        e.directorySectors.insert(index / kEntriesPerSector);
        e.changed = true;
        return true;
    };
    if (!table) {
        if (!MakeRoom(SectorBytes(sectors)) || !reserve(e.directory)) return false;
        table = &e.tables[index];
        table->entries.assign(e.header.EntriesPerTable(), 0);
        table->changed.assign(sectors, true);
        tableBytes_ += SectorBytes(sectors);
    }
    if (e.header.HasRedundantTables() && e.redundant[index] == 0) {
        if (!reserve(e.redundant)) return false;
        table->newRedundant = true;
    }
    return true;
}

// count sectors written at the end of the extent's file; at is where.
bool VmdkDevice::Append(Extent& e, const std::uint8_t* bytes, std::uint64_t count, std::uint64_t& at) {
    at = e.end;
    if (at + count > kLastEntrySector) return false;
    if (!WriteAt(e, bytes, at, static_cast<std::uint32_t>(count))) return false;
    e.end = at + count;
    return true;
}

// The first sector at or after `from` of a sparse extent that lies in a
// grain with a place in the file; the extent's size when none does. A
// directory entry without a table passes over the table's whole span. One
// answer looks at kMaxLookedAt entries at most and then names where it
// stopped, which may hold data as far as it knows: the caller reads a
// little more, and no answer takes long.
bool VmdkDevice::SparseData(std::size_t x, std::uint64_t from, std::uint64_t& found) {
    constexpr std::uint64_t kMaxLookedAt = 1 << 16;
    Extent& e = extents_[x];
    const std::uint64_t span = e.header.GrainSize() * e.header.EntriesPerTable();
    for (std::uint64_t at = from, looked = 0; at < e.line.sectors; ++looked) {
        if (looked == kMaxLookedAt) {
            found = at;
            return true;
        }
        const GrainSpot spot = Locate(e.header, at);
        GrainTable* table = nullptr;
        std::uint32_t entry = 0;
        if (!TableEntry(x, spot, table, entry)) return false;
        if (Placed(e.header, entry)) {
            found = at;
            return true;
        }
        at = table ? at + spot.left : (std::uint64_t{spot.directoryIndex} + 1) * span;
    }
    found = e.line.sectors;
    return true;
}

// What the command changed of the tables goes to the files in an order that
// leaves a readable disk wherever a crash stops it: the grains, then the
// redundant tables, then the tables a reader goes by, each on the medium
// before the next begins, so that a table never names a grain that is not
// there and one copy of each table is whole. Each extent's header says that
// its tables are being changed from before the first table write until
// after the last.
bool VmdkDevice::Commit() {
    std::vector<Extent*> changed;
    for (Extent& e : extents_)
        if (e.changed) changed.push_back(&e);
    if (changed.empty()) return true;
    auto each = [&changed](auto step) {
        return std::all_of(changed.begin(), changed.end(), [&step](Extent* e) { return step(*e); });
    };
    const bool written = each([this](Extent& e) { return WriteMark(e, true); }) && FlushFiles() &&
                         each([this](Extent& e) { return WriteTables(e, true); }) && FlushFiles() &&
                         each([this](Extent& e) { return WriteTables(e, false); }) && FlushFiles();
    if (!written) return false;
    for (Extent* e : changed) {
        e->changed = false;
        e->directorySectors.clear();
        for (auto& [index, t] : e->tables) {
            std::fill(t.changed.begin(), t.changed.end(), false);
            t.newRedundant = false;
        }
    }
    return each([this](Extent& e) { return WriteMark(e, false); }) && FlushFiles();
}

// One copy of what the command changed: each run of changed table sectors in
// one write, then the directory sectors that name a table it added.
bool VmdkDevice::WriteTables(Extent& e, bool redundant) {
    if (redundant && !e.header.HasRedundantTables()) return true;
    const std::vector<std::uint32_t>& directory = redundant ? e.redundant : e.directory;
    const std::uint32_t sectors = e.layout.tableSectors;
    std::vector<std::uint8_t> raw(SectorBytes(sectors));
    for (const auto& [index, t] : e.tables) {
        const bool whole = redundant && t.newRedundant;
        for (std::uint32_t s = 0; s < sectors && directory[index] != 0;) {
            if (!whole && !t.changed[s]) {
                ++s;
                continue;
            }
            std::uint32_t run = s;
            while (run < sectors && (whole || t.changed[run])) ++run;
            for (std::uint32_t i = s * kEntriesPerSector; i < run * kEntriesPerSector; ++i)
                StoreLe32(&raw[i * 4], t.entries[i]);
            if (!WriteAt(e, &raw[SectorBytes(s)], directory[index] + s, run - s)) return false;
            s = run;
        }
    }
    return WriteDirectory(e, redundant);
}

// The directory sectors that name a table the command added, each read and
// written whole, so that what lies past the last entry stays as it is.
bool VmdkDevice::WriteDirectory(Extent& e, bool redundant) {
    const std::vector<std::uint32_t>& directory = redundant ? e.redundant : e.directory;
    const std::uint64_t at = redundant ? e.header.RedundantDirectory() : e.header.Directory();
    for (const std::uint32_t s : e.directorySectors) {
        Sector sector{};
        if (!ReadAt(e, sector.data(), at + s, 1)) return false;
        for (std::uint32_t i = 0; i < kEntriesPerSector && s * kEntriesPerSector + i < directory.size(); ++i)
            StoreLe32(&sector[i * 4], directory[s * kEntriesPerSector + i]);
        if (!WriteAt(e, sector.data(), at + s, 1)) return false;
    }
    return true;
}

// The header's unclean-shutdown byte, set or cleared. A header that had it
// set when the disk was opened keeps it: a writer stopped half way before
// this one, and clearing it would hide that from the check it asks for.
bool VmdkDevice::WriteMark(Extent& e, bool set) {
    if (e.header.UncleanShutdown()) return true;
    Sector sector = e.header.bytes;
    sector[SparseHeader::kUncleanShutdown] = set ? 1 : 0;
    return WriteAt(e, sector.data(), 0, 1);
}

}  // namespace partam
