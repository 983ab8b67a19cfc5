#include "backup/sector_range.h"

#include <limits>

#include "base/text.h"

namespace partam {

namespace {

std::optional<std::int64_t> Sector(std::string_view text) {
    const std::optional<std::uint64_t> n = ParseDecimal(text);
    if (!n || *n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    return static_cast<std::int64_t>(*n);
}

}  // namespace

std::optional<SectorRange> ParseRangeText(std::string_view text) {
    const std::size_t dash = text.find('-', 1);
    if (text.empty() || dash == std::string_view::npos) return std::nullopt;
    const std::optional<std::int64_t> first = Sector(text.substr(0, dash)),
                                      last = Sector(text.substr(dash + 1));
    if (!first || !last) return std::nullopt;
    return SectorRange{*first, *last};
}

}  // namespace partam
