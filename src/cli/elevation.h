// Whether the process may open the disks, and the shutdown or restart that
// /shutdown= asks for after a successful command.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace partam {

// True on the NT family from major version 6 on, where the system separates
// administrator rights from an elevated token.
bool IsVistaOrLater(Platform& platform);

// True when the token's elevation could be asked; elevated receives 1 when
// it is elevated and 0 when not.
bool IsElevated(Platform& platform, int& elevated);

// False only when the system separates rights and the token is known not to
// be elevated. A token that cannot be asked passes: opening the drives then
// tells the truth (no disk found, 515) instead of a guess refusing the run.
bool HasDiskRights(Platform& platform);

// The system's shutdown flags for a /shutdown= mode: 1 force shutdown (5),
// 2 force reboot (6), 3 shutdown (1), 4 reboot (2); 0 for any other mode.
std::uint32_t ShutdownFlags(int mode);

// Shuts down or restarts the machine by mode; false when the mode is not
// one of the four or the system refused.
bool ShutdownSystem(Platform& platform, int mode);

}  // namespace partam
