#include "report/json.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "base/text.h"

namespace partam::test {
namespace {

// Names with quotes, a reverse solidus, control characters and characters
// beyond the BMP round-trip in json.sh (sgdisk's names); here the exact
// escapes and the repair of what is not UTF-8 or UTF-16.
TEST(JsonStringTest, EscapesAndRepairsUtf8) {
    const struct {
        const char* what;
        std::string in;
        std::string out;
    } kCases[] = {
        {"short escapes", "\b\f\n\r\t", R"("\b\f\n\r\t")"},
        {"other control characters", std::string("\0\x01\x1f\x7f", 4), "\"\\u0000\\u0001\\u001F\x7f\""},
        {"a stray byte", "a\xFFz", "\"a\xEF\xBF\xBDz\""},
        {"a sequence cut short, then a quote", "\xE6\x95\"", "\"\xEF\xBF\xBD\\\"\""},
        {"an overlong form", "\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"a surrogate in UTF-8", "\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"past U+10FFFF", "\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& c : kCases) EXPECT_EQ(JsonString(c.in), c.out) << c.what;
}

TEST(Utf16Test, NamesUpToTheirFirstZeroUnit) {
    const struct {
        const char* what;
        std::vector<std::uint8_t> in;
        bool untilZero;
        std::string out;
    } kCases[] = {
        {"ASCII, then zeros", {'E', 0, 'F', 0, 0, 0, 'X', 0}, true, "EF"},
        {"every unit", {'E', 0, 0, 0, 'X', 0}, false, std::string("E\0X", 3)},
        {"a high surrogate at the end", {'a', 0, 0x3D, 0xD8}, true, "a\xEF\xBF\xBD"},
        {"a high surrogate before a letter",
         {0x3D, 0xD8, 'b', 0},
         true,
         "\xEF\xBF\xBD"
         "b"},
        {"a low surrogate alone",
         {0x00, 0xDE, 'c', 0},
         true,
         "\xEF\xBF\xBD"
         "c"},
        {"an odd last byte", {'d', 0, 'e'}, true, "d"},
    };
    for (const auto& c : kCases) EXPECT_EQ(Utf16LeToUtf8(c.in, c.untilZero), c.out) << c.what;
}

// The indented documents of every kind of value are json.sh's, byte for
// byte; here numbers no disk has yet, and an empty object.
TEST(JsonValueTest, KeepsFull64BitNumbers) {
    JsonValue document = JsonValue::Object();
    document.Add("sectors", std::numeric_limits<std::uint64_t>::max());
    document.Add("offset", std::numeric_limits<std::int64_t>::min());
    document.Add("empty", JsonValue::Object());
    EXPECT_EQ(document.Text(),
              "{\n  \"sectors\": 18446744073709551615,\n  \"offset\": -9223372036854775808,\n  \"empty\": {}\n}");
}

}  // namespace
}  // namespace partam::test
