// The checks /verify makes of a VMware virtual disk's own structures, before
// (and whether or not) its sectors can be read as a disk: each extent file
// against the size its descriptor line gives, and each sparse extent's grain
// directories and tables against each other and against the file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "report/verify.h"
#include "vdisk/open_vmdk.h"

namespace partam {

// Reads count sectors of an extent file from its sector at; false when they
// cannot all be read.
using ExtentReader = std::function<bool(std::uint64_t at, std::uint32_t count, std::uint8_t* bytes)>;

// One sparse extent of `sectors` sectors in a file of fileSectors sectors,
// named `where` in the findings. Pure: it reads through read alone.
std::vector<Finding> VerifySparseExtent(const std::string& where, std::uint64_t sectors,
                                        std::uint64_t fileSectors, const ExtentReader& read);

// Every extent of a disk whose descriptor was read, each file opened for
// reading alone.
std::vector<Finding> VerifyVmdkExtents(Platform& platform, const VmdkPlan& plan);

}  // namespace partam
