// Pieces of locale number formatting that both real platforms share.
#pragma once

#include <string_view>

#include "platform/number_format.h"

namespace partam {

// A count of decimals of all bits set asks for as many as the number text
// has after its decimal point (0 when it has none).
inline constexpr unsigned kDecimalsAsGiven = 0xFFFFFFFFu;
unsigned DecimalsToShow(std::string_view numberText, unsigned decimals);

// The number format of a POSIX locale's numeric conventions (its decimal
// point, thousands separator and grouping bytes). A locale that separates no
// thousands, as the C locale, gets the default Windows format instead, so
// that the programs of both systems print the same sizes.
NumberFormat NumberFormatOfLocale(std::string_view decimalPoint, std::string_view thousandsSeparator,
                                  std::string_view grouping);

}  // namespace partam
