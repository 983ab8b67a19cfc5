// Small text helpers shared by every layer.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace partam {

// printf into a std::string.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
Format(const char* format, ...);
std::string FormatV(const char* format, std::va_list args);

char ToUpperAscii(char c);
char ToLowerAscii(char c);
std::string ToUpperAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Whether the text begins with a decimal digit, as a number typed does.
inline bool StartsWithDigit(std::string_view text) {
    return !text.empty() && text[0] >= '0' && text[0] <= '9';
}
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// A number as the user types one: decimal digits and nothing else, at most
// 2^64 - 1; nothing for any other text (a sign, a blank, a letter, a value
// past 2^64 - 1, an empty text).
std::optional<std::uint64_t> ParseDecimal(std::string_view text);
// The number a text begins with, whatever follows it ("4k" is 4); nothing
// when it does not begin with a digit or the number passes 2^64 - 1.
std::optional<std::uint64_t> LeadingDecimal(std::string_view text);

// Leading blanks, an optional sign and the leading decimal digits; 0 without
// digits. Saturates instead of overflowing.
std::int64_t ReadDecimal(std::string_view text);
// The same with hexadecimal digits and an optional "0x" prefix.
std::int64_t ReadHex(std::string_view text);

// U+FFFD, which stands for what cannot be read as text.
inline constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

// UTF-16LE as UTF-8: every unit, or up to the first zero unit when
// untilZero (a name in a field of fixed size). A surrogate without its
// partner becomes U+FFFD; an odd last byte is left out.
std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes, bool untilZero = false);

}  // namespace partam
