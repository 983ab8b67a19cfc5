#include "platform/number_format.h"

#include <algorithm>

namespace partam {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Adds one to a string of decimal digits; returns whether it carried out.
bool Increment(std::string& digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    return true;
}

std::string Group(const std::string& whole, const NumberFormat& f) {
    if (f.grouping == 0) return whole;
    std::string out;
    const std::size_t g = f.grouping;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const std::size_t fromRight = whole.size() - i;
        out += whole[i];
        if (fromRight > 1 && (fromRight - 1) % g == 0) out += f.thousandSeparator;
    }
    return out;
}

}  // namespace

std::optional<std::string> ApplyNumberFormat(const std::string& text, unsigned decimals,
                                             const NumberFormat& f) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    std::string whole, fraction;
    while (i < text.size() && IsDigit(text[i])) whole += text[i++];
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) fraction += text[i++];
    }
    if (i != text.size() || (whole.empty() && fraction.empty())) return std::nullopt;
    if (decimals > 9) return std::nullopt;

    // Round half up at the requested count of decimals.
    const bool roundUp = fraction.size() > decimals && fraction[decimals] >= '5';
    fraction.resize(decimals, '0');
    if (roundUp) {
        std::string all = whole + fraction;
        if (Increment(all)) all.insert(all.begin(), '1');
        whole = all.substr(0, all.size() - decimals);
        fraction = all.substr(all.size() - decimals);
    }
    // Leading zeros go; a zero whole part stays only with leadingZero.
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    if (whole.empty() && (f.leadingZero != 0 || fraction.empty())) whole.assign(1, '0');

    std::string number = Group(whole, f);
    if (decimals > 0) number += f.decimalSeparator + fraction;
    const bool isZero = std::all_of(whole.begin(), whole.end(), [](char c) { return c == '0'; }) &&
                        std::all_of(fraction.begin(), fraction.end(), [](char c) { return c == '0'; });
    if (!negative || isZero) return number;
    switch (f.negativeOrder) {
        case 0:
            return "(" + number + ")";
        case 2:
            return "- " + number;
        case 3:
            return number + "-";
        case 4:
            return number + " -";
        default:
            return "-" + number;
    }
}

}  // namespace partam
