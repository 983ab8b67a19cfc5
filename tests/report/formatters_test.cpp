#include "report/formatters.h"

#include <gtest/gtest.h>

#include <tuple>

#include "report/frame.h"
#include "support/fake_platform.h"

namespace partam {
namespace {

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kPiB = kKiB * kKiB * kKiB * kKiB * kKiB;
constexpr std::int64_t kDisk = 80026361856;  // 74.53 GiB

// Around 10K: 9.94 keeps one decimal, from 9.95 (where one decimal would
// round to a fifth character) the decimal gives way to a sign space; below
// 99.5 the value is rounded after that space, from 99.5 truncated, so no size
// is wider than four characters. From 999 PiB on the caller's fallback stands.
TEST(ShortSizeTest, RulesAndRoundingAtEachThreshold) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "  0B"},           {998, "998B"},          {999, "1.0K"},        {1536, "1.5K"},
        {10179, "9.9K"},       {10189, " 10K"},        {10200, " 10K"},      {102358, " 99K"},
        {101887, " 99K"},      {101888, " 99K"},       {102360, " 99K"},     {999 * kKiB, "1.0M"},
        {80026361856, " 75G"}, {107374182400, "100G"}, {998 * kPiB, "998P"}, {999 * kPiB, "keep"},
        {~0ull, "keep"},
    };
    for (const auto& [bytes, expected] : cases) EXPECT_EQ(ShortSize(bytes, "keep"), expected) << bytes;
}

// 1023 bytes already count in the next unit; decimals 0xFFFFFFFF keep the
// six of the scratch text; past the largest unit the size stays in PB.
TEST(FormatSizeTest, UnitStepsTablesAndModes) {
    const std::tuple<std::int64_t, std::uint32_t, bool, int, int, const char*> cases[] = {
        {0, 2, true, 1, 1, "0.00Bytes"},
        {1022, 2, true, 1, 1, "1,022.00Bytes"},
        {1023, 2, true, 1, 1, "1.00KB"},
        {999, 2, false, 1, 1, "1.00KB"},
        {kDisk, 2, true, 1, 0, "74.53"},
        {kDisk, 2, true, 1, 2, "74.53 GB"},
        {kDisk, 2, true, 2, 1, "74.53GiB"},
        {kDisk, 2, false, 1, 1, "80.03GB"},
        {kDisk, 0, true, 1, 1, "75GB"},
        {kDisk, 0xFFFFFFFFu, true, 1, 1, "74.530357GB"},
        {static_cast<std::int64_t>(kPiB * kKiB), 2, true, 1, 1, "1,024.00PB"},
        {INT64_MAX, 0, true, 1, 1, "8,192PB"},
    };
    FakePlatform platform;
    SizeFormatter sizes(platform);
    for (const auto& [bytes, decimals, base1024, unitTable, unitMode, expected] : cases)
        EXPECT_EQ(sizes.FormatSize(bytes, decimals, base1024, unitTable, unitMode), expected)
            << bytes << " decimals " << decimals;
    EXPECT_EQ(sizes.FormatNumber("0.5", 0), "1");
    // The system's error text takes the number's place, the unit stays.
    platform.failNumberFormat = "The parameter is incorrect.";
    EXPECT_EQ(sizes.FormatSize(kDisk, 2, true, 1, 1), "The parameter is incorrect.GB");
}

// The listing tests draw styles 1 to 3 and UTF-8 style 1; these are the
// choices they do not reach.
TEST(FrameStyleTest, CodePageChoosesStyleAndItsBytes) {
    const std::pair<std::uint32_t, int> styles[] = {{437, 1},  {65001, 1}, {850, 2}, {852, 2},   {855, 2},
                                                    {1252, 3}, {866, 3},   {0, 3},   {65000, 3}, {851, 3}};
    for (const auto& [codePage, style] : styles)
        EXPECT_EQ(FrameStyleForCodePage(codePage), style) << codePage;
    // Corners, outer horizontal, side, inner horizontal, tees.
    const auto roles = [](const FrameChars& f) {
        return f.topLeft + f.topRight + f.bottomLeft + f.bottomRight + f.outerHorizontal + f.side +
               f.innerHorizontal + f.leftTee + f.rightTee;
    };
    EXPECT_EQ(roles(SetFrameStyle(2, 65001)), "\u250C\u2510\u2514\u2518\u2500\u2502\u2500\u251C\u2524");
    const FrameChars unknown = SetFrameStyle(0, 437);
    EXPECT_EQ(unknown.style, 3);
    EXPECT_EQ(roles(unknown), "    - -  ");
}

}  // namespace
}  // namespace partam
