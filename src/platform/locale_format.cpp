#include "platform/locale_format.h"

namespace partam {

unsigned DecimalsToShow(std::string_view numberText, unsigned decimals) {
    if (decimals != kDecimalsAsGiven) return decimals;
    const std::size_t point = numberText.find('.');
    if (point == std::string_view::npos) return 0;
    return static_cast<unsigned>(numberText.size() - point - 1);
}

NumberFormat NumberFormatOfLocale(std::string_view decimalPoint, std::string_view thousandsSeparator,
                                  std::string_view grouping) {
    NumberFormat format;
    if (thousandsSeparator.empty()) return format;
    if (!decimalPoint.empty()) format.decimalSeparator = std::string(decimalPoint);
    format.thousandSeparator = std::string(thousandsSeparator);
    // The first group size counts; 0 or CHAR_MAX there means no grouping.
    const unsigned first = grouping.empty() ? 0 : static_cast<unsigned char>(grouping[0]);
    format.grouping = (first == 0 || first >= 127) ? 0 : first;
    return format;
}

}  // namespace partam
