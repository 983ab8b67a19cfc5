// The two boot code images /repair= writes into an MBR: this program's own
// 16-bit x86 loaders, assembled from src/backup/boot_code/*.asm into
// boot_code_images.cpp by scripts/boot-code.sh.
//
// Each loader moves itself to 0000:0600, accepts a table with one active
// entry (0x80) and every other one inactive (0) and otherwise shows "Invalid
// partition table"; loads the active partition's first sector to 0000:7C00,
// showing "Error loading operating system" when it cannot be read and
// "Missing operating system" when it does not end in 55 AA; and jumps to it
// with DL = the boot drive and DS:SI at the partition's entry. With no active
// entry it hands back to the BIOS (INT 18h). The two differ only in how they
// read:
//   image 1 ("XP")   by CHS in the BIOS's geometry, by the INT 13h extensions
//                    only when the partition starts beyond CHS reach;
//   image 2 ("Win7") by the extensions whenever the BIOS has them.
//
// An image is 446 bytes: the loader and its messages, then zeros from byte
// 434 on. The loaders never read or run bytes 434 (where a status byte may
// be kept) to 445 (the disk signature and two zero bytes), so a user may set
// those as they like. Each starts with 33 C0, by which an MBR with boot code
// is recognised.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace partam {

inline constexpr std::size_t kBootCodeSize = 446;
using BootCodeImage = std::array<std::uint8_t, kBootCodeSize>;

extern const BootCodeImage kBootCodeXp;
extern const BootCodeImage kBootCodeWin7;

}  // namespace partam
