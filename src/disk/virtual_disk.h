// What the disk object is given when a virtual disk file is opened: the
// device that maps the virtual disk's own sectors, and how the disk names
// itself. The opener lives above the disk layer (src/vdisk); the program
// wires it in, as it does the table readers.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "disk/sector_device.h"
#include "platform/platform.h"

namespace partam {

struct VirtualDiskOpening {
    int code = 0;  // 0 when the disk opened, else the code that refuses it
    std::unique_ptr<SectorDevice> device;
    std::string interfaceText;  // in place of a drive's bus name
    std::string description;
};

using VirtualDiskOpener = std::function<VirtualDiskOpening(Platform& platform, const std::string& path)>;

}  // namespace partam
