#include "report/frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace partam {
namespace {

TEST(FrameStyleTest, CodePageChoosesStyle) {
    struct Case {
        std::uint32_t codePage;
        int style;
    };
    const Case cases[] = {{437, 1},  {65001, 1}, {850, 2}, {852, 2},   {855, 2},
                          {1252, 3}, {866, 3},   {0, 3},   {65000, 3}, {851, 3}};
    for (const Case& c : cases) EXPECT_EQ(FrameStyleForCodePage(c.codePage), c.style) << c.codePage;
}

// The roles in the order top-left, top-right, bottom-left, bottom-right,
// outer horizontal, side, inner horizontal, left tee, right tee.
std::vector<std::string> Roles(const FrameChars& f) {
    return {f.topLeft, f.topRight,        f.bottomLeft, f.bottomRight, f.outerHorizontal,
            f.side,    f.innerHorizontal, f.leftTee,    f.rightTee};
}

TEST(FrameStyleTest, BytesOfEachStyle) {
    struct Case {
        int style;
        std::uint32_t codePage;
        int expectedStyle;
        std::vector<std::string> roles;
    };
    const Case cases[] = {
        {1, 437, 1, {"\xD5", "\xB8", "\xD4", "\xBE", "\xCD", "\xB3", "\xC4", "\xC3", "\xB4"}},
        {2, 850, 2, {"\xDA", "\xBF", "\xC0", "\xD9", "\xC4", "\xB3", "\xC4", "\xC3", "\xB4"}},
        {3, 437, 3, {" ", " ", " ", " ", "-", " ", "-", " ", " "}},
        // The code page only matters for UTF-8: the style decides the bytes.
        {1, 1252, 1, {"\xD5", "\xB8", "\xD4", "\xBE", "\xCD", "\xB3", "\xC4", "\xC3", "\xB4"}},
        {0, 437, 3, {" ", " ", " ", " ", "-", " ", "-", " ", " "}},
        // A UTF-8 console gets the same box characters in UTF-8.
        {1,
         65001,
         1,
         {"\u2552", "\u2555", "\u2558", "\u255B", "\u2550", "\u2502", "\u2500", "\u251C", "\u2524"}},
        {2,
         65001,
         2,
         {"\u250C", "\u2510", "\u2514", "\u2518", "\u2500", "\u2502", "\u2500", "\u251C", "\u2524"}},
        {3, 65001, 3, {" ", " ", " ", " ", "-", " ", "-", " ", " "}},
    };
    for (const Case& c : cases) {
        const FrameChars f = SetFrameStyle(c.style, c.codePage);
        EXPECT_EQ(f.style, c.expectedStyle);
        EXPECT_EQ(Roles(f), c.roles) << "style " << c.style << " code page " << c.codePage;
    }
}

}  // namespace
}  // namespace partam
