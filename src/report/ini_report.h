// The INI report: every disk and its partitions as sections of keys, in a
// file for scripts and other programs to read.
#pragma once

#include <string>

#include "disk/disk.h"

namespace partam {

// What the head of the report names: "<banner> for <platform>  <date>",
// then the notice line.
struct IniTitle {
    std::string banner;
    std::string platformName;
    std::string dateText;
    std::string notice;
};

// Writes the report of every disk to path, replacing any file there. The
// disks are selected in turn; the caller selects its own disk again. 0, or
// 104 when the file cannot be created or a write to it fails.
int WriteIniReport(mDisk& disk, const std::string& path, const IniTitle& title);

// A byte count in units of 2^shift bytes with two decimals, a half
// hundredth rounded up: "1.13" for 1.125 MiB at shift 20.
std::string Hundredths(std::uint64_t bytes, unsigned shift);

}  // namespace partam
