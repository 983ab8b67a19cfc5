// The branch of /show=: what a backup file holds, or a sector of the disk
// read as an MBR, with the primary partitions of the table found there.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <memory>
#include <optional>

#include "backup/backup_file.h"
#include "backup/save_restore.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "cli/branches.h"
#include "mbr/partition_list.h"
#include "report/listing.h"

namespace partam {

namespace {

// The hidden copy of the MBR that /show=hidden reads.
constexpr std::uint64_t kHiddenSector = 9;
// A headerless file of this size is a copy of the first head.
constexpr std::uint64_t kFirstHeadBytes = 63 * kSectorSize;

struct Shown {
    std::string title;
    std::string details;                   // the lines about the file
    std::unique_ptr<PartitionList> table;  // the primaries shown; none: the selected disk's
    bool file = false;
};

void Refuse(RunContext& run, int code, const std::string& badSwitch = std::string()) {
    if (run.options.result == 0 && !badSwitch.empty()) run.options.badSwitchText = badSwitch;
    RecordResult(run, CommandId::Show, code);
}

// The table of an MBR that a file holds as its first data sector. Sectors
// beyond it (an extended chain) are read from the file when it holds them.
std::unique_ptr<PartitionList> FileTable(SectorFile& file, std::uint64_t dataStart, std::uint64_t dataSectors,
                                         const Sector& mbr) {
    TableSource source;
    source.sector0 = mbr;
    source.totalSectors = dataSectors;
    source.read = [&file, dataStart, dataSectors](std::uint64_t lba, std::uint8_t* sector) {
        return lba < dataSectors && file.ReadSectors(sector, dataStart + lba, 1);
    };
    return ReadMbrTable(source);
}

const char* HeaderlessContent(const Sector& s) {
    if (s[0] == 0x33 && s[1] == 0xC0) return "MBR";
    if (s[0] == 0xEB && s[1] == 0x58) return "BootRecord";
    for (const char* name : {"NTFS", "FAT16", "FAT32"})
        if (std::equal(name, name + std::strlen(name), s.begin() + 3)) return "Superfloppy";
    return "Unknogwn";
}

std::string HeaderDetails(const BackupHeader& h, bool validMbr) {
    std::string d = Format("\n File Version: %d.0", h.version);
    d += Format("\n Valid MBR:    %s", validMbr ? "Yes" : "No");
    const auto count = static_cast<std::int64_t>(h.countField);
    const auto first = static_cast<std::int64_t>(h.firstSector);
    const int partitions = h.partitionCount;
    switch (static_cast<BackupKind>(h.kind)) {
        case BackupKind::Mbr:
            d += Format("\n Type:         MBR \n Partitions:   %d\n Sector Count: %" PRId64, partitions,
                        count);
            break;
        case BackupKind::Head:
            d += Format("\n Type:         Entire First Head \n Partitions:   %d\n Sector Count: %" PRId64,
                        partitions, count);
            break;
        case BackupKind::Gpt:
            d += "\n Type:         GPT";
            break;
        case BackupKind::Range:
            d += Format("\n Type:         Range \n First Sector: %" PRId64 "\n Sector Count: %" PRId64
                        "\n Partitions:   %d",
                        first, count, partitions);
            break;
        case BackupKind::Vbr:
            d += Format("\n Type:         Volume Boot Record (VBR) \n First Sector: %" PRId64
                        "\n Sector Count: %" PRId64 "\n Partitions:   %d",
                        first, count, partitions);
            break;
        case BackupKind::Disk:
            d += Format("\n Type:         Disk \n Partitions:   %d\n Sector Count: %" PRId64, partitions,
                        count);
            break;
        default:
            break;
    }
    return d + "\n Disk Model:   " + h.model;
}

// A backup file: its header, or what its size and first sector say. The
// partitions shown are those of the MBR the file itself holds, when its data
// starts at its disk's sector 0; the disk the program has selected says
// nothing about the file.
void DescribeFile(RunContext& run, const std::string& path, Shown& shown) {
    shown.file = true;
    shown.title = path.size() < 31 ? "file:  " + path + "\n" : "file: \n   " + path + "\n";
    SectorFile file(run.platform);
    if (!file.OpenRead(path)) return Refuse(run, kFileOpenFailed);
    const std::uint64_t size = file.Size();
    Sector first{};
    const bool whole = size >= kSectorSize && file.ReadSectors(first.data(), 0, 1);
    if (whole && ProbeBackupHeader(first) != 0) {
        const BackupHeader h = DecodeBackupHeader(first);
        const std::uint64_t held = (size - kSectorSize) / kSectorSize;
        Sector mbr{};
        const bool fromZero = h.firstSector == 0 && held > 0 && file.ReadSectors(mbr.data(), 1, 1);
        const bool valid = fromZero && HasBootSignature(mbr);
        shown.details = HeaderDetails(h, valid);
        if (valid) shown.table = FileTable(file, 1, std::min(held, HeaderDataSectors(h)), mbr);
        return;
    }
    shown.details = "\n File Version:  2.0";
    if (size == kSectorSize && whole) {
        shown.details += std::string("\n File Content:  ") + HeaderlessContent(first);
        shown.details += HasBootSignature(first) ? "\n Valid MBR:     Yes" : "\n Valid MBR:     No";
    } else if (size == kFirstHeadBytes && whole) {
        if (!HasBootSignature(first)) return Refuse(run, kFileWithoutMbr);
        shown.details += "\n File Content:  First Head\n Valid MBR:     Yes";
    }
    if (whole && HasBootSignature(first) && (size == kSectorSize || size == kFirstHeadBytes))
        shown.table = FileTable(file, 0, size / kSectorSize, first);
}

// What was learnt is shown even when the file then turned out unreadable;
// the table only when all went well.
void PrintDisplay(RunContext& run, const Shown& shown) {
    run.Print("\nDisplaying contents of " + shown.title + shown.details);
    if (run.options.result != 0) {
        run.Print("\n");
        return;
    }
    if (shown.file) run.Print("\n");
    const std::string& h = run.frame.innerHorizontal;
    run.Print("\n Pos Idx Type/Name  Size Active Hide  Start Sector      Sectors\n");
    std::string underline;
    for (const int length : {3, 3, 10, 4, 6, 4, 14, 15}) {
        underline += ' ';
        underline += RepeatText(h, length);
    }
    run.Print(underline);
    ReportContext report{run.platform, *run.disk, run.frame, *run.sizeFormatter};
    if (shown.file) {
        PartitionList* table = shown.table.get();
        for (int n = 1; table && n <= table->PartitionCount(0); ++n)
            if (const mPart* p = table->GetPartition(n, false)) ShowPartitionRow(report, n, *p, 1);
    } else {
        for (int n = 1; n <= run.disk->PartitionCount(0); ++n)
            if (const mPart* p = run.disk->GetPartition(n, false)) ShowPartitionRow(report, n, *p, 1);
    }
    run.Print("\n");
}

}  // namespace

void ShowBranch(RunContext& run) {
    const RunOptions& o = run.options;
    mDisk& disk = *run.disk;
    Shown shown;
    if (EqualsNoCase(o.valueText, "file")) {
        if (!run.arguments.Find("/Filename") || run.arguments.Value().empty())
            return Refuse(run, kMissingParameter, "/Filename=");
        const std::string path = run.arguments.Value();
        if (!FileExists(run.platform, path)) return Refuse(run, kFileNotFound);
        DescribeFile(run, path, shown);
        PrintDisplay(run, shown);
    } else if (EqualsNoCase(o.valueText, "sector")) {
        if (!run.arguments.Find("/Sector")) return Refuse(run, kMissingParameter, "/Sector=");
        static_cast<void>(disk.LoadTableFrom(static_cast<std::uint64_t>(o.sector)));
        shown.title = Format("sector # %d on Disk %d\n", o.sector, disk.CurrentIndex());
    } else if (EqualsNoCase(o.valueText, "hidden")) {
        static_cast<void>(disk.LoadTableFrom(kHiddenSector));
        shown.title = Format("hidden sector for Disk %d\n", disk.CurrentIndex());
    } else {
        return Refuse(run, kMissingParameter,
                      run.arguments.Find("/Show") ? run.arguments.Text() : "/show=" + o.valueText);
    }
    // What the sector shown holds, as a table, is what counts now.
    if (!shown.file && RecordResult(run, CommandId::Show, DiskProblem(run)) == 0) PrintDisplay(run, shown);
    DebugTrace(run, "Show", run.options.result);
}

}  // namespace partam
