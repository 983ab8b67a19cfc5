// The disk information of /info and the menu of /bootmenu: text only. What
// the boot menu asks and what it changes belong to the command.
#pragma once

#include <vector>

#include "report/listing.h"

namespace partam {

// Every disk's BIOS extension state, geometry, sector count and size. Each
// disk is selected in turn; the last one stays selected.
void ShowInfo(ReportContext& report);

// The selected disk's primary partitions as a numbered menu; returns the
// numbers shown, in order. An extended partition of type 0x0F is left out:
// no system boots from it.
std::vector<int> ShowBootMenu(ReportContext& report);

}  // namespace partam
