#include "backup/sector_range.h"

#include "base/text.h"

namespace partam {

std::optional<SectorRange> ParseRangeText(std::string_view text) {
    const std::size_t dash = text.find('-', 1);
    if (text.empty() || dash == std::string_view::npos) return std::nullopt;
    return SectorRange{ReadDecimal(text.substr(0, dash)), ReadDecimal(text.substr(dash + 1))};
}

}  // namespace partam
