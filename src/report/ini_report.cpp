// The INI report. Its bytes are exact: every line break is CR LF and comes
// before its line, so the file begins with a line break and ends without
// one; the section numbers of disks and partitions are single characters
// ('0' + the number), which readers of the file rely on.
#include "report/ini_report.h"

#include <cinttypes>
#include <string_view>
#include <vector>

#include "base/result_codes.h"
#include "base/text.h"
#include "disk/sector_file.h"
#include "fs/file_system.h"
#include "gpt/gpt_disk.h"

namespace partam {

namespace {

constexpr int kRuleLength = 77;

char NumberChar(int number) { return static_cast<char>('0' + number); }

const char* YesNo(bool yes) { return yes ? "Yes" : "No"; }

std::string Decimal(std::uint64_t value) { return Format("%" PRIu64, value); }

void Key(std::string& out, std::string_view name, std::string_view value) {
    out += "\r\n";
    out += name;
    out += '=';
    out += value;
}

// Size, then the same bytes in MB, GB and TB (1024-based).
void SizeKeys(std::string& out, std::uint64_t bytes) {
    Key(out, "Size", Decimal(bytes));
    Key(out, "SizeMB", Hundredths(bytes, 20));
    Key(out, "SizeGB", Hundredths(bytes, 30));
    Key(out, "SizeTB", Hundredths(bytes, 40));
}

void ChsKeys(std::string& out, const PartitionEntry& entry) {
    const Chs first = StartChs(entry), last = EndChs(entry);
    Key(out, "CylStart", Decimal(first.cylinder));
    Key(out, "CylEnd", Decimal(last.cylinder));
    Key(out, "HeadStart", Decimal(first.head));
    Key(out, "HeadEnd", Decimal(last.head));
    Key(out, "SectStart", Decimal(first.sector));
    Key(out, "SectEnd", Decimal(last.sector));
}

// The partitions of the selected disk in the order of their sections: the
// primaries by number (every GPT entry is one), then the logical partitions
// in chain order, which carry no number of their own in the table.
std::vector<const mPart*> SectionOrder(mDisk& disk) {
    std::vector<const mPart*> order;
    for (int n = 1; n <= disk.PartitionCount(0); ++n)
        if (const mPart* p = disk.GetPartition(n, false)) order.push_back(p);
    if (disk.IsGpt()) return order;
    for (int at = 1; at <= disk.PartitionCount(2); ++at) {
        const mPart* p = disk.GetPartition(at, true);
        if (p && !p->isPrimary) order.push_back(p);
    }
    return order;
}

// The section number of the active partition, "N/A" without one. The
// number is the section's, so that the key names the section that says
// "ActivePart=Yes" whichever slot holds the extended partition.
std::string ActiveSection(const std::vector<const mPart*>& order) {
    int active = 0;
    for (std::size_t i = 0; i < order.size(); ++i)
        if (order[i]->active) active = static_cast<int>(i + 1);
    return active > 0 ? std::string(1, NumberChar(active)) : std::string("N/A");
}

const GptPartition* GptRecord(mDisk& disk, std::size_t index) {
    GptDisk* gpt = disk.Gpt();
    return gpt && index < gpt->Partitions().size() ? &gpt->Partitions()[index] : nullptr;
}

void PartitionSection(std::string& out, mDisk& disk, int diskIndex, int number, const mPart& p) {
    const bool gpt = disk.IsGpt();
    out += Format("\r\n\r\n[Disk%c.Partition%c]", NumberChar(diskIndex), NumberChar(number));
    if (!gpt) Key(out, "ActivePart", YesNo(p.active != 0));
    Key(out, "Primary", YesNo(p.isPrimary != 0));
    SizeKeys(out, p.bytes);
    Key(out, "VolumeID", VolumeIdText(disk, p.start));
    if (!gpt && !p.volumeLabel.empty()) Key(out, "VolLabel", p.volumeLabel);
    Key(out, "LBAStart", Decimal(p.start));
    Key(out, "LBAEnd", Decimal(p.start + p.sectors));
    Key(out, "LBATotal", Decimal(p.sectors));
    if (!gpt) {
        ChsKeys(out, p.entry);
        return;
    }
    const GptPartition* record = GptRecord(disk, static_cast<std::size_t>(number - 1));
    Key(out, "Description", record ? record->description : std::string());
    Key(out, "Readonly", YesNo(record && record->attributeBits != 0));
    Key(out, "VolumeName", p.volumeLabel);
}

// The section of the selected disk and those of its partitions.
std::string DiskSections(mDisk& disk, int diskIndex) {
    const bool gpt = disk.IsGpt();
    const std::vector<const mPart*> order = SectionOrder(disk);
    std::string out = Format("\r\n\r\n[Disk%c]", NumberChar(diskIndex));
    SizeKeys(out, disk.TotalBytes());
    Key(out, "Type", gpt ? "GPT" : "MBR");
    Key(out, "Interface", disk.BusName());
    Key(out, "Description", disk.DeviceDescription());
    Key(out, "Removable", YesNo(disk.IsRemovable()));
    Key(out, "PartitionCount", Format("%d", disk.PartitionCount(0)));
    if (!gpt) {
        Key(out, "ActivePart", ActiveSection(order));
        const DiskGeometryFields& g = disk.Geometry();
        Key(out, "Cylinders", Decimal(g.cylinders));
        Key(out, "Heads", Decimal(g.tracksPerCylinder));
        Key(out, "SectorsPerTrack", Decimal(g.sectorsPerTrack));
        // Most significant byte first, each without a leading zero.
        const auto& s = disk.DiskSignature();
        Key(out, "Signature",
            Format("%x%x%x%x", unsigned{s[3]}, unsigned{s[2]}, unsigned{s[1]}, unsigned{s[0]}));
    }
    for (std::size_t i = 0; i < order.size(); ++i)
        PartitionSection(out, disk, diskIndex, static_cast<int>(i + 1), *order[i]);
    return out;
}

std::string HeadText(const IniTitle& title, int diskCount) {
    std::string out = "\r\n" + title.banner + " for " + title.platformName + "  " + title.dateText;
    out += "\r\n" + title.notice + "\r\n";
    out += std::string(kRuleLength, '-');
    out += "\r\n\r\n[System]";
    Key(out, "DiskCount", Format("%d", diskCount));
    return out;
}

bool WriteAll(SectorFile& file, const std::string& text) {
    std::uint32_t done = 0;
    return file.WriteBytes(text.data(), static_cast<std::uint32_t>(text.size()), &done) &&
           done == text.size();
}

}  // namespace

// Whole numbers only: the file must hold the same bytes from every build,
// and C libraries do not agree on how printf rounds a value that lies
// exactly halfway between two hundredths (1.125 MiB is one).
std::string Hundredths(std::uint64_t bytes, unsigned shift) {
    const std::uint64_t unit = std::uint64_t{1} << shift;
    std::uint64_t whole = bytes >> shift;
    // The remainder is below 2^40, so a hundred times it still fits.
    std::uint64_t hundredths = ((bytes & (unit - 1)) * 100 + unit / 2) >> shift;
    if (hundredths == 100) {
        ++whole;
        hundredths = 0;
    }
    return Format("%" PRIu64 ".%02u", whole, static_cast<unsigned>(hundredths));
}

// One disk's sections are written before the next disk is read, so the
// text in memory stays that of one disk. A write that fails is reported:
// the report is never said to be written when it is not whole.
int WriteIniReport(mDisk& disk, const std::string& path, const IniTitle& title) {
    SectorFile file(disk.GetPlatform());
    if (!file.OpenCreate(path)) return kIniWriteFailed;
    if (!WriteAll(file, HeadText(title, disk.DiskCount()))) return kIniWriteFailed;
    for (int d = 0; d < disk.DiskCount(); ++d) {
        disk.Use(d);
        if (!WriteAll(file, DiskSections(disk, d))) return kIniWriteFailed;
    }
    return 0;
}

}  // namespace partam
