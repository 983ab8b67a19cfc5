// Locale number formatting as the Windows number formatter does it, for the
// platforms that have to do it themselves.
#pragma once

#include <optional>
#include <string>

namespace partam {

struct NumberFormat {
    std::string decimalSeparator = ".";
    std::string thousandSeparator = ",";
    unsigned leadingZero = 1;    // "0.5" rather than ".5"
    unsigned grouping = 3;       // digits per group, 0 for none
    unsigned negativeOrder = 1;  // 0 "(1)", 1 "-1", 2 "- 1", 3 "1-", 4 "1 -"
};

// numberText is an optional "-", digits, and optionally "." and digits. The
// result is rounded half up to the given decimals. Nothing for any other
// text.
std::optional<std::string> ApplyNumberFormat(const std::string& numberText, unsigned decimals,
                                             const NumberFormat& format);

}  // namespace partam
