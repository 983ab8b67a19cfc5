#include "cli/switches.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/run.h"
#include "report/frame.h"
#include "support/fake_platform.h"

namespace partam {
namespace {

using Args = std::vector<std::string>;

void Add(std::string& s, const char* name, std::int64_t v, std::int64_t initial) {
    if (v != initial) s += " " + std::string(name) + "=" + std::to_string(v);
}
void Add(std::string& s, const char* name, const std::string& v) {
    if (!v.empty()) s += " " + std::string(name) + "=" + v;
}

// The fields a parse changed from their initial values, so each row of a
// table states everything a line did and nothing else may change.
std::string Changes(const RunOptions& o) {
    std::string s;
    Add(s, "cmd", static_cast<int>(o.command), 0);
    Add(s, "disk", o.disk, kNotGiven);
    Add(s, "part", o.part, kPartNotGiven);
    Add(s, "sector", o.sector, kNotGiven);
    Add(s, "area", static_cast<int>(o.area), kNotGiven);
    Add(s, "type", o.typeCode, -2);
    Add(s, "first", o.firstSector, kNotGiven);
    Add(s, "last", o.lastSector, kNotGiven);
    Add(s, "msg", o.messageLevel, 0);
    Add(s, "shutdown", o.shutdownMode, 0);
    const std::int32_t flags[] = {o.freeSpace, o.extendedOnly, o.showResult, o.ignoreErrors, o.autoConfirm,
                                  o.silent,    o.noHeader,     o.asciiMap,   o.help,         o.badSwitch};
    const char* names[] = {"freespace", "extended", "result", "ignore", "confirm",
                           "silent",    "nohdr",    "ascii",  "help",   "BAD"};
    for (std::size_t i = 0; i < std::size(flags); ++i)
        if (flags[i] != 0) s += " " + std::string(names[i]);
    Add(s, "partText", o.partSwitchText);
    Add(s, "diskFile", o.diskFileName);
    Add(s, "value", o.valueText);
    Add(s, "file", o.fileName);
    Add(s, "scratch", o.scratchText);
    Add(s, "text", o.badSwitchText);
    Add(s, "result", o.result, 0);
    return s;
}

std::string ParseLine(const Args& args, std::string* output = nullptr) {
    FakePlatform platform;
    RunContext run(platform);
    std::vector<const char*> argv{"partam"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    ParseCommandLine(run, static_cast<int>(argv.size()), argv.data());
    if (output) *output = platform.output;
    return Changes(run.options);
}

TEST(ParseSwitchTest, Table) {
    struct Case {
        Args args;
        const char* changes;
    };
    // clang-format off
    const Case cases[] = {
        // The first row an abbreviation fits decides.
        {{"/L"}, " cmd=8"}, {{"/LIST"}, " cmd=8"}, {{"-list"}, " cmd=8"}, {{"list"}, " cmd=8"},
        {{"/t"}, " cmd=9"}, {{"/s"}, " cmd=6"}, {{"/st"}, " cmd=25"}, {{"/d"}, " cmd=14"},
        {{"/disk"}, " cmd=39"}, {{"/f"}, " cmd=29"}, {{"/fo"}, " cmd=28"}, {{"/fi"}, ""}, {{"/i"}, " cmd=7"},
        {{"/in"}, " cmd=12"}, {{"/inf"}, " cmd=38"}, {{"/isf"}, " cmd=41"}, {{"/c"}, " cmd=17"},
        {{"/a"}, " cmd=10"}, {{"/h"}, " cmd=11"}, {{"/u"}, " cmd=13"}, {{"/b"}, " cmd=20"},
        {{"/p"}, " cmd=40"}, {{"/r"}, " result"}, {{"/ig"}, " ignore"}, {{"/con"}, " confirm"},
        {{"-silent"}, " silent"}, {{"/n"}, " nohdr"}, {{"/as"}, " ascii"}, {{"?"}, " help"},
        {{"/freespaceXYZ"}, " freespace"}, {{"/extendedX"}, " extended"}, {{"/LOGICAL"}, " extended"},
        {{"/save=mbr", "/list"}, " cmd=8 area=-1 value=mbr"},
        // Refused switches.
        {{"/statusX"}, " BAD text=/statusX result=105"}, {{"/listx"}, " BAD text=/listx result=105"},
        {{"/create"}, " BAD text=/create result=105"}, {{"/save"}, " BAD text=/save result=105"},
        {{"save="}, " BAD text=save= result=105"}, {{"disk=1"}, " BAD text=disk=1 result=105"},
        {{"/ext"}, " BAD text=/ext result=105"}, {{"/"}, " BAD text=/ result=105"}, {{""}, " BAD result=105"},
        {{"/x", "/list"}, " cmd=8 BAD text=/x result=105"},
        // A bad wipe area or status value stops the command, not the parse;
        // the text shown always belongs to the code reported.
        {{"/status=5"}, " cmd=26 value=5"}, {{"/status=x"}, " cmd=26 value=x text=/status=x result=117"},
        {{"/wipe=vbr"}, " cmd=5 value=vbr text=/wipe=vbr result=117"},
        {{"/wipe=x", "/y"}, " cmd=5 BAD value=x text=/wipe=x result=117"},
        {{"/y", "/status=q"}, " cmd=26 BAD value=q text=/y result=105"},
        // Selection.
        {{"/disk=*"}, " disk=-1"}, {{"/disk=12abc"}, " disk=12"}, {{"/disk="}, " disk=999"},
        {{"/disk=c:\\vm\\x.vmdk"}, " disk=999 diskFile=c:\\vm\\x.vmdk"},
        {{"/disk=4294967297"}, " BAD text=/disk=4294967297 result=105"},  // not disk 1
        {{"/part=*"}, " part=-1 partText=/part=*"}, {{"/part=12"}, " part=12 partText=/part=12"},
        {{"/part=123"}, " BAD partText=/part=123 text=/part=123 result=105"},
        {{"/part=SYSTEM"}, " part=1001 partText=/part=SYSTEM"},
        {{"/part=boot"}, " part=1002 partText=/part=boot"},
        {{"/part=Dell"}, " part=1003 partText=/part=Dell"},
        {{"/part=utility"}, " part=1003 partText=/part=utility"}, {{"/vol=e:"}, " part=1005"},
        {{"/VOL=Z:"}, " part=1005"}, {{"/vol=DATA"}, " part=1004"}, {{"/vol=1:"}, " part=1004"},
        {{"/vol="}, " BAD text=/vol= result=105"}, {{"/sector=63"}, " sector=63"},
        {{"/sector=DISK"}, " sector=-3"}, {{"/sector=x"}, " BAD text=/sector=x result=105"},
        {{"/sector=4294967296"}, " BAD text=/sector=4294967296 result=105"},  // not sector 0
        // Areas.
        {{"/save=mbr", "/save:HEAD"}, " cmd=1 area=-2 value=HEAD"},
        {{"/save=vbr"}, " cmd=1 area=-5 value=vbr"}, {{"/save=range"}, " cmd=1 area=-6 value=range"},
        {{"/save=x"}, " BAD value=x text=/save=x result=105"}, {{"/restore=gpt"}, " cmd=3 area=-4 value=gpt"},
        {{"/restore=0"}, " cmd=3 area=-6 value=0"},
        {{"/restore=range"}, " BAD value=range text=/restore=range result=105"},
        {{"/wipe=Disk"}, " cmd=5 area=-3 value=Disk"}, {{"/wipe="}, " BAD text=/wipe= result=105"},
        {{"/option=mbr"}, " area=0"}, {{"/option=head"}, " area=-2"},
        {{"/option=vbr"}, " BAD text=/option=vbr result=105"},
        // Type codes; with /create anywhere on the line the type is the create command's.
        {{"/type=0c"}, " cmd=16 type=12 value=0c"}, {{"/type=0x83"}, " cmd=16 type=131 value=0x83"},
        {{"/type=12d"}, " cmd=16 type=12 value=12d"}, {{"/type=12D"}, " cmd=16 type=12 value=12D"},
        {{"/type="}, " BAD text=/type= result=105"}, {{"/create=1", "/type=7"}, " cmd=27 value=7"},
        {{"/type=7", "/create=1"}, " cmd=27 value=1"},
        {{"/list", "/type=7", "/create"}, " cmd=8 BAD value=7 text=/create result=105"},
        // Values and numbers.
        {{"-Filename=a.bin"}, " file=a.bin"}, {{"/show=a", "/writeini=b"}, " cmd=19 value=b"},
        {{"/source=5", "/target=100"}, " first=5 last=100 value=5 file=100"},
        {{"/value=1234ABCD", "/size=max"}, " file=max"}, {{"/range=0-62"}, " value=0-62"},
        {{"/repair=win7"}, " cmd=2 first=2 value=win7"}, {{"/repair=pt"}, " cmd=2 first=3 value=pt"},
        {{"/shutdown=2", "/msg=1"}, " msg=1 shutdown=2 scratch=1"},
        {{"/shutdown=4294967297"}, " BAD scratch=4294967297 text=/shutdown=4294967297 result=105"},  // not 1
    };
    // clang-format on
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += " " + a;
        EXPECT_EQ(ParseLine(c.args), c.changes) << line;
    }
}

TEST(ParseSwitchTest, OverLongInputsAreRefusedNotCut) {
    struct Case {
        std::string argument;
        SwitchSource source;
        bool refused;
    };
    const Case cases[] = {
        {"/Filename=" + std::string(255, 'f'), SwitchSource::CommandLine, false},
        {"/Filename=" + std::string(256, 'f'), SwitchSource::CommandLine, true},
        {"/freespace" + std::string(501, 'x'), SwitchSource::CommandLine, false},
        {"/freespace" + std::string(502, 'x'), SwitchSource::CommandLine, true},
        {"/freespace" + std::string(246, 'x') + "=", SwitchSource::CommandLine, true},  // name of 256
        {"/Filename=" + std::string(1013, 'f'), SwitchSource::OptionsFile, false},
        {"/Filename=" + std::string(1014, 'f'), SwitchSource::OptionsFile, true},
    };
    for (const Case& c : cases) {
        FakePlatform platform;
        RunContext run(platform);
        ParseSwitch(run, c.argument, c.source);
        EXPECT_EQ(run.options.result, c.refused ? 105 : 0) << c.argument.size();
        const bool named = c.argument.starts_with("/Filename=");
        EXPECT_EQ(run.options.fileName, named && !c.refused ? c.argument.substr(10) : "")
            << c.argument.size();
    }
}

TEST(ParseSwitchTest, SideEffects) {
    std::string output;
    ParseLine({"/debug", "/list", "/bogus"}, &output);
    EXPECT_EQ(output,
              "\nDebug: 00 /debug \nDebug: 08 /list \nDebug: 00 ReturnCodeError 105\nDebug: 08 /bogus ");

    FakePlatform platform;
    RunContext run(platform);
    run.frame = SetFrameStyle(1, 437);
    const char* argv[] = {"partam", "/te", "-Filename=a.bin"};
    ParseCommandLine(run, 3, argv);
    EXPECT_EQ(run.frame.style, 3);
    EXPECT_EQ(run.frame.topLeft + run.frame.outerHorizontal, " -");
    EXPECT_EQ(run.arguments.Find("/Filename"), nullptr);  // a "-" switch is not found under "/"
}

TEST(ReadOptionsFileTest, TokensFromTheProgramFolder) {
    const std::string path(1017, 'p');
    struct Case {
        std::optional<std::string> content;
        bool found;
        std::string changes;
    };
    const Case cases[] = {
        {"/list\r\n/disk=1\r\n", true, " cmd=8 disk=1"},
        {"/list\n\t /disk=1 /tablist", true, " cmd=9 disk=1"},
        {"  \t\r\n\n  \n", false, ""},
        {std::nullopt, false, ""},
        {"/bogus", true, " BAD text=/bogus result=105"},
        {"/disk=" + path + "\n/list", true, " cmd=8 disk=999 diskFile=" + path},  // 1023: whole, not split
        {"/disk=" + path + "p", true, " BAD text=/disk=" + path + "p result=105"},
    };
    for (const Case& c : cases) {
        FakePlatform platform;
        platform.programFolder = "D:\\bin\\";
        if (c.content) platform.AddFile("D:\\bin\\partam.opt", {c.content->begin(), c.content->end()});
        platform.AddFile("C:\\Tools\\partam.opt", {'/', 'd', 'e', 'l'});  // another folder: never read
        RunContext run(platform);
        EXPECT_EQ(ReadOptionsFile(run), c.found) << c.content.value_or("(none)").substr(0, 20);
        EXPECT_EQ(Changes(run.options), c.changes) << c.content.value_or("(none)").substr(0, 20);
    }
}

TEST(MatchSwitchTest, EdgesOfTheModes) {
    struct Case {
        const char* argument;
        const char* keyword;
        MatchMode mode;
        int count;
        bool matched, invalid;
        const char* value;
    };
    const Case cases[] = {
        {"/DISK=c:", "disk=", MatchMode::Count, 5, true, false, "c:"},
        {"/logicalX", "logical", MatchMode::Count, 0, true, false, "X"},
        {"/disk", "disk=", MatchMode::Count, 5, false, false, ""},
        {"disk=", "disk=", MatchMode::Count, 5, true, false, ""},
        {"/SAVE:mbr", "save=", MatchMode::Valued, 0, true, false, "mbr"},
        {"/save==x", "save=", MatchMode::Valued, 0, true, false, "=x"},
        {"/save=", "save=", MatchMode::Valued, 0, true, true, ""},
        {"/sav", "save=", MatchMode::Valued, 0, false, false, ""},
        {"-", "?", MatchMode::Abbreviable, 0, false, false, ""},
    };
    for (const Case& c : cases) {
        const SwitchMatch m = MatchSwitch(c.argument, c.keyword, c.mode, c.count);
        EXPECT_EQ(m.matched, c.matched) << c.argument;
        EXPECT_EQ(m.invalid, c.invalid) << c.argument;
        EXPECT_EQ(m.value, c.value) << c.argument;
    }
}

TEST(KeywordNumberTest, RepairModes) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"XP", 1}, {"win7", 2}, {"PartitionTable", 3}, {"PT", 3}, {"", -1}, {"17", 17}, {"2x", 2}, {"win", 0},
    };
    for (const auto& [text, number] : cases) EXPECT_EQ(KeywordNumber(text), number) << text;
}

}  // namespace
}  // namespace partam
