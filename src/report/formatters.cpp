#include "report/formatters.h"

#include <array>
#include <cinttypes>
#include <cstdio>

#include "base/text.h"

namespace partam {

namespace {

constexpr std::array<const char*, 8> kDecimalStyleUnits = {"Bytes", "KB", "MB", "GB", "TB", "PB", "EB", "ZB"};
constexpr std::array<const char*, 8> kIecStyleUnits = {"Bytes", "KiB", "MiB", "GiB",
                                                       "TiB",   "PiB", "EiB", "ZiB"};

// The largest unit FormatSize counts in (index 5, "PB").
constexpr int kLargestUnit = 5;

// The number of digits after the "." of a plain number text.
std::uint32_t DecimalsOf(const std::string& numberText) {
    const std::size_t point = numberText.find('.');
    if (point == std::string::npos) return 0;
    std::uint32_t count = 0;
    for (std::size_t i = point + 1; i < numberText.size() && numberText[i] >= '0' && numberText[i] <= '9';
         ++i)
        ++count;
    return count;
}

// One scaled ShortSize text: three characters, then the letter. The
// thresholds lie where the rounding of the narrower form would carry into a
// fourth digit (99.5 prints "100" with no decimals, 9.95 "10.0" with one).
std::string ScaledSize(double v, char letter) {
    std::string number;
    if (v >= 99.5)
        number = Format("%3d", static_cast<int>(v));
    else if (v >= 9.95)
        number = Format("% 2.0f", v);
    else
        number = Format("%2.1f", v);
    return number + letter;
}

}  // namespace

std::string RepeatChar(char c, int count) {
    return count > 0 ? std::string(static_cast<std::size_t>(count), c) : std::string();
}

std::string RepeatText(const std::string& unit, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += unit;
    return out;
}

std::string SizeFormatter::FormatSize(std::int64_t bytes, std::uint32_t decimals, bool base1024,
                                      int unitTable, int unitMode) {
    const std::int64_t step = base1024 ? 1024 : 1000;
    const double count = static_cast<double>(bytes);
    double value = -1.0;
    int unit = 0;
    std::int64_t m = 1;
    for (int k = 1; k <= kLargestUnit + 1 && value < 0; ++k) {
        m *= step;
        if (static_cast<double>(m - 1) > count) {
            value = count / static_cast<double>(m / step);
            unit = k - 1;
        }
    }
    // Past the largest unit the count stays in it rather than showing the
    // loop's unset value.
    if (value < 0 && bytes >= 0) {
        value = count / static_cast<double>(m / step);
        unit = kLargestUnit;
    }
    std::string text = FormatNumber(Format("%f", value), decimals);
    if (unitMode == 2) text += ' ';
    if (unitMode == 1 || unitMode == 2)
        text += (unitTable == 1 ? kDecimalStyleUnits : kIecStyleUnits)[static_cast<std::size_t>(unit)];
    return text;
}

std::string SizeFormatter::FormatNumber(const std::string& numberText, std::uint32_t decimals) {
    if (decimals == 0xFFFFFFFFu) decimals = DecimalsOf(numberText);
    std::optional<std::string> text = platform_.FormatLocaleNumber(numberText, decimals);
    if (text) return *text;
    return platform_.LastErrorText();
}

std::string ShortSize(std::uint64_t bytes, const std::string& fallback) {
    if (bytes < 999) return Format("%3d", static_cast<int>(bytes)) + "B";
    static constexpr char kLetters[] = {'K', 'M', 'G', 'T', 'P'};
    for (int i = 0; i < 5; ++i) {
        const std::uint64_t unit = std::uint64_t{1} << (10 * (i + 1));
        if (bytes < 999 * unit)
            return ScaledSize(static_cast<double>(bytes) / static_cast<double>(unit), kLetters[i]);
    }
    return fallback;
}

std::string GroupedNumber(std::uint64_t value, int width) {
    const std::string digits = Format("%" PRIu64, value);
    // At most 24 characters fit before the terminator of the 25-byte field.
    const int count = width - 1 > 24 ? 24 : width - 1;
    std::string out;
    std::size_t next = digits.size();
    for (int k = 1; k <= count; ++k) {
        char c;
        if (next == 0)
            c = ' ';
        else if (k % 4 == 0)
            c = ',';
        else
            c = digits[--next];
        out.insert(out.begin(), c);
    }
    return out;
}

}  // namespace partam
