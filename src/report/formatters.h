// Size and number texts shared by the listing and the other reports.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace partam {

// count copies of c; empty for a count of 0 or below.
std::string RepeatChar(char c, int count);
// count copies of a text (a frame character may take several bytes).
std::string RepeatText(const std::string& unit, int count);

// Formats sizes with the user's locale.
class SizeFormatter {
public:
    explicit SizeFormatter(Platform& platform) : platform_(platform) {}
    // unitTable 1: "KB", "MB", ...; any other: "KiB", "MiB", ...
    // unitMode 0 number only, 1 unit right after it, 2 one space between.
    std::string FormatSize(std::int64_t bytes, std::uint32_t decimals, bool base1024, int unitTable,
                           int unitMode);
    // A number text formatted by the locale; decimals 0xFFFFFFFF keeps the
    // input's own count of decimals.
    std::string FormatNumber(const std::string& numberText, std::uint32_t decimals);

private:
    Platform& platform_;
};

// Four characters as a rule, unit letter included: "1.5K", "500G", " 10G".
// Sizes of 999 PiB and more give fallback unchanged.
std::string ShortSize(std::uint64_t bytes, const std::string& fallback = std::string());

// value right-aligned in width - 1 characters with commas between groups;
// digits that do not fit are dropped from the left.
std::string GroupedNumber(std::uint64_t value, int width);

}  // namespace partam
