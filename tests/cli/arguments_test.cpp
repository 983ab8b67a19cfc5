#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace partam {
namespace {

TEST(ArgumentListTest, SplitsAtTheFirstEqualsAndFindsByNameOrWholeText) {
    const std::string path(600, 'p'), filename = "/Filename=" + path;  // long arguments are kept whole
    const char* argv[] = {"partam", "-x=", filename.c_str(), "/create", "/range=0=5", "/size=1", "/size=2"};
    ArgumentList list(7, argv);
    ASSERT_EQ(list.Entries().size(), 6u);
    EXPECT_EQ(list.Current(), -1);
    // The second "/size" is never reached, "-x=" has another prefix, an entry without "=" has no name.
    const std::tuple<const char*, int, std::string> finds[] = {
        {"/filename", 1, path}, {"/RANGE=0=5", 3, "0=5"}, {"/CREATE", 2, ""}, {"/size", 4, "1"},
        {"/X", -1, ""},         {"/Filename=", -1, ""},   {"", -1, ""}};
    for (const auto& [key, index, value] : finds) {
        list.Find("/create");  // a current entry from an earlier search must not survive a miss
        EXPECT_EQ(list.Find(key) != nullptr, index >= 0) << key;
        EXPECT_EQ(std::make_tuple(list.Current(), list.Value(), list.Text()),
                  std::make_tuple(index, value, index >= 0 ? argv[index + 1] : ""))
            << key;
    }
    const ArgumentEntry &empty = list.Entries()[0], &range = list.Entries()[3];
    EXPECT_EQ(std::make_tuple(empty.name, empty.value, empty.hasValue), std::make_tuple("-x", "", 1));
    EXPECT_EQ(std::make_tuple(range.name, range.value, list.Entries()[2].hasValue),
              std::make_tuple("/range", "0=5", 0));
    EXPECT_TRUE(ArgumentList(1, argv).Entries().empty());
    EXPECT_TRUE(ArgumentList(0, argv).Entries().empty());
    EXPECT_TRUE(ArgumentList(3, nullptr).Entries().empty());
    EXPECT_EQ(ArgumentList().Find("/list"), nullptr);
}

}  // namespace
}  // namespace partam
