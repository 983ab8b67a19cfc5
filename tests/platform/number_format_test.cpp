#include "platform/number_format.h"

#include <gtest/gtest.h>

#include "platform/locale_format.h"

namespace partam {
namespace {

NumberFormat Format(const char* decimal, const char* thousand, unsigned leadingZero, unsigned grouping,
                    unsigned negativeOrder) {
    return NumberFormat{decimal, thousand, leadingZero, grouping, negativeOrder};
}

TEST(ApplyNumberFormat, GroupsRoundsAndOrdersNegatives) {
    const NumberFormat us = Format(".", ",", 1, 3, 1);
    struct Case {
        const char* text;
        unsigned decimals;
        NumberFormat format;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"1234.500000", 2, us, "1,234.50"},
        {"1234567890.000000", 0, us, "1,234,567,890"},
        {"999.995000", 2, us, "1,000.00"},  // the carry adds a group
        {"999.994999", 2, us, "999.99"},
        {"0.125", 2, us, "0.13"},  // half rounds up
        {"9.5", 0, us, "10"},
        {"0.500000", 2, Format(".", ",", 0, 3, 1), ".50"},
        {"0.4", 0, Format(".", ",", 0, 3, 1), "0"},
        {"00012.5", 1, us, "12.5"},
        {"12", 3, us, "12.000"},
        {"1234567.891", 2, Format(",", ".", 1, 3, 1), "1.234.567,89"},
        {"1234567", 0, Format(".", " ", 1, 0, 1), "1234567"},
        {"1234567", 0, Format(".", "'", 1, 4, 1), "123'4567"},
        {"-1234.5", 1, Format(".", ",", 1, 3, 0), "(1,234.5)"},
        {"-1234.5", 1, us, "-1,234.5"},
        {"-1234.5", 1, Format(".", ",", 1, 3, 2), "- 1,234.5"},
        {"-1234.5", 1, Format(".", ",", 1, 3, 3), "1,234.5-"},
        {"-1234.5", 1, Format(".", ",", 1, 3, 4), "1,234.5 -"},
        {"", 2, us, std::nullopt},
        {"-", 2, us, std::nullopt},
        {".", 2, us, std::nullopt},
        {"1,5", 2, us, std::nullopt},
        {"1.5e3", 2, us, std::nullopt},
        {" 12", 2, us, std::nullopt},
        {"--1", 2, us, std::nullopt},
        {"1.5", 10, us, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ApplyNumberFormat(c.text, c.decimals, c.format), c.expected)
            << c.text << " /" << c.decimals;
}

TEST(LocaleFormat, DecimalsAsGivenCountTheInputsDigits) {
    EXPECT_EQ(DecimalsToShow("1.500000", 2), 2u);
    EXPECT_EQ(DecimalsToShow("1.500000", kDecimalsAsGiven), 6u);
    EXPECT_EQ(DecimalsToShow("15", kDecimalsAsGiven), 0u);
    EXPECT_EQ(DecimalsToShow("15.", kDecimalsAsGiven), 0u);
}

TEST(LocaleFormat, PosixConventionsBecomeWindowsFormat) {
    struct Case {
        const char* decimal;
        const char* thousand;
        std::string grouping;
        NumberFormat expected;
    };
    const Case cases[] = {
        // The C locale groups nothing: the default Windows format instead.
        {".", "", "", Format(".", ",", 1, 3, 1)},
        {"", "", "", Format(".", ",", 1, 3, 1)},
        {",", ".", "\3\3", Format(",", ".", 1, 3, 1)},
        {".", ",", "\3\2", Format(".", ",", 1, 3, 1)},
        {",", "\xE2\x80\xAF", "\3", Format(",", "\xE2\x80\xAF", 1, 3, 1)},
        {".", "'", "", Format(".", "'", 1, 0, 1)},
        {".", "'", "\x7F", Format(".", "'", 1, 0, 1)},
    };
    for (const Case& c : cases) {
        const NumberFormat f = NumberFormatOfLocale(c.decimal, c.thousand, c.grouping);
        EXPECT_EQ(f.decimalSeparator, c.expected.decimalSeparator) << c.thousand;
        EXPECT_EQ(f.thousandSeparator, c.expected.thousandSeparator) << c.thousand;
        EXPECT_EQ(f.grouping, c.expected.grouping) << c.thousand;
        EXPECT_EQ(f.leadingZero, 1u);
        EXPECT_EQ(f.negativeOrder, 1u);
    }
}

}  // namespace
}  // namespace partam
