#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace partam {
namespace {

ArgumentList MakeList(std::vector<std::string> args) {
    std::vector<const char*> argv{"partam"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    return ArgumentList(static_cast<int>(argv.size()), argv.data());
}

TEST(ArgumentListTest, SplitsEachArgumentAtItsFirstEquals) {
    const ArgumentList list = MakeList({"/Filename=a.bin", "/list", "/range=0=5", "-x=", ""});
    struct Expected {
        int hasValue;
        const char* text;
        const char* name;
        const char* value;
    };
    const Expected expected[] = {
        {1, "/Filename=a.bin", "/Filename", "a.bin"},
        {0, "/list", "", ""},
        {1, "/range=0=5", "/range", "0=5"},
        {1, "-x=", "-x", ""},
        {0, "", "", ""},
    };
    ASSERT_EQ(list.Entries().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const ArgumentEntry& e = list.Entries()[i];
        EXPECT_EQ(e.hasValue, expected[i].hasValue) << i;
        EXPECT_EQ(e.text, expected[i].text) << i;
        EXPECT_EQ(e.name, expected[i].name) << i;
        EXPECT_EQ(e.value, expected[i].value) << i;
    }
    EXPECT_EQ(list.Current(), -1);
}

TEST(ArgumentListTest, FindMatchesNameOrWholeTextIgnoringCase) {
    struct Case {
        const char* key;
        int current;
        const char* value;
        const char* text;
    };
    const Case cases[] = {
        {"/filename", 1, "a.bin", "/Filename=a.bin"},
        {"/FILENAME=A.BIN", 1, "a.bin", "/Filename=a.bin"},
        {"/CREATE", 2, "", "/create"},
        {"/start", 3, "freespace", "/Start=freespace"},
        {"/size", 4, "100", "/size=100"},  // the second "/size" is never reached
        {"/Target", -1, "", ""},
        {"/x", -1, "", ""},  // "-x=1" has another prefix
        {"/Filename=", -1, "", ""},
        {"", -1, "", ""},  // an entry without "=" has no name to match
    };
    for (const Case& c : cases) {
        ArgumentList list =
            MakeList({"-x=1", "/Filename=a.bin", "/create", "/Start=freespace", "/size=100", "/size=200"});
        list.Find("/create");  // a current entry from an earlier search must not survive a miss
        const ArgumentEntry* found = list.Find(c.key);
        EXPECT_EQ(found != nullptr, c.current >= 0) << c.key;
        EXPECT_EQ(list.Current(), c.current) << c.key;
        EXPECT_EQ(list.Value(), c.value) << c.key;
        EXPECT_EQ(list.Text(), c.text) << c.key;
    }
}

TEST(ArgumentListTest, KeepsLongArgumentsWholeAndToleratesNoArguments) {
    const std::string path(600, 'p');
    ArgumentList list = MakeList({"/Filename=" + path});
    ASSERT_NE(list.Find("/Filename"), nullptr);
    EXPECT_EQ(list.Value(), path);

    const char* argv[] = {"partam"};
    EXPECT_TRUE(ArgumentList(1, argv).Entries().empty());
    EXPECT_TRUE(ArgumentList(0, argv).Entries().empty());
    EXPECT_TRUE(ArgumentList(3, nullptr).Entries().empty());
    ArgumentList none;
    EXPECT_EQ(none.Find("/list"), nullptr);
    EXPECT_EQ(none.Text(), "");
}

}  // namespace
}  // namespace partam
