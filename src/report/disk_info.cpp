#include "report/disk_info.h"

#include <cinttypes>
#include <string>

#include "disk/partition.h"

namespace partam {

namespace {

// A program that runs under the system has no way to the BIOS's enhanced
// disk drive parameters; without them there is no extension to show, and
// no host bus or interface of it.
constexpr const char* kNoBiosExtension = "None";
constexpr const char* kNotSupported = "Not Supported";

constexpr std::uint32_t kExtendedLbaType = 0x0F;

const char* YesNo(bool yes) { return yes ? "Yes" : "No "; }

std::string DiskSize(ReportContext& r) {
    return r.sizes.FormatSize(static_cast<std::int64_t>(r.disk.TotalBytes()), 2, true, 1, 1);
}

void MenuRow(ReportContext& r, int number, const mPart& p) {
    const std::string label = p.volumeLabel.empty() ? "<None>" : p.volumeLabel;
    r.Printf("\n  %-2d %-12s %s %-2.2X-%-7.7s %s   %-3.3s     %-3.3s     %s", number, label.c_str(),
             DriveLetterText(r, number).c_str(), static_cast<unsigned>(p.type), p.typeName.c_str(),
             ShortSize(p.bytes).c_str(), YesNo(p.active != 0), YesNo(p.hidden != 0),
             GroupedNumber(p.start & 0xFFFFFFFFu, 12).c_str());
}

}  // namespace

void ShowInfo(ReportContext& report) {
    mDisk& d = report.disk;
    for (int index = 0; index < d.DiskCount(); ++index) {
        // A disk that may not be used is left out (its selection said why).
        if (d.Use(index) != 0) continue;
        report.Printf("\n Disk:       %d\n Bios Ext:   %s", index, kNoBiosExtension);
        report.Printf("\n Host Bus:   %s", kNotSupported);
        report.Printf("\n Interface:  %s", kNotSupported);
        const DiskGeometryFields& g = d.Geometry();
        report.Printf(
            "\n CHS:        %lu %lu %lu     Sectors: %" PRIu64 "   Size: %s",
            static_cast<unsigned long>(g.cylinders), static_cast<unsigned long>(g.tracksPerCylinder),
            static_cast<unsigned long>(g.sectorsPerTrack), d.TotalSectors(), DiskSize(report).c_str());
        report.Printf("\n");
    }
}

// The head names the disk the menu is of, which need not be disk 0.
std::vector<int> ShowBootMenu(ReportContext& report) {
    mDisk& d = report.disk;
    const std::string size = DiskSize(report);
    const std::string name = d.DeviceDescription();
    if (d.IsVirtual())
        report.Printf("\n Disk: Virtual   Size: %s  Name: %s\n", size.c_str(), name.c_str());
    else
        report.Printf("\n Disk: %d   Size: %s  Name: %s\n", d.CurrentIndex(), size.c_str(), name.c_str());
    report.Printf("\n ID  Volume Label DL Type/Name  Size  Active  Hidden  Start Sector");
    report.Printf("\n --  ------------ -- ---------  ----  ------  ------  ------------");
    std::vector<int> shown;
    for (int n = 1; n <= d.PartitionCount(0); ++n) {
        const mPart* p = d.GetPartition(n, false);
        if (!p || p->type == kExtendedLbaType) continue;
        MenuRow(report, n, *p);
        shown.push_back(n);
    }
    return shown;
}

}  // namespace partam
