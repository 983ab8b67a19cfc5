// The sector runs that backups and wipes work on: the "a-b" text of
// /range=, and the size of one transfer.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace partam {

// Sectors move in transfers of this many sectors (1 MiB) at most, with one
// buffer per command, so any size of disk is copied in bounded memory.
inline constexpr std::uint32_t kChunkSectors = 2048;

struct SectorRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
};

// "a-b": the number before a "-" that stands at the second character or
// later, and the number after it, each all decimal digits; nothing when
// there is no such "-" or either is no number (or passes 2^63 - 1). Their
// order is not judged here.
std::optional<SectorRange> ParseRangeText(std::string_view text);

}  // namespace partam
