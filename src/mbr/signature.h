// The disk signature and the status byte, both kept in sector 0. Each
// reads sector 0 afresh before it looks or changes anything, so what the
// disk object read earlier never overwrites a newer MBR; a sector 0
// without 55 AA stops them all with 510 before anything is written, and so
// does, for the changes, a filesystem's boot sector or another system's
// label (see ClassifySectorZero).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "disk/disk.h"

namespace partam {

inline constexpr std::size_t kStatusByteOffset = 434;

enum class SignatureMode : int { Zero = 0, Generate = 1, Write = 2 };

// Draws a 32-bit number; the program passes the platform's source.
using RandomSource = std::function<std::uint32_t()>;

// Sector 0 read anew into the disk object's copy, its table read from it:
// 0, or 510 (recorded, with sector 0 as its parameter) without 55 AA.
[[nodiscard]] int LoadMbr(mDisk& disk);

// The four signature bytes most significant first (bytes 443 to 440), as
// they are shown, into out: 0, or 510 with zeros.
[[nodiscard]] int ReadDiskSignature(mDisk& disk, std::array<std::uint8_t, 4>& out);

// Exactly eight hexadecimal digits, "AC67AC68" for the 32-bit value
// 0xAC67AC68; nothing otherwise.
std::optional<std::uint32_t> ParseSignatureText(std::string_view text);

// Zeroes, generates or writes (from text) the signature and writes sector
// 0, keeping every other byte of it. A generated signature is never 0,
// which means none. 557 for a mode it does not know or text that is not a
// signature; 510 without 55 AA; 505 when the write fails. Returns the code
// of this change, whether or not /ignore kept it from being recorded.
[[nodiscard]] int SetDiskSignature(mDisk& disk, int mode, std::string_view text, const RandomSource& random);

// The status byte of a freshly read sector 0 into out: 0, or 510.
[[nodiscard]] int ReadStatusByte(mDisk& disk, std::uint8_t& out);
// Sets the status byte and writes sector 0: 0, 510 or 505.
[[nodiscard]] int WriteStatusByte(mDisk& disk, std::uint8_t value);

}  // namespace partam
