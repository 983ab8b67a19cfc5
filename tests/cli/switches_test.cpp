#include "cli/switches.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "cli/arguments.h"
#include "cli/run.h"
#include "report/frame.h"
#include "support/fake_platform.h"

namespace partam {
namespace {

// The fields a parse changed from their initial values, so each row of a
// table states everything a line did and nothing else may change.
std::string Changes(const RunContext& run) {
    const RunOptions &o = run.options, d;
    // clang-format off
    const std::tuple<const char*, std::int64_t, std::int64_t> numbers[] = {
        {"cmd", static_cast<int>(o.command), 0}, {"disk", o.disk, d.disk}, {"part", o.part, d.part},
        {"sector", o.sector, d.sector}, {"area", static_cast<int>(o.area), kNotGiven},
        {"type", o.typeCode, d.typeCode}, {"first", o.firstSector, d.firstSector},
        {"last", o.lastSector, d.lastSector}, {"msg", o.messageLevel, 0}, {"shutdown", o.shutdownMode, 0},
        {"frame", run.frame.style, 1}};
    const std::pair<const char*, std::int32_t> flags[] = {
        {"freespace", o.freeSpace}, {"extended", o.extendedOnly}, {"result", o.showResult},
        {"ignore", o.ignoreErrors}, {"confirm", o.autoConfirm}, {"silent", o.silent}, {"nohdr", o.noHeader},
        {"ascii", o.asciiMap}, {"help", o.help}, {"BAD", o.badSwitch}};
    const std::pair<const char*, const std::string*> texts[] = {
        {"partText", &o.partSwitchText}, {"diskFile", &o.diskFileName}, {"value", &o.valueText},
        {"file", &o.fileName}, {"scratch", &o.scratchText}, {"text", &o.badSwitchText}};
    // clang-format on
    std::string s;
    for (const auto& [name, value, initial] : numbers)
        if (value != initial) s += " " + std::string(name) + "=" + std::to_string(value);
    for (const auto& [name, flag] : flags) s += flag ? " " + std::string(name) : "";
    for (const auto& [name, text] : texts) s += text->empty() ? "" : " " + std::string(name) + "=" + *text;
    return o.result ? s + " result=" + std::to_string(o.result) : s;
}

TEST(ParseSwitchTest, Table) {
    // clang-format off
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        // The first row an abbreviation fits decides.
        {{"/L"}, " cmd=8"}, {{"-list"}, " cmd=8"}, {{"list"}, " cmd=8"}, {{"/t"}, " cmd=9"},
        {{"/s"}, " cmd=6"}, {{"/st"}, " cmd=25"}, {{"/d"}, " cmd=14"}, {{"/disk"}, " cmd=39"},
        {{"/f"}, " cmd=29"}, {{"/fo"}, " cmd=28"}, {{"/fi"}, ""}, {{"/i"}, " cmd=7"}, {{"/in"}, " cmd=12"},
        {{"/inf"}, " cmd=38"}, {{"/isf"}, " cmd=41"}, {{"/c"}, " cmd=17"}, {{"/a"}, " cmd=10"},
        {{"/h"}, " cmd=11"}, {{"/u"}, " cmd=13"}, {{"/b"}, " cmd=20"}, {{"/p"}, " cmd=40"},
        {{"/r"}, " result"}, {{"/ig"}, " ignore"}, {{"/con"}, " confirm"}, {{"?"}, " help"},
        {{"-silent"}, " silent"}, {{"/n"}, " nohdr"}, {{"/as"}, " ascii"}, {{"/freespaceXYZ"}, " freespace"},
        {{"/LOGICAL"}, " extended"}, {{"/te"}, " frame=3"},
        {{"/save=mbr", "/list"}, " cmd=8 area=-1 value=mbr"},
        // Refused switches.
        {{"/listx"}, " BAD text=/listx result=105"}, {{"/cr"}, " BAD text=/cr result=105"},
        {{"disk=1"}, " BAD text=disk=1 result=105"}, {{"/ext"}, " BAD text=/ext result=105"},
        {{"/"}, " BAD text=/ result=105"}, {{""}, " BAD result=105"},
        {{"/x", "/list"}, " cmd=8 BAD text=/x result=105"},
        // A bad wipe area or status value stops the command, not the parse;
        // the text shown always belongs to the code reported.
        {{"/status=5"}, " cmd=26 value=5"}, {{"/status=x"}, " cmd=26 BAD value=x text=/status=x result=105"},
        {{"/wipe=vbr"}, " cmd=5 value=vbr text=/wipe=vbr result=117"},
        {{"/wipe=x", "/y"}, " cmd=5 BAD value=x text=/wipe=x result=117"},
        {{"/y", "/status=q"}, " cmd=26 BAD value=q text=/y result=105"},
        // Selection.
        {{"/disk=*"}, " disk=-1"}, {{"/disk=12abc"}, " BAD text=/disk=12abc result=105"}, {{"/disk="}, " disk=999"},
        {{"/disk=c:\\vm\\x.vmdk"}, " disk=999 diskFile=c:\\vm\\x.vmdk"},
        {{"/disk=4294967297"}, " BAD text=/disk=4294967297 result=105"},  // not disk 1
        {{"/part=*"}, " part=-1 partText=/part=*"}, {{"/part=12"}, " part=12 partText=/part=12"},
        {{"/part=123"}, " BAD partText=/part=123 text=/part=123 result=105"}, {{"/vol=1:"}, " part=1004"},
        {{"/vol="}, " BAD text=/vol= result=105"}, {{"/sector=DISK"}, " sector=-3"},
        {{"/sector=63"}, " sector=63"}, {{"/sector=x"}, " BAD text=/sector=x result=105"},
        {{"/sector=4294967296"}, " BAD text=/sector=4294967296 result=105"},  // not sector 0
        // Areas.
        {{"/save=mbr", "/save:HEAD"}, " cmd=1 area=-2 value=HEAD"},
        {{"/save=vbr"}, " cmd=1 area=-5 value=vbr"}, {{"/save=range"}, " cmd=1 area=-6 value=range"},
        {{"/save=x"}, " cmd=1 BAD value=x text=/save=x result=105"}, {{"/restore=gpt"}, " cmd=3 area=-4 value=gpt"},
        {{"/restore=0"}, " cmd=3 area=-6 value=0"},
        {{"/restore=range"}, " cmd=3 area=-7 value=range"},
        {{"/restore=12abc"}, " cmd=3 area=-6 BAD value=12abc text=/restore=12abc result=105"},
        {{"/wipe=Disk"}, " cmd=5 area=-3 value=Disk"}, {{"/wipe="}, " BAD text=/wipe= result=105"},
        {{"/option=mbr"}, " area=0"}, {{"/option=head"}, " area=-2"},
        {{"/option=vbr"}, " BAD text=/option=vbr result=105"},
        // Type codes; with /create anywhere on the line the type is the create command's.
        {{"/type=0c"}, " cmd=16 type=12 value=0c"}, {{"/type=0x83"}, " cmd=16 type=131 value=0x83"},
        {{"/type=12d"}, " cmd=16 type=12 value=12d"}, {{"/type="}, " BAD text=/type= result=105"},
        {{"/create=1", "/type=7"}, " cmd=27 value=7"}, {{"/type=7", "/create=1"}, " cmd=27 value=1"},
        // A bare /create selects the command as /create= does; it is never abbreviated.
        {{"/list", "/type=7", "/CREATE"}, " cmd=27 value=7"}, {{"-create"}, " cmd=27"},
        // Values and numbers.
        {{"-Filename=a.bin"}, " file=a.bin"}, {{"/show=a", "/writeini=b"}, " cmd=19 value=b"},
        {{"/source=5", "/target=100"}, " first=5 last=100 value=5"},
        {{"/filename=a.bin", "/value=1234ABCD", "/size=max"}, " file=a.bin"}, {{"/range=0-62"}, " value=0-62"},
        // A number is digits and nothing else; a range has two; an alignment
        // may be followed by letters.
        {{"/target=x30"}, " BAD text=/target=x30 result=105"}, {{"/source=3O"}, " BAD value=3O text=/source=3O result=105"},
        {{"/part=1x"}, " BAD partText=/part=1x text=/part=1x result=105"},
        {{"/range=5-x"}, " BAD value=5-x text=/range=5-x result=105"}, {{"/range=5"}, " value=5"},
        {{"/range=-5"}, " BAD value=-5 text=/range=-5 result=105"},
        {{"/start=freespace", "/size=MAX", "/align=4k"}, ""}, {{"/size=1x"}, " BAD text=/size=1x result=105"},
        {{"/align=k"}, " BAD text=/align=k result=105"}, {{"/start=-1"}, " BAD text=/start=-1 result=105"},
        {{"/shutdown=2", "/msg=1"}, " msg=1 shutdown=2 scratch=1"},
        {{"/shutdown=4294967297"}, " BAD scratch=4294967297 text=/shutdown=4294967297 result=105"},  // not 1
        {{"/repair=XP"}, " cmd=2 first=1 value=XP"}, {{"/repair=win7"}, " cmd=2 first=2 value=win7"},
        {{"/repair=PartitionTable"}, " cmd=2 first=3 value=PartitionTable"},
        {{"/repair=17"}, " cmd=2 first=17 value=17"}, {{"/repair=win"}, " cmd=2 first=0 value=win"},
    };
    // clang-format on
    for (const auto& [args, changes] : cases) {
        FakePlatform platform;
        RunContext run(platform);
        run.frame = SetFrameStyle(1, 437);  // boxes, so the plain frame of /text shows
        std::vector<const char*> argv{"partam"};
        for (const std::string& a : args) argv.push_back(a.c_str());
        ParseCommandLine(run, static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(Changes(run), changes) << testing::PrintToString(args);
        EXPECT_EQ(platform.output, "") << testing::PrintToString(args);
    }
}

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
