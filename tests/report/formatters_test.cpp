#include "report/formatters.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace partam {
namespace {

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kGiB = kKiB * kKiB * kKiB;
constexpr std::uint64_t kPiB = kGiB * kKiB * kKiB;

TEST(ShortSizeTest, RulesAndRoundingAtEachThreshold) {
    struct Case {
        std::uint64_t bytes;
        const char* expected;
    };
    const Case cases[] = {
        {0, "  0B"},
        {5, "  5B"},
        {998, "998B"},
        {999, "1.0K"},
        {1023, "1.0K"},
        {1536, "1.5K"},
        {10179, "9.9K"},    // 9.94: one decimal
        {10189, "10.0K"},   // 9.95: rounds up to a fifth character
        {10200, " 10K"},    // 9.96: no decimals, sign space
        {101888, " 100K"},  // 99.5 rounds to 100 after the space
        {102358, " 100K"},  // 99.959
        {102360, " 99K"},   // 99.96: truncated, not rounded
        {999 * kKiB - 1, "998K"},
        {999 * kKiB, "1.0M"},
        {1048576, "1.0M"},
        {10 * kGiB, " 10G"},
        {107374182400ull, "100G"},
        {500 * kGiB, "500G"},
        {80026361856ull, " 75G"},
        {2 * kGiB * kKiB, "2.0T"},
        {998 * kPiB, "998P"},
    };
    for (const Case& c : cases) EXPECT_EQ(ShortSize(c.bytes), c.expected) << c.bytes;
}

TEST(ShortSizeTest, SizesPastTheLargestUnitKeepTheFallback) {
    EXPECT_EQ(ShortSize(999 * kPiB, "keep"), "keep");
    EXPECT_EQ(ShortSize(~std::uint64_t{0}, "keep"), "keep");
    EXPECT_EQ(ShortSize(999 * kPiB), "");
}

TEST(GroupedNumberTest, RightAlignedInWidthLessOne) {
    struct Case {
        std::uint32_t value;
        int width;
        const char* expected;
    };
    const Case cases[] = {
        {0, 14, "            0"},
        {7, 2, "7"},
        {999, 14, "          999"},
        {1000, 14, "        1,000"},
        {1234567, 14, "    1,234,567"},
        {4294967295u, 14, "4,294,967,295"},
        {4294967295u, 15, " 4,294,967,295"},
        {1234567, 6, "4,567"},  // digits that do not fit drop from the left
        {1234567, 5, ",567"},
        {1234567, 4, "567"},
        {1234567, 1, ""},
        {1234567, 0, ""},
        {1234567, -3, ""},
        {5, 40, "                       5"},  // the field holds 24 characters
    };
    for (const Case& c : cases)
        EXPECT_EQ(GroupedNumber(c.value, c.width), c.expected) << c.value << " " << c.width;
}

TEST(RepeatTest, CountsOfZeroOrBelowAreEmpty) {
    EXPECT_EQ(RepeatChar('x', 3), "xxx");
    EXPECT_EQ(RepeatChar('x', 0), "");
    EXPECT_EQ(RepeatChar('x', -2), "");
    EXPECT_EQ(RepeatText("\xE2\x94\x80", 2), "\xE2\x94\x80\xE2\x94\x80");
    EXPECT_EQ(RepeatText("ab", -1), "");
}

TEST(FormatSizeTest, UnitStepsTablesAndModes) {
    struct Case {
        std::int64_t bytes;
        std::uint32_t decimals;
        bool base1024;
        int unitTable;
        int unitMode;
        const char* expected;
    };
    const Case cases[] = {
        {0, 2, true, 1, 1, "0.00Bytes"},
        {1022, 2, true, 1, 1, "1,022.00Bytes"},
        {1023, 2, true, 1, 1, "1.00KB"},  // 1023 already counts in the next unit
        {1024, 2, true, 1, 1, "1.00KB"},
        {1048575, 2, true, 1, 1, "1.00MB"},
        {80026361856, 2, true, 1, 1, "74.53GB"},
        {80026361856, 2, true, 1, 0, "74.53"},
        {80026361856, 2, true, 1, 2, "74.53 GB"},
        {80026361856, 2, true, 2, 1, "74.53GiB"},
        {80026361856, 2, true, 0, 2, "74.53 GiB"},
        {80026361856, 2, false, 1, 1, "80.03GB"},
        {80026361856, 0, true, 1, 1, "75GB"},
        {80026361856, 0xFFFFFFFFu, true, 1, 1, "74.530357GB"},  // the six decimals of the scratch text
        {998, 2, false, 1, 1, "998.00Bytes"},
        {999, 2, false, 1, 1, "1.00KB"},
        {2000000000000, 1, false, 1, 2, "2.0 TB"},
        {1099511627776, 2, true, 1, 1, "1.00TB"},
        {static_cast<std::int64_t>(3 * kPiB), 2, true, 2, 1, "3.00PiB"},
        // Past the largest unit the size stays counted in PB.
        {static_cast<std::int64_t>(kPiB * kKiB), 2, true, 1, 1, "1,024.00PB"},
        {INT64_MAX, 0, true, 1, 1, "8,192PB"},
    };
    FakePlatform platform;
    SizeFormatter sizes(platform);
    for (const Case& c : cases)
        EXPECT_EQ(sizes.FormatSize(c.bytes, c.decimals, c.base1024, c.unitTable, c.unitMode), c.expected)
            << c.bytes << " decimals " << c.decimals;
}

TEST(FormatNumberTest, DecimalsAndFailure) {
    FakePlatform platform;
    SizeFormatter sizes(platform);
    EXPECT_EQ(sizes.FormatNumber("1234.5", 0xFFFFFFFFu), "1,234.5");
    EXPECT_EQ(sizes.FormatNumber("1234", 0xFFFFFFFFu), "1,234");
    EXPECT_EQ(sizes.FormatNumber("1234.5678", 2), "1,234.57");
    EXPECT_EQ(sizes.FormatNumber("0.5", 0), "1");

    // The system's error text takes the number's place, the unit stays.
    platform.failNumberFormat = "The parameter is incorrect.";
    EXPECT_EQ(sizes.FormatNumber("1234.5", 2), "The parameter is incorrect.");
    EXPECT_EQ(sizes.FormatSize(80026361856, 2, true, 1, 1), "The parameter is incorrect.GB");
}

}  // namespace
}  // namespace partam
