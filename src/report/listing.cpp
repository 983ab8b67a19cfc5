// The listing of the selected disks: one framed block per disk with its head
// and one row per partition.
#include "report/listing.h"

#include <cinttypes>
#include <vector>

#include "base/text.h"
#include "gpt/gpt_disk.h"
#include "gpt/gpt_types.h"

namespace partam {

namespace {

constexpr std::int32_t kAllDisks = -1;
constexpr std::int32_t kVirtualDisk = 999;
constexpr std::uint64_t kFirstPartitionSector = 63;

// The spaces that bring a field of the given text to width; a longer text
// gets none and pushes the rest of its line outward.
std::string Fill(const std::string& text, int width) {
    return RepeatChar(' ', width - static_cast<int>(text.size()));
}

// A row of the frame: left, 77 times the middle, right.
void FrameRule(ReportContext& r, const char* before, const std::string& left, const std::string& middle,
               const std::string& right) {
    r.Printf("%s%s%s%s\n", before, left.c_str(), RepeatText(middle, kFrameInnerWidth).c_str(), right.c_str());
}

// Runs of inner horizontals under the columns of a head line, one space
// between them.
void ColumnUnderline(ReportContext& r, const std::vector<int>& runs) {
    std::string line = r.frame.leftTee;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (i > 0) line += ' ';
        line += RepeatText(r.frame.innerHorizontal, runs[i]);
    }
    r.Printf("%s%s\n", line.c_str(), r.frame.rightTee.c_str());
}

void DiskLine(ReportContext& r) {
    const mDisk& d = r.disk;
    const char* side = r.frame.side.c_str();
    const std::string kind = d.IsGpt() ? std::string("GPT") : std::string(d.KindName());
    if (d.IsVirtual())
        r.Printf("%s Disk: Virtual%sMBR/GPT:         %s%s%s\n", side, RepeatChar(' ', 19).c_str(),
                 kind.c_str(), Fill(kind, 27).c_str(), side);
    else
        r.Printf("%s Disk: %-2d%sMBR/GPT:         %s%s%s\n", side, d.CurrentIndex(),
                 RepeatChar(' ', 24).c_str(), kind.c_str(), Fill(kind, 27).c_str(), side);
}

// Media, description and the separator under them: the end of every head.
void MediaLines(ReportContext& r) {
    const char* side = r.frame.side.c_str();
    const char* media = r.disk.IsRemovable() ? "Removable       " : "Fixed           ";
    const std::string bus = r.disk.BusName();
    r.Printf("%s   Media Type:  %s Interface:       %s%s%s\n", side, media, bus.c_str(),
             Fill(bus, 27).c_str(), side);
    const std::string description = r.disk.DeviceDescription();
    r.Printf("%s   Description: %s%s%s\n", side, description.c_str(), Fill(description, 61).c_str(), side);
    FrameRule(r, "", r.frame.leftTee, r.frame.innerHorizontal, r.frame.rightTee);
}

void NoPartitionsLine(ReportContext& r) {
    r.Printf("%s  No partitions found on this disk  %s%s\n", r.frame.side.c_str(),
             RepeatChar(' ', 41).c_str(), r.frame.side.c_str());
}

// The slot + 1 of each primary in the order of their numbers.
std::string PartitionOrder(mDisk& d) {
    std::string order;
    for (int n = 1; n <= d.PartitionCount(0); ++n) {
        if (const mPart* p = d.GetPartition(n, false)) order += Format("%u ", p->slot + 1);
    }
    return order;
}

void MbrHead(ReportContext& r) {
    mDisk& d = r.disk;
    const char* side = r.frame.side.c_str();
    const std::string size = r.sizes.FormatSize(static_cast<std::int64_t>(d.TotalBytes()), 2, true, 1, 1);
    const std::string chs = Format("%lu %lu %lu", static_cast<unsigned long>(d.Geometry().cylinders),
                                   static_cast<unsigned long>(d.Geometry().tracksPerCylinder),
                                   static_cast<unsigned long>(d.Geometry().sectorsPerTrack));
    r.Printf("%s   Size:        %s%sCHS:             %s%s%s\n", side, size.c_str(), Fill(size, 17).c_str(),
             chs.c_str(), Fill(chs, 27).c_str(), side);
    r.Printf("%s   Sectors:     %-13" PRIu64 "    Disk Signature:  0x%02X%02X%02X%02X%s%s\n", side,
             d.TotalSectors(), d.DiskSignature()[3], d.DiskSignature()[2], d.DiskSignature()[1],
             d.DiskSignature()[0], RepeatChar(' ', 17).c_str(), side);
    const std::string order = PartitionOrder(d);
    r.Printf("%s   Partitions:  %d%sPartition Order: %s%s%s\n", side, d.PartitionCount(0),
             RepeatChar(' ', 16).c_str(), order.c_str(), Fill(order, 27).c_str(), side);
    MediaLines(r);
    r.Printf("%sPos Idx Type/Name Size Boot Hide  Start Sector  Total Sectors  DL Vol Label  %s\n", side,
             side);
    ColumnUnderline(r, {3, 3, 9, 4, 4, 4, 14, 14, 2, 11});
}

void FreeSpaceFrom(ReportContext& r, std::uint64_t from) {
    if (const auto region = FreeRegionFrom(r.disk, from)) ShowFreeSpaceRow(r, region->start, region->sectors);
}

void FreeSpaceInFront(ReportContext& r) {
    if (const auto region = FreeRegionInFront(r.disk)) ShowFreeSpaceRow(r, region->start, region->sectors);
}

// The logical partitions of an extended partition follow it in the list,
// up to the next primary.
void LogicalRows(ReportContext& r, const mPart& extended) {
    mDisk& d = r.disk;
    const int count = d.PartitionCount(2);
    int at = 1;
    while (at <= count && d.GetPartition(at, true) != &extended) ++at;
    for (++at; at <= count; ++at) {
        const mPart* logical = d.GetPartition(at, true);
        if (!logical || logical->isPrimary) break;
        ShowPartitionRow(r, at, *logical, 0);
    }
}

void MbrRows(ReportContext& r, const ListingOptions& o) {
    mDisk& d = r.disk;
    if (o.freeSpace) FreeSpaceInFront(r);
    for (int n = 1; n <= d.PartitionCount(0); ++n) {
        const mPart* p = d.GetPartition(n, false);
        if (!p) continue;
        // An extended partition is followed at once by its own chain; the
        // free space after it comes after that.
        ShowPartitionRow(r, n, *p, 0);
        if (o.extendedOnly && IsExtendedType(p->type)) LogicalRows(r, *p);
        if (o.freeSpace) FreeSpaceFrom(r, p->start + p->sectors);
    }
}

void CorruptWarning(ReportContext& r) {
    const char* side = r.frame.side.c_str();
    r.Printf("%s%s%s\n", side, RepeatChar(' ', kFrameInnerWidth).c_str(), side);
    r.Printf("%s ** Warning** The partition table on disk %d appears to be corrupt! %s%s\n", side,
             r.disk.CurrentIndex(), RepeatChar(' ', 10).c_str(), side);
    r.Printf("%s    There will be limited partition functionality due to this discrepancy%s%s\n", side,
             RepeatChar(' ', 4).c_str(), side);
}

void MbrBlock(ReportContext& r, const ListingOptions& o) {
    MbrHead(r);
    MbrRows(r, o);
    if (!r.disk.TableValid()) CorruptWarning(r);
    if (r.disk.PartitionCount(0) == 0) NoPartitionsLine(r);
}

// A damaged GPT copy, in the frame and words of the corrupt-table warning:
// which copy, and what that means for the one that is used.
void GptWarning(ReportContext& r, const GptDisk* gpt) {
    const bool primary = gpt && gpt->Copies().primary.Passes(), backup = gpt && gpt->BackupPasses();
    if (primary && backup) return;
    const int disk = r.disk.CurrentIndex();
    const std::string warning =
        primary  ? Format(" ** Warning** The backup GPT on disk %d appears to be corrupt!", disk)
        : backup ? Format(" ** Warning** The primary GPT on disk %d appears to be corrupt!", disk)
                 : Format(" ** Warning** Both GPT copies on disk %d appear to be corrupt!", disk);
    const std::string meaning =
        primary  ? "    The next change to the GPT rewrites it from the primary"
        : backup ? "    The partitions shown are those of the backup GPT"
                 : "    There will be limited partition functionality due to this discrepancy";
    const char* side = r.frame.side.c_str();
    r.Printf("%s%s%s\n", side, RepeatChar(' ', kFrameInnerWidth).c_str(), side);
    r.Printf("%s%s%s%s\n", side, warning.c_str(), Fill(warning, kFrameInnerWidth).c_str(), side);
    r.Printf("%s%s%s%s\n", side, meaning.c_str(), Fill(meaning, kFrameInnerWidth).c_str(), side);
}

// The GPT's head: revision, whether its backup passed, its disk GUID; then
// one row for each partition whose type the catalogue names, from the copy
// that passed.
void GptBlock(ReportContext& r) {
    mDisk& d = r.disk;
    GptDisk* gpt = d.Gpt();
    const GptHeader header = gpt ? gpt->PrimaryHeader() : GptHeader();
    const char* side = r.frame.side.c_str();
    const std::string size = r.sizes.FormatSize(static_cast<std::int64_t>(d.TotalBytes()), 2, true, 1, 1);
    r.Printf("%s   Size:        %s%sGPT Revision:    %d.%d%s%s\n", side, size.c_str(), Fill(size, 17).c_str(),
             header.RevisionMajor(), header.RevisionMinor(), RepeatChar(' ', 24).c_str(), side);
    const std::string backup = d.IsVirtual() ? "Virtual" : gpt && gpt->BackupPasses() ? "Valid" : "Invalid";
    r.Printf("%s   Sectors:     %-13" PRIu64 "    Backup GPT:      %s%s%s\n", side, d.TotalSectors(),
             backup.c_str(), Fill(backup, 27).c_str(), side);
    const std::string guid = GuidText(header.DiskGuid());
    r.Printf("%s   Partitions:  %d%sGUID:  %s %s\n", side, d.PartitionCount(0), RepeatChar(' ', 16).c_str(),
             guid.c_str(), side);
    MediaLines(r);
    r.Printf("%sPos    GPT Type         FSType   LBA Start   Size Reqd R/O Hide  DL Vol Label%s\n", side,
             side);
    ColumnUnderline(r, {3, 19, 6, 13, 4, 4, 3, 4, 0, 2, 9});
    for (int i = 1; gpt && i <= static_cast<int>(gpt->Partitions().size()); ++i) {
        const GptPartition& p = gpt->Partitions()[static_cast<std::size_t>(i - 1)];
        ShowGptRow(r, i,
                   GptRow{p.part.start, p.part.bytes, p.description, p.fileSystemName, p.attributeBits,
                          p.part.volumeLabel});
    }
    GptWarning(r, gpt);
    if (d.PartitionCount(0) == 0) NoPartitionsLine(r);
}

void ShowDisk(ReportContext& r, const ListingOptions& o) {
    FrameRule(r, "\n", r.frame.topLeft, r.frame.outerHorizontal, r.frame.topRight);
    DiskLine(r);
    if (r.disk.IsGpt())
        GptBlock(r);
    else
        MbrBlock(r, o);
    FrameRule(r, "", r.frame.bottomLeft, r.frame.outerHorizontal, r.frame.bottomRight);
}

// Selects a disk index and lists it when it is there and ready.
void ShowIndex(ReportContext& r, const ListingOptions& o, int index) {
    if (r.disk.Use(index) != 0 || r.disk.NotReady()) return;
    ShowDisk(r, o);
}

}  // namespace

std::optional<FreeRegion> FreeRegionFrom(mDisk& d, std::uint64_t from) {
    std::uint64_t next = d.TotalSectors();
    for (int n = 1; n <= d.PartitionCount(0); ++n) {
        const mPart* p = d.GetPartition(n, false);
        if (!p || p->sectors == 0) continue;
        if (p->start <= from && from < p->start + p->sectors) return std::nullopt;
        if (p->start >= from && p->start < next) next = p->start;
    }
    if (from >= next) return std::nullopt;
    return FreeRegion{from, next - from};
}

// Sector 63 is where the first partition of a traditional table begins; the
// space in front of the lowest primary counts from there.
std::optional<FreeRegion> FreeRegionInFront(mDisk& d) {
    std::uint64_t first = d.TotalSectors();
    for (int n = 1; n <= d.PartitionCount(0); ++n) {
        if (const mPart* p = d.GetPartition(n, false); p && p->start < first) first = p->start;
    }
    if (first <= kFirstPartitionSector || first > d.TotalSectors()) return std::nullopt;
    return FreeRegion{kFirstPartitionSector, first - kFirstPartitionSector};
}

void ShowMBR(ReportContext& report, const ListingOptions& options) {
    mDisk& d = report.disk;
    if (options.disk == kAllDisks || options.diskGiven == 0) {
        for (int i = 0; i < d.DiskCount(); ++i) ShowIndex(report, options, i);
    } else if (options.disk == kVirtualDisk) {
        // A file that could not be opened leaves the previous disk selected:
        // nothing of it belongs in this listing.
        if (d.UseVirtual(options.diskFileName) == 0 && !d.NotReady()) ShowDisk(report, options);
    } else {
        ShowIndex(report, options, options.disk);
    }
    if (options.asciiMap) ShowCodePageTable(report);
}

}  // namespace partam
