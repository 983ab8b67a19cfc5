#include "cli/switches.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "cli/run.h"
#include "report/frame.h"
#include "support/fake_platform.h"

namespace partam {
namespace {

// The fields a parse changed from their initial values, so each row of a
// table states everything a line did and nothing else may change.
std::string Changes(const RunOptions& o) {
    const RunOptions d;
    struct Number {
        const char* name;
        std::int64_t value, initial;
    };
    // clang-format off
    const Number numbers[] = {
        {"cmd", static_cast<int>(o.command), 0}, {"disk", o.disk, d.disk}, {"part", o.part, d.part},
        {"sector", o.sector, d.sector}, {"area", static_cast<int>(o.area), kNotGiven},
        {"type", o.typeCode, d.typeCode}, {"first", o.firstSector, d.firstSector},
        {"last", o.lastSector, d.lastSector}, {"msg", o.messageLevel, 0}, {"shutdown", o.shutdownMode, 0}};
    const std::pair<const char*, std::int32_t> flags[] = {
        {"freespace", o.freeSpace}, {"extended", o.extendedOnly}, {"result", o.showResult},
        {"ignore", o.ignoreErrors}, {"confirm", o.autoConfirm}, {"silent", o.silent}, {"nohdr", o.noHeader},
        {"ascii", o.asciiMap}, {"help", o.help}, {"BAD", o.badSwitch}};
    const std::pair<const char*, const std::string*> texts[] = {
        {"partText", &o.partSwitchText}, {"diskFile", &o.diskFileName}, {"value", &o.valueText},
        {"file", &o.fileName}, {"scratch", &o.scratchText}, {"text", &o.badSwitchText}};
    // clang-format on
    std::string s;
    for (const Number& n : numbers)
        if (n.value != n.initial) s += " " + std::string(n.name) + "=" + std::to_string(n.value);
    for (const auto& [name, flag] : flags)
        if (flag != 0) s += " " + std::string(name);
    for (const auto& [name, text] : texts)
        if (!text->empty()) s += " " + std::string(name) + "=" + *text;
    return o.result ? s + " result=" + std::to_string(o.result) : s;
}

TEST(ParseSwitchTest, Table) {
    struct Case {
        std::vector<std::string> args;
        const char* changes;
    };
    // clang-format off
    const Case cases[] = {
        // The first row an abbreviation fits decides.
        {{"/L"}, " cmd=8"}, {{"-list"}, " cmd=8"}, {{"list"}, " cmd=8"}, {{"/t"}, " cmd=9"},
        {{"/s"}, " cmd=6"}, {{"/st"}, " cmd=25"}, {{"/d"}, " cmd=14"}, {{"/disk"}, " cmd=39"},
        {{"/f"}, " cmd=29"}, {{"/fo"}, " cmd=28"}, {{"/fi"}, ""}, {{"/i"}, " cmd=7"}, {{"/in"}, " cmd=12"},
        {{"/inf"}, " cmd=38"}, {{"/isf"}, " cmd=41"}, {{"/c"}, " cmd=17"}, {{"/a"}, " cmd=10"},
        {{"/h"}, " cmd=11"}, {{"/u"}, " cmd=13"}, {{"/b"}, " cmd=20"}, {{"/p"}, " cmd=40"},
        {{"/r"}, " result"}, {{"/ig"}, " ignore"}, {{"/con"}, " confirm"}, {{"-silent"}, " silent"},
        {{"/n"}, " nohdr"}, {{"/as"}, " ascii"}, {{"?"}, " help"}, {{"/freespaceXYZ"}, " freespace"},
        {{"/LOGICAL"}, " extended"}, {{"/save=mbr", "/list"}, " cmd=8 area=-1 value=mbr"},
        // Refused switches.
        {{"/listx"}, " BAD text=/listx result=105"}, {{"/create"}, " BAD text=/create result=105"},
        {{"/save"}, " BAD text=/save result=105"}, {{"disk=1"}, " BAD text=disk=1 result=105"},
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
        {{"/vol=DATA"}, " part=1004"}, {{"/vol=1:"}, " part=1004"}, {{"/vol="}, " BAD text=/vol= result=105"},
        {{"/sector=63"}, " sector=63"}, {{"/sector=DISK"}, " sector=-3"},
        {{"/sector=x"}, " BAD text=/sector=x result=105"},
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
        {{"/type=12d"}, " cmd=16 type=12 value=12d"}, {{"/type="}, " BAD text=/type= result=105"},
        {{"/create=1", "/type=7"}, " cmd=27 value=7"}, {{"/type=7", "/create=1"}, " cmd=27 value=1"},
        {{"/list", "/type=7", "/create"}, " cmd=8 BAD value=7 text=/create result=105"},
        // Values and numbers.
        {{"-Filename=a.bin"}, " file=a.bin"}, {{"/show=a", "/writeini=b"}, " cmd=19 value=b"},
        {{"/source=5", "/target=100"}, " first=5 last=100 value=5 file=100"},
        {{"/value=1234ABCD", "/size=max"}, " file=max"}, {{"/range=0-62"}, " value=0-62"},
        {{"/repair=win7"}, " cmd=2 first=2 value=win7"}, {{"/repair=pt"}, " cmd=2 first=3 value=pt"},
        {{"/shutdown=2", "/msg=1"}, " msg=1 shutdown=2 scratch=1"},
        {{"/shutdown=4294967297"}, " BAD scratch=4294967297 text=/shutdown=4294967297 result=105"},  // not 1
        {{"/repair=XP"}, " cmd=2 first=1 value=XP"},
        {{"/repair=PartitionTable"}, " cmd=2 first=3 value=PartitionTable"},
        {{"/repair=17"}, " cmd=2 first=17 value=17"}, {{"/repair=2x"}, " cmd=2 first=2 value=2x"},
        {{"/repair=win"}, " cmd=2 first=0 value=win"},
    };
    // clang-format on
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += " " + a;
        FakePlatform platform;
        RunContext run(platform);
        std::vector<const char*> argv{"partam"};
        for (const std::string& a : c.args) argv.push_back(a.c_str());
        ParseCommandLine(run, static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(Changes(run.options), c.changes) << line;
        EXPECT_EQ(platform.output, "") << line;
    }
}

TEST(ParseSwitchTest, OverLongInputsAreRefusedNotCut) {
    const std::string f255(255, 'f'), f1013(1013, 'f');
    const std::tuple<std::string, bool, bool> cases[] = {
        // argument, read from the options file, refused
        {"/Filename=" + f255, false, false},
        {"/Filename=" + f255 + "f", false, true},
        {"/freespace" + std::string(501, 'x'), false, false},
        {"/freespace" + std::string(502, 'x'), false, true},
        {"/freespace" + std::string(246, 'x') + "=", false, true},  // a name of 256
        {"/Filename=" + f1013, true, false},
        {"/Filename=" + f1013 + "f", true, true}};
    for (const auto& [argument, fromFile, refused] : cases) {
        FakePlatform platform;
        RunContext run(platform);
        if (fromFile) {
            platform.AddFile(platform.programFolder + "partam.opt", {argument.begin(), argument.end()});
            ReadOptionsFile(run);
        } else {
            ParseSwitch(run, argument);
        }
        EXPECT_EQ(run.options.result, refused ? 105 : 0) << argument.size();
        EXPECT_EQ(run.options.fileName,
                  argument.starts_with("/Filename=") && !refused ? argument.substr(10) : "")
            << argument.size();
    }
}

TEST(ParseSwitchTest, TextSwitchSetsThePlainFrame) {
    FakePlatform platform;
    RunContext run(platform);
    run.frame = SetFrameStyle(1, 437);
    const char* argv[] = {"partam", "/te"};
    ParseCommandLine(run, 2, argv);
    EXPECT_EQ(run.frame.style, 3);
    EXPECT_EQ(run.frame.topLeft + run.frame.outerHorizontal, " -");
}

}  // namespace
}  // namespace partam
