#include "platform/number_format.h"

#include <gtest/gtest.h>

#include "platform/locale_format.h"

namespace partam {
namespace {

NumberFormat Format(const char* decimal, const char* thousand, unsigned leadingZero = 1,
                    unsigned grouping = 3) {
    return NumberFormat{decimal, thousand, leadingZero, grouping, 1};
}

TEST(ApplyNumberFormat, GroupsAndRoundsHalfUp) {
    const NumberFormat us = Format(".", ",");
    const std::tuple<const char*, unsigned, NumberFormat, std::optional<std::string>> cases[] = {
        {"999.995000", 2, us, "1,000.00"},  // the carry adds a group
        {"0.125", 2, us, "0.13"},           // half rounds up
        {"0.500000", 2, Format(".", ",", 0), ".50"},
        {"-1234.5", 1, us, "-1,234.5"},
        {"00012", 3, us, "12.000"},
        {"1234567.891", 2, Format(",", "."), "1.234.567,89"},
        {"1234567", 0, Format(".", " ", 1, 0), "1234567"},
        {"1234567", 0, Format(".", "'", 1, 4), "123'4567"},
        {"1.5", 10, us, std::nullopt}};
    for (const auto& [text, decimals, format, expected] : cases)
        EXPECT_EQ(ApplyNumberFormat(text, decimals, format), expected) << text << " /" << decimals;
    for (const char* text : {"", "-", ".", "1,5", "1.5e3", " 12", "--1"})
        EXPECT_EQ(ApplyNumberFormat(text, 2, us), std::nullopt) << text;
}

TEST(LocaleFormat, PosixConventionsBecomeWindowsFormat) {
    // The C locale groups nothing: the default Windows format instead.
    const std::tuple<const char*, const char*, std::string, std::string> cases[] = {
        {".", "", "", ". , 3"},
        {".", ",", "\3\2", ". , 3"},
        {",", "\xE2\x80\xAF", "\3", ", \xE2\x80\xAF 3"},
        {".", "'", "\x7F", ". ' 0"}};
    for (const auto& [decimal, thousand, grouping, expected] : cases) {
        const NumberFormat f = NumberFormatOfLocale(decimal, thousand, grouping);
        EXPECT_EQ(f.decimalSeparator + " " + f.thousandSeparator + " " + std::to_string(f.grouping),
                  expected);
    }
}

}  // namespace
}  // namespace partam
