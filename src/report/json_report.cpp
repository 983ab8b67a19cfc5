#include "report/json_report.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "base/endian.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "fs/file_system.h"
#include "gpt/gpt_disk.h"
#include "gpt/gpt_types.h"
#include "mbr/partition_types.h"

namespace partam {

namespace {

constexpr int kAllDisks = -1;
constexpr int kVirtualDisk = 999;

// The fields of a 128-byte GPT entry past its type GUID (bytes 0 to 15).
constexpr std::size_t kEntryUniqueGuid = 16;
constexpr std::size_t kEntryFirstLba = 32;
constexpr std::size_t kEntryLastLba = 40;
constexpr std::size_t kEntryAttributes = 48;
constexpr std::size_t kEntryName = 56;
constexpr std::uint64_t kLegacyBootable = std::uint64_t{1} << 2;
constexpr std::uint64_t kHiddenAttribute = std::uint64_t{1} << 62;

JsonValue TextOrNull(const std::string& text) { return text.empty() ? JsonValue() : JsonValue(text); }

// The byte count of a number of sectors; none when it passes 2^64 - 1,
// which only a damaged entry claims.
JsonValue Bytes(std::uint64_t sectors) {
    if (sectors > std::numeric_limits<std::uint64_t>::max() / kSectorSize) return JsonValue();
    return sectors * kSectorSize;
}

JsonValue Region(std::uint64_t start, std::uint64_t sectors) {
    JsonValue region = JsonValue::Object();
    region.Add("start", start);
    region.Add("sectors", sectors);
    region.Add("bytes", Bytes(sectors));
    return region;
}

// A virtual disk's partitions have no drive letters; a blank or 0 is none.
JsonValue Letter(const mDisk& d, char letter) {
    if (d.IsVirtual() || letter == 0 || letter == ' ') return JsonValue();
    return Format("%c:", letter);
}

JsonValue FileSystemAt(mDisk& d, std::uint64_t start) {
    std::string name;
    RecognizeFileSystem(d, start, name);
    return TextOrNull(name);
}

// What sector 0 holds: a GPT, a boot sector, a super-floppy's filesystem,
// else a partition table when it ends with 55 AA, whatever boot code it
// carries.
const char* TableName(const mDisk& d) {
    if (d.IsGpt()) return "GPT";
    if (d.Kind() == TableKind::BootSector || d.Kind() == TableKind::SuperFloppy) return d.KindName();
    return d.SignatureValid() ? "MBR" : "None";
}

JsonValue MbrPartition(mDisk& d, const mPart& p) {
    JsonValue o = JsonValue::Object();
    o.Add("number", p.position);
    o.Add("slot", p.isPrimary ? JsonValue(p.slot + 1) : JsonValue());
    o.Add("primary", p.isPrimary != 0);
    o.Add("typeByte", p.type);
    std::string description;
    bool hidden = false;
    LookupType(p.type, false, description, hidden);
    o.Add("typeName", TextOrNull(description));
    o.Add("start", p.start);
    o.Add("sectors", p.sectors);
    o.Add("bytes", Bytes(p.sectors));
    o.Add("active", p.active != 0);
    o.Add("hidden", p.hidden != 0);
    o.Add("driveLetter", Letter(d, p.driveLetter));
    o.Add("label", TextOrNull(p.volumeLabel));
    o.Add("filesystem", IsExtendedType(p.type) ? JsonValue() : FileSystemAt(d, p.start));
    return o;
}

// The listing's free-space rows in order of their starts, each once.
JsonValue MbrFreeSpace(mDisk& d) {
    std::vector<FreeRegion> regions;
    if (const auto front = FreeRegionInFront(d)) regions.push_back(*front);
    for (int n = 1; n <= d.PartitionCount(0); ++n) {
        const mPart* p = d.GetPartition(n, false);
        if (!p) continue;
        if (const auto after = FreeRegionFrom(d, p->start + p->sectors)) regions.push_back(*after);
    }
    std::sort(regions.begin(), regions.end(),
              [](const FreeRegion& a, const FreeRegion& b) { return a.start < b.start; });
    JsonValue array = JsonValue::Array();
    for (std::size_t i = 0; i < regions.size(); ++i)
        if (i == 0 || regions[i].start != regions[i - 1].start)
            array.Push(Region(regions[i].start, regions[i].sectors));
    return array;
}

void AddMbrTable(JsonValue& o, mDisk& d, bool freeSpace) {
    o.Add("tableValid", d.SignatureValid() && d.TableValid());
    const auto& s = d.DiskSignature();
    o.Add("diskSignature",
          d.SignatureValid() ? JsonValue(Format("0x%02X%02X%02X%02X", s[3], s[2], s[1], s[0])) : JsonValue());
    JsonValue& partitions = o.Add("partitions", JsonValue::Array());
    for (int i = 1; i <= d.PartitionCount(2); ++i)
        if (const mPart* p = d.GetPartition(i, true)) partitions.Push(MbrPartition(d, *p));
    if (freeSpace) o.Add("freeSpace", MbrFreeSpace(d));
}

struct UsedEntry {
    const std::uint8_t* bytes;
    std::uint32_t index;
    std::uint64_t First() const { return LoadLe64(bytes + kEntryFirstLba); }
    std::uint64_t Last() const { return LoadLe64(bytes + kEntryLastLba); }
    std::uint64_t Sectors() const { return Last() >= First() ? Last() - First() + 1 : 0; }
};

// The entries in use (a type GUID that is not zero), in the array's order.
std::vector<UsedEntry> UsedEntries(const GptDisk& gpt) {
    const std::vector<std::uint8_t>& array = gpt.Entries();
    const std::uint32_t count = std::min<std::uint32_t>(
        gpt.PrimaryHeader().EntryCount(), static_cast<std::uint32_t>(array.size() / kGptEntrySize));
    std::vector<UsedEntry> used;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = array.data() + std::size_t{i} * kGptEntrySize;
        if (std::any_of(e, e + 16, [](std::uint8_t b) { return b != 0; })) used.push_back({e, i});
    }
    return used;
}

// Every entry in use; those whose type the catalogue names carry the number
// /part= selects them by, their label and drive letter.
JsonValue GptEntryJson(mDisk& d, const UsedEntry& e, const GptPartition* record) {
    JsonValue o = JsonValue::Object();
    o.Add("number", record ? JsonValue(record->part.position) : JsonValue());
    o.Add("slot", e.index + 1);
    o.Add("primary", true);
    const std::string type = GuidText(e.bytes);
    o.Add("typeGuid", type);
    const GptTypeInfo& info = LookupGptType(type);
    o.Add("typeName", info.id != 0 ? JsonValue(info.description) : JsonValue());
    o.Add("start", e.First());
    o.Add("sectors", e.Sectors());
    o.Add("bytes", Bytes(e.Sectors()));
    const std::uint64_t attributes = LoadLe64(e.bytes + kEntryAttributes);
    o.Add("active", (attributes & kLegacyBootable) != 0);
    o.Add("hidden", (attributes & kHiddenAttribute) != 0);
    o.Add("driveLetter",
          record ? Letter(d, d.DriveLetterOf(static_cast<int>(record->part.position))) : JsonValue());
    o.Add("label", record ? TextOrNull(record->part.volumeLabel) : JsonValue());
    // A catalogued partition's filesystem was recognised when the GPT was read.
    o.Add("filesystem", record ? TextOrNull(record->fileSystemName) : FileSystemAt(d, e.First()));
    o.Add("name", TextOrNull(Utf16LeToUtf8({e.bytes + kEntryName, kGptEntrySize - kEntryName}, true)));
    o.Add("uniqueGuid", GuidText(e.bytes + kEntryUniqueGuid));
    o.Add("attributes", attributes);
    return o;
}

// The usable sectors no entry in use covers.
JsonValue GptFreeSpace(const GptDisk& gpt, std::vector<UsedEntry> used, std::uint64_t totalSectors) {
    JsonValue array = JsonValue::Array();
    const GptHeader header = gpt.PrimaryHeader();
    std::uint64_t last = header.LastUsableLba();
    if (totalSectors != 0) last = std::min(last, totalSectors - 1);
    std::sort(used.begin(), used.end(),
              [](const UsedEntry& a, const UsedEntry& b) { return a.First() < b.First(); });
    std::uint64_t from = header.FirstUsableLba();
    for (const UsedEntry& e : used) {
        if (from > last) return array;
        if (e.Sectors() == 0) continue;
        if (e.First() > from) array.Push(Region(from, std::min(e.First() - 1, last) - from + 1));
        if (e.Last() >= from)
            from = e.Last() == std::numeric_limits<std::uint64_t>::max() ? e.Last() : e.Last() + 1;
    }
    if (from <= last) array.Push(Region(from, last - from + 1));
    return array;
}

void AddGptTable(JsonValue& o, mDisk& d, bool freeSpace) {
    const GptDisk* gpt = d.Gpt();
    // Valid as the listing's "Backup GPT: Valid" and no warning: both copies pass.
    o.Add("tableValid", gpt && gpt->Copies().primary.Passes() && gpt->BackupPasses());
    const GptHeader header = gpt ? gpt->PrimaryHeader() : GptHeader();
    o.Add("diskGuid", header.HasSignature() ? JsonValue(GuidText(header.DiskGuid())) : JsonValue());
    JsonValue& partitions = o.Add("partitions", JsonValue::Array());
    std::vector<UsedEntry> used;
    // The catalogued partitions by the index of their entry.
    std::vector<const GptPartition*> records;
    if (gpt) {
        used = UsedEntries(*gpt);
        records.resize(gpt->Entries().size() / kGptEntrySize);
        for (const GptPartition& r : gpt->Partitions())
            if (r.entryIndex < records.size()) records[r.entryIndex] = &r;
    }
    for (const UsedEntry& e : used) partitions.Push(GptEntryJson(d, e, records[e.index]));
    if (freeSpace)
        o.Add("freeSpace",
              gpt && gpt->Basis() ? GptFreeSpace(*gpt, used, d.TotalSectors()) : JsonValue::Array());
}

JsonValue ErrorDisk(JsonValue number, bool isVirtual, int code, ErrorTextOf errorText) {
    JsonValue o = JsonValue::Object();
    o.Add("number", std::move(number));
    o.Add("virtual", isVirtual);
    o.Add("error", JsonError(code, errorText(code)));
    return o;
}

// The selected disk; `number` is null for a virtual disk.
JsonValue SelectedDisk(mDisk& d, JsonValue number, bool freeSpace) {
    JsonValue o = JsonValue::Object();
    o.Add("number", std::move(number));
    o.Add("virtual", d.IsVirtual());
    o.Add("error", JsonValue());
    o.Add("sectors", d.TotalSectors());
    o.Add("bytes", d.TotalBytes());
    o.Add("sectorSize", kSectorSize);
    JsonValue& geometry = o.Add("geometry", JsonValue::Object());
    geometry.Add("cylinders", d.Geometry().cylinders);
    geometry.Add("heads", d.Geometry().tracksPerCylinder);
    geometry.Add("sectorsPerTrack", d.Geometry().sectorsPerTrack);
    o.Add("mediaType", d.IsRemovable() ? "Removable" : "Fixed");
    o.Add("interface", TextOrNull(d.BusName()));
    o.Add("description", TextOrNull(d.DeviceDescription()));
    o.Add("table", TableName(d));
    if (d.IsGpt())
        AddGptTable(o, d, freeSpace);
    else
        AddMbrTable(o, d, freeSpace);
    return o;
}

// A disk index: an error entry when it cannot be selected, has no medium
// or its sector 0 cannot be read (its table is then unknown).
JsonValue DiskAt(mDisk& d, int index, bool freeSpace, ErrorTextOf errorText) {
    int code = d.Use(index);
    if (code == 0 && d.NotReady()) code = kInvalidDevice;
    if (code == 0 && !d.Sector0Read()) code = kMbrReadFailed;
    if (code != 0) return ErrorDisk(index, false, code, errorText);
    return SelectedDisk(d, index, freeSpace);
}

}  // namespace

JsonValue JsonError(int code, const std::string& text) {
    const auto first = text.find_first_not_of(" \n");
    const auto last = text.find_last_not_of(" \n");
    JsonValue o = JsonValue::Object();
    o.Add("code", code);
    o.Add("text", first == std::string::npos ? std::string() : text.substr(first, last - first + 1));
    return o;
}

JsonValue JsonDisks(mDisk& d, const ListingOptions& options, ErrorTextOf errorText) {
    if (options.disk == kAllDisks || options.diskGiven == 0)
        return JsonEveryDisk(d, options.freeSpace, errorText);
    JsonValue disks = JsonValue::Array();
    if (options.disk != kVirtualDisk) {
        disks.Push(DiskAt(d, options.disk, options.freeSpace, errorText));
    } else if (const int code = d.UseVirtual(options.diskFileName); code != 0) {
        disks.Push(ErrorDisk(JsonValue(), true, code, errorText));
    } else {
        disks.Push(SelectedDisk(d, JsonValue(), options.freeSpace));
    }
    return disks;
}

JsonValue JsonEveryDisk(mDisk& d, bool freeSpace, ErrorTextOf errorText) {
    JsonValue disks = JsonValue::Array();
    for (int i = 0; i < d.DiskCount(); ++i) disks.Push(DiskAt(d, i, freeSpace, errorText));
    return disks;
}

}  // namespace partam
