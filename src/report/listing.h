// The framed listing of disks and their partitions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "disk/disk.h"
#include "platform/platform.h"
#include "report/formatters.h"
#include "report/frame.h"

namespace partam {

// What the listing is asked to show.
struct ListingOptions {
    std::int32_t disk = 0;       // a disk index, -1 all disks, 999 the virtual disk file
    std::int32_t diskGiven = 1;  // 0: no disk= was given, list every disk
    std::string diskFileName;    // the virtual disk file for disk 999
    bool freeSpace = false;
    bool extendedOnly = false;  // also list the logical partitions
    bool asciiMap = false;
};

// Everything the report code writes with.
struct ReportContext {
    Platform& platform;
    mDisk& disk;
    const FrameChars& frame;
    SizeFormatter& sizes;

#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void
    Printf(const char* format, ...);
};

// One GPT entry as a listing row shows it.
struct GptRow {
    std::uint64_t start = 0;
    std::uint64_t bytes = 0;
    std::string description;  // of the entry's type
    std::string fileSystem;
    std::uint64_t attributes = 0;
    std::string volumeLabel;
};

// Every framed line is this wide between its two side characters.
inline constexpr int kFrameInnerWidth = 77;

void ShowMBR(ReportContext& report, const ListingOptions& options);

// The free space of an MBR disk as the listing's free-space rows show it.
struct FreeRegion {
    std::uint64_t start = 0;
    std::uint64_t sectors = 0;
};
// The region that starts at sector from, up to the nearest primary's start
// after it or the disk's end; none when from lies inside a primary or at or
// past the disk's end.
std::optional<FreeRegion> FreeRegionFrom(mDisk& disk, std::uint64_t from);
// The region from sector 63 up to the lowest primary; none when that
// primary starts at 63 or before.
std::optional<FreeRegion> FreeRegionInFront(mDisk& disk);

// The drive letter column of primary partition number: "NA" on a virtual
// disk, "C:" with a letter, two spaces without one.
std::string DriveLetterText(ReportContext& report, int number);
// Mode 0: the framed listing row; mode 1: the unframed row of a backup
// file's display.
void ShowPartitionRow(ReportContext& report, int number, const mPart& partition, int mode);
void ShowGptRow(ReportContext& report, int number, const GptRow& entry);
void ShowFreeSpaceRow(ReportContext& report, std::uint64_t start, std::uint64_t count);
// Every byte value beside its number, for checking the console's code page.
void ShowCodePageTable(ReportContext& report);

}  // namespace partam
