// Opening a VMDK virtual disk: its descriptor, a text file or the one a
// sparse extent carries inside it, and every extent the descriptor names.
#pragma once

#include <string>
#include <vector>

#include "disk/virtual_disk.h"
#include "platform/platform.h"
#include "vdisk/descriptor.h"
#include "vdisk/vmdk_device.h"

namespace partam {

// What a disk's descriptor says, before any extent is opened: its type and
// the extent files in order, or the code that refuses the disk (as
// OpenVmdk's, but for the extents' own contents).
struct VmdkPlan {
    int code = 0;
    VmdkDescriptor descriptor;
    VmdkType type = VmdkType::Unknown;
    std::vector<ExtentPlan> extents;
};
VmdkPlan PlanVmdk(Platform& platform, const std::string& path);

// The disk named by path, or the code that refuses it: 302 no descriptor,
// 304 a type other than the four plain VMware types (a disk with a parent
// among them), 303 an extent file that does not open, 567 a descriptor or
// sparse extent that cannot be read, 568 sizes that do not fit the extent
// files, 569 a descriptor file that cannot be opened.
VirtualDiskOpening OpenVmdk(Platform& platform, const std::string& path);

}  // namespace partam
