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

// Parses args as the command line of one run.
RunOptions Parse(const Args& args, std::string* output = nullptr) {
    FakePlatform platform;
    RunContext run(platform);
    std::vector<const char*> argv{"partam"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    ParseCommandLine(run, static_cast<int>(argv.size()), argv.data());
    if (output) *output = platform.output;
    return run.options;
}

std::string Show(const Args& args) {
    std::string text;
    for (const std::string& a : args) text += "[" + a.substr(0, 40) + "]";
    return text;
}

TEST(MatchSwitchTest, Modes) {
    struct Case {
        const char* argument;
        const char* keyword;
        MatchMode mode;
        int count;
        bool matched;
        bool invalid;
        const char* value;
    };
    const Case cases[] = {
        {"/L", "list", MatchMode::Abbreviable, 0, true, false, ""},
        {"-LIST", "list", MatchMode::Abbreviable, 0, true, false, ""},
        {"/listx", "list", MatchMode::Abbreviable, 0, false, false, ""},
        {"list", "list", MatchMode::Abbreviable, 0, true, false, ""},
        {"lis", "list", MatchMode::Abbreviable, 0, false, false, ""},
        {"/", "list", MatchMode::Abbreviable, 0, false, false, ""},
        {"-", "?", MatchMode::Abbreviable, 0, false, false, ""},
        {"", "list", MatchMode::Abbreviable, 0, false, false, ""},
        {"/DISK=c:\\x", "disk=", MatchMode::Count, 5, true, false, "c:\\x"},
        {"/disk", "disk=", MatchMode::Count, 5, false, false, ""},
        {"/freespaceXYZ", "freespace", MatchMode::Count, 0, true, false, "XYZ"},
        {"/logicalX", "logical", MatchMode::Count, 7, true, false, "X"},
        {"/extendeX", "extended", MatchMode::Count, 8, false, false, ""},
        {"disk=1", "disk=", MatchMode::Count, 5, false, false, ""},
        {"disk=", "disk=", MatchMode::Count, 5, true, false, ""},
        {"/save=mbr", "save=", MatchMode::Valued, 0, true, false, "mbr"},
        {"/SAVE:mbr", "save=", MatchMode::Valued, 0, true, false, "mbr"},
        {"/save==x", "save=", MatchMode::Valued, 0, true, false, "=x"},
        {"/save=", "save=", MatchMode::Valued, 0, true, true, ""},
        {"/save", "save=", MatchMode::Valued, 0, true, true, ""},
        {"/sav", "save=", MatchMode::Valued, 0, false, false, ""},
        {"/statusX", "status=", MatchMode::Valued, 0, true, true, ""},
        {"save=", "save=", MatchMode::Valued, 0, true, true, ""},
        {"save=mbr", "save=", MatchMode::Valued, 0, false, false, ""},
    };
    for (const Case& c : cases) {
        const SwitchMatch m = MatchSwitch(c.argument, c.keyword, c.mode, c.count);
        EXPECT_EQ(m.matched, c.matched) << c.argument << " " << c.keyword;
        EXPECT_EQ(m.invalid, c.invalid) << c.argument << " " << c.keyword;
        EXPECT_EQ(m.value, c.value) << c.argument << " " << c.keyword;
    }
}

// Which command a line selects, and whether it is refused.
TEST(ParseSwitchTest, CommandSelection) {
    struct Case {
        Args args;
        CommandId command;
        int badSwitch;
        int result;
        const char* badText;
    };
    const Case cases[] = {
        {{"/L"}, CommandId::List, 0, 0, ""},
        {{"/LIST"}, CommandId::List, 0, 0, ""},
        {{"-list"}, CommandId::List, 0, 0, ""},
        {{"list"}, CommandId::List, 0, 0, ""},
        {{"/t"}, CommandId::TabList, 0, 0, ""},
        {{"/s"}, CommandId::Sort, 0, 0, ""},
        {{"/st"}, CommandId::Status, 0, 0, ""},
        {{"/status"}, CommandId::Status, 0, 0, ""},
        {{"/d"}, CommandId::Del, 0, 0, ""},
        {{"/di"}, CommandId::DiskCount, 0, 0, ""},
        {{"/disk"}, CommandId::DiskCount, 0, 0, ""},
        {{"/f"}, CommandId::FlashMBR, 0, 0, ""},
        {{"/fo"}, CommandId::Format, 0, 0, ""},
        {{"/i"}, CommandId::IsSorted, 0, 0, ""},
        {{"/in"}, CommandId::Inactive, 0, 0, ""},
        {{"/inf"}, CommandId::Info, 0, 0, ""},
        {{"/isf"}, CommandId::IsFixed, 0, 0, ""},
        {{"/c"}, CommandId::Copy, 0, 0, ""},
        {{"/a"}, CommandId::Active, 0, 0, ""},
        {{"/h"}, CommandId::Hide, 0, 0, ""},
        {{"/u"}, CommandId::UnHide, 0, 0, ""},
        {{"/b"}, CommandId::BootMenu, 0, 0, ""},
        {{"/p"}, CommandId::PartCount, 0, 0, ""},
        {{"/repair=xp"}, CommandId::Repair, 0, 0, ""},
        {{"/show=a.bin"}, CommandId::Show, 0, 0, ""},
        {{"/create=1"}, CommandId::Create, 0, 0, ""},
        {{"/signature=Read"}, CommandId::Signature, 0, 0, ""},
        {{"/volumeid=Read"}, CommandId::VolumeID, 0, 0, ""},
        {{"/writeini=a.ini"}, CommandId::WriteIni, 0, 0, ""},
        {{"/status=5"}, CommandId::WriteStatus, 0, 0, ""},
        {{"/fi"}, CommandId::None, 0, 0, ""},
        {{"/save=mbr", "/list"}, CommandId::List, 0, 0, ""},
        // Refused switches.
        {{"/statusX"}, CommandId::None, 1, 105, "/statusX"},
        {{"/listx"}, CommandId::None, 1, 105, "/listx"},
        {{"/create"}, CommandId::None, 1, 105, "/create"},
        {{"/save"}, CommandId::None, 1, 105, "/save"},
        {{"/save="}, CommandId::None, 1, 105, "/save="},
        {{"save="}, CommandId::None, 1, 105, "save="},
        {{"disk=1"}, CommandId::None, 1, 105, "disk=1"},
        {{"/ext"}, CommandId::None, 1, 105, "/ext"},
        {{"/filenameX=a"}, CommandId::None, 1, 105, "/filenameX=a"},
        {{"/"}, CommandId::None, 1, 105, "/"},
        {{""}, CommandId::None, 1, 105, ""},
        {{"/x", "/list"}, CommandId::List, 1, 105, "/x"},
        // A bad wipe area or status value is a bad parameter of a command
        // that stays selected, not a bad switch.
        {{"/status=x"}, CommandId::WriteStatus, 0, 117, "/status=x"},
        {{"/wipe=vbr"}, CommandId::Wipe, 0, 117, "/wipe=vbr"},
        // The text shown belongs to the code that is reported.
        {{"/wipe=x", "/y"}, CommandId::Wipe, 1, 117, "/wipe=x"},
        {{"/y", "/status=q"}, CommandId::WriteStatus, 1, 105, "/y"},
        {{"/y", "/z"}, CommandId::None, 1, 105, "/y"},
    };
    for (const Case& c : cases) {
        const RunOptions o = Parse(c.args);
        EXPECT_EQ(o.command, c.command) << Show(c.args);
        EXPECT_EQ(o.badSwitch, c.badSwitch) << Show(c.args);
        EXPECT_EQ(o.result, c.result) << Show(c.args);
        EXPECT_EQ(o.badSwitchText, c.badText) << Show(c.args);
    }
}

TEST(ParseSwitchTest, FlagsSetOnlyTheirOwnField) {
    using Flag = std::int32_t RunOptions::*;
    const Flag all[] = {&RunOptions::freeSpace,    &RunOptions::extendedOnly, &RunOptions::showResult,
                        &RunOptions::ignoreErrors, &RunOptions::autoConfirm,  &RunOptions::silent,
                        &RunOptions::noHeader,     &RunOptions::asciiMap,     &RunOptions::help};
    struct Case {
        const char* argument;
        Flag flag;
    };
    const Case cases[] = {
        {"/freespaceXYZ", &RunOptions::freeSpace},
        {"/extendedfoo", &RunOptions::extendedOnly},
        {"/LOGICAL", &RunOptions::extendedOnly},
        {"/r", &RunOptions::showResult},
        {"/ig", &RunOptions::ignoreErrors},
        {"/con", &RunOptions::autoConfirm},
        {"-silent", &RunOptions::silent},
        {"/n", &RunOptions::noHeader},
        {"/as", &RunOptions::asciiMap},
        {"/?", &RunOptions::help},
        {"?", &RunOptions::help},
    };
    for (const Case& c : cases) {
        const RunOptions o = Parse({c.argument});
        for (Flag f : all) EXPECT_EQ(o.*f, f == c.flag ? 1 : 0) << c.argument;
        EXPECT_EQ(o.command, CommandId::None) << c.argument;
        EXPECT_EQ(o.result, 0) << c.argument;
    }
}

TEST(ParseSwitchTest, DiskPartitionAndSectorSelection) {
    struct Case {
        const char* argument;
        std::int32_t disk;
        std::int32_t part;
        std::int32_t sector;
        const char* diskFileName;
        int badSwitch;
    };
    const Case cases[] = {
        {"/disk=*", -1, 1000, -9999, "", 0},
        {"/disk=3", 3, 1000, -9999, "", 0},
        {"/disk=12abc", 12, 1000, -9999, "", 0},
        {"/disk=c:\\vm\\x.vmdk", 999, 1000, -9999, "c:\\vm\\x.vmdk", 0},
        {"/disk=", 999, 1000, -9999, "", 0},
        {"/disk=4294967297", -9999, 1000, -9999, "", 1},  // must not wrap to disk 1
        {"/part=*", -9999, -1, -9999, "", 0},
        {"/part=12", -9999, 12, -9999, "", 0},
        {"/part=1x", -9999, 1, -9999, "", 0},
        {"/part=123", -9999, 1000, -9999, "", 1},
        {"/part=SYSTEM", -9999, 1001, -9999, "", 0},
        {"/part=boot", -9999, 1002, -9999, "", 0},
        {"/part=diag", -9999, 1003, -9999, "", 0},
        {"/part=Dell", -9999, 1003, -9999, "", 0},
        {"/part=utility", -9999, 1003, -9999, "", 0},
        {"/part=data", -9999, 1000, -9999, "", 1},
        {"/part=", -9999, 1000, -9999, "", 1},
        {"/vol=e:", -9999, 1005, -9999, "", 0},
        {"/VOL=Z:", -9999, 1005, -9999, "", 0},
        {"/vol=DATA", -9999, 1004, -9999, "", 0},
        {"/vol=1:", -9999, 1004, -9999, "", 0},
        {"/vol=e:\\", -9999, 1004, -9999, "", 0},
        {"/vol=", -9999, 1000, -9999, "", 1},
        {"/sector=63", -9999, 1000, 63, "", 0},
        {"/sector=DISK", -9999, 1000, -3, "", 0},
        {"/sector=x", -9999, 1000, -9999, "", 1},
        {"/sector=", -9999, 1000, -9999, "", 1},
        {"/sector=4294967296", -9999, 1000, -9999, "", 1},  // must not wrap to sector 0
    };
    for (const Case& c : cases) {
        const RunOptions o = Parse({c.argument});
        EXPECT_EQ(o.disk, c.disk) << c.argument;
        EXPECT_EQ(o.part, c.part) << c.argument;
        EXPECT_EQ(o.sector, c.sector) << c.argument;
        EXPECT_EQ(o.diskFileName, c.diskFileName) << c.argument;
        EXPECT_EQ(o.badSwitch, c.badSwitch) << c.argument;
        EXPECT_EQ(o.result, c.badSwitch ? 105 : 0) << c.argument;
    }
    EXPECT_EQ(Parse({"/part=3"}).partSwitchText, "/part=3");
    EXPECT_EQ(Parse({"/part=123"}).partSwitchText, "/part=123");
}

TEST(ParseSwitchTest, Areas) {
    struct Case {
        Args args;
        CommandId command;
        AreaKind area;
        int result;
    };
    const Case cases[] = {
        {{"/save=mbr"}, CommandId::Save, AreaKind::Mbr, 0},
        {{"/save:HEAD"}, CommandId::Save, AreaKind::Head, 0},
        {{"/save=mbr", "/save=head"}, CommandId::Save, AreaKind::Head, 0},
        {{"/save=gpt"}, CommandId::Save, AreaKind::Gpt, 0},
        {{"/save=disk"}, CommandId::Save, AreaKind::Disk, 0},
        {{"/save=vbr"}, CommandId::Save, AreaKind::Vbr, 0},
        {{"/save=range"}, CommandId::Save, AreaKind::Range, 0},
        {{"/save=mbrx"}, CommandId::None, AreaKind::NotGiven, 105},
        {{"/restore=mbr"}, CommandId::Restore, AreaKind::Mbr, 0},
        {{"/restore=vbr"}, CommandId::Restore, AreaKind::Vbr, 0},
        {{"/restore=0"}, CommandId::Restore, AreaKind::Range, 0},
        {{"/restore=range"}, CommandId::None, AreaKind::NotGiven, 105},
        {{"/wipe=range"}, CommandId::Wipe, AreaKind::Range, 0},
        {{"/wipe=Disk"}, CommandId::Wipe, AreaKind::Disk, 0},
        {{"/wipe="}, CommandId::None, AreaKind::NotGiven, 105},
        {{"/option=head"}, CommandId::None, AreaKind::Head, 0},
        {{"/option=mbr"}, CommandId::None, AreaKind::MbrOption, 0},
        {{"/option=gpt"}, CommandId::None, AreaKind::Gpt, 0},
        {{"/option=disk"}, CommandId::None, AreaKind::Disk, 0},
        {{"/option=vbr"}, CommandId::None, AreaKind::NotGiven, 105},
    };
    for (const Case& c : cases) {
        const RunOptions o = Parse(c.args);
        EXPECT_EQ(o.command, c.command) << Show(c.args);
        EXPECT_EQ(o.area, c.area) << Show(c.args);
        EXPECT_EQ(o.result, c.result) << Show(c.args);
    }
}

TEST(ParseSwitchTest, TypeCodes) {
    struct Case {
        Args args;
        CommandId command;
        std::int32_t typeCode;
        int badSwitch;
    };
    const Case cases[] = {
        {{"/type=0c"}, CommandId::Type, 0x0C, 0},
        {{"/type=0x83"}, CommandId::Type, 0x83, 0},
        {{"/type=7"}, CommandId::Type, 7, 0},
        {{"/type=12d"}, CommandId::Type, 12, 0},
        {{"/type=12D"}, CommandId::Type, 12, 0},
        {{"/type=107"}, CommandId::Type, 0x107, 0},
        {{"/type="}, CommandId::None, -2, 1},
        // With /create anywhere on the line the type is left to the create command.
        {{"/create=1", "/type=7"}, CommandId::Create, -2, 0},
        {{"/type=7", "/create=1"}, CommandId::Create, -2, 0},
        {{"/list", "/type=7", "/create"}, CommandId::List, -2, 1},
        {{"/create=1", "/type="}, CommandId::Create, -2, 1},
    };
    for (const Case& c : cases) {
        const RunOptions o = Parse(c.args);
        EXPECT_EQ(o.command, c.command) << Show(c.args);
        EXPECT_EQ(o.typeCode, c.typeCode) << Show(c.args);
        EXPECT_EQ(o.badSwitch, c.badSwitch) << Show(c.args);
    }
}

TEST(ParseSwitchTest, ValuesAndNumbers) {
    struct Case {
        Args args;
        const char* valueText;
        const char* fileName;
        const char* scratchText;
        std::int64_t firstSector;
        std::int64_t lastSector;
        std::int32_t messageLevel;
        std::int32_t shutdownMode;
    };
    const Case cases[] = {
        {{"/Filename=a.bin"}, "", "a.bin", "", -9999, -9999, 0, 0},
        {{"-Filename=a.bin"}, "", "a.bin", "", -9999, -9999, 0, 0},
        {{"/show=a.bin", "/writeini=b.ini"}, "b.ini", "", "", -9999, -9999, 0, 0},
        {{"/range=0-62"}, "0-62", "", "", -9999, -9999, 0, 0},
        {{"/source=5", "/target=100"}, "5", "100", "", 5, 100, 0, 0},
        {{"/value=1234ABCD", "/size=max"}, "", "max", "", -9999, -9999, 0, 0},
        {{"/start=freespace", "/align=4k"}, "", "4k", "", -9999, -9999, 0, 0},
        {{"/repair=win7"}, "win7", "", "", 2, -9999, 0, 0},
        {{"/repair=pt"}, "pt", "", "", 3, -9999, 0, 0},
        {{"/msg=3"}, "", "", "3", -9999, -9999, 3, 0},
        {{"/shutdown=2", "/msg=1"}, "", "", "1", -9999, -9999, 1, 2},
        {{"/shutdown=4294967297"}, "", "", "4294967297", -9999, -9999, 0, 0},
    };
    for (const Case& c : cases) {
        const RunOptions o = Parse(c.args);
        EXPECT_EQ(o.valueText, c.valueText) << Show(c.args);
        EXPECT_EQ(o.fileName, c.fileName) << Show(c.args);
        EXPECT_EQ(o.scratchText, c.scratchText) << Show(c.args);
        EXPECT_EQ(o.firstSector, c.firstSector) << Show(c.args);
        EXPECT_EQ(o.lastSector, c.lastSector) << Show(c.args);
        EXPECT_EQ(o.messageLevel, c.messageLevel) << Show(c.args);
        EXPECT_EQ(o.shutdownMode, c.shutdownMode) << Show(c.args);
    }
    // A wrapped shutdown value would have been 1, a forced shutdown.
    EXPECT_EQ(Parse({"/shutdown=4294967297"}).result, 105);
}

TEST(ParseSwitchTest, DashedFilenameIsNotFoundUnderSlash) {
    FakePlatform platform;
    RunContext run(platform);
    const char* argv[] = {"partam", "-Filename=a.bin", "/save=mbr"};
    ParseCommandLine(run, 3, argv);
    EXPECT_EQ(run.options.fileName, "a.bin");
    EXPECT_EQ(run.arguments.Find("/Filename"), nullptr);
}

TEST(ParseSwitchTest, OverLongInputsAreRefusedNotCut) {
    struct Case {
        std::string argument;
        SwitchSource source;
        int badSwitch;
    };
    const Case cases[] = {
        {"/Filename=" + std::string(255, 'f'), SwitchSource::CommandLine, 0},
        {"/Filename=" + std::string(256, 'f'), SwitchSource::CommandLine, 1},
        {"/disk=" + std::string(256, 'f'), SwitchSource::CommandLine, 1},
        {"/freespace" + std::string(501, 'x'), SwitchSource::CommandLine, 0},
        {"/freespace" + std::string(502, 'x'), SwitchSource::CommandLine, 1},
        {"/freespace" + std::string(246, 'x') + "=", SwitchSource::CommandLine, 1},  // name 256
        {"/Filename=" + std::string(1013, 'f'), SwitchSource::OptionsFile, 0},       // 1023
        {"/Filename=" + std::string(1014, 'f'), SwitchSource::OptionsFile, 1},
    };
    for (const Case& c : cases) {
        FakePlatform platform;
        RunContext run(platform);
        ParseSwitch(run, c.argument, c.source);
        EXPECT_EQ(run.options.badSwitch, c.badSwitch) << c.argument.size();
        EXPECT_EQ(run.options.result, c.badSwitch ? 105 : 0) << c.argument.size();
        if (c.argument.starts_with("/Filename=")) {
            EXPECT_EQ(run.options.fileName, c.badSwitch ? "" : c.argument.substr(10)) << c.argument.size();
        }
    }
}

TEST(ParseSwitchTest, DebugTracePrintsEachArgumentWithTheCommand) {
    std::string output;
    Parse({"/debug", "/list", "/bogus"}, &output);
    EXPECT_EQ(output,
              "\nDebug: 00 /debug "
              "\nDebug: 08 /list "
              "\nDebug: 00 ReturnCodeError 105"
              "\nDebug: 08 /bogus ");
    Parse({"/list"}, &output);
    EXPECT_EQ(output, "");
}

TEST(ParseSwitchTest, TextSwitchSelectsPlainFrame) {
    FakePlatform platform;
    RunContext run(platform);
    run.frame = SetFrameStyle(1, 437);
    ASSERT_NE(run.frame.style, 3);
    ParseSwitch(run, "/te");
    EXPECT_EQ(run.frame.style, 3);
    EXPECT_EQ(run.frame.topLeft, " ");
    EXPECT_EQ(run.frame.outerHorizontal, "-");
    EXPECT_EQ(run.options.command, CommandId::None);
}

TEST(ReadOptionsFileTest, TokensFromTheProgramFolder) {
    struct Case {
        const char* name;
        std::optional<std::string> content;
        bool found;
        CommandId command;
        std::int32_t disk;
        int result;
    };
    const Case cases[] = {
        {"two lines", "/list\r\n/disk=1\r\n", true, CommandId::List, 1, 0},
        {"no final line end", "/list\n\t /disk=1", true, CommandId::List, 1, 0},
        {"later wins", "/list /disk=1 /tablist /disk=2", true, CommandId::TabList, 2, 0},
        {"blanks only", "  \t\r\n\n  \n", false, CommandId::None, -9999, 0},
        {"empty", "", false, CommandId::None, -9999, 0},
        {"missing", std::nullopt, false, CommandId::None, -9999, 0},
        {"invalid token", "/bogus", true, CommandId::None, -9999, 105},
        {"token of 1024", "/list /disk=" + std::string(1018, 'x'), true, CommandId::List, -9999, 105},
    };
    for (const Case& c : cases) {
        FakePlatform platform;
        platform.programFolder = "D:\\bin\\";
        if (c.content) platform.AddFile("D:\\bin\\partam.opt", {c.content->begin(), c.content->end()});
        platform.AddFile("C:\\Tools\\partam.opt", {'/', 'd', 'e', 'l'});  // another folder: never read
        RunContext run(platform);
        EXPECT_EQ(ReadOptionsFile(run), c.found) << c.name;
        EXPECT_EQ(run.options.command, c.command) << c.name;
        EXPECT_EQ(run.options.disk, c.disk) << c.name;
        EXPECT_EQ(run.options.result, c.result) << c.name;
        EXPECT_EQ(run.options.diskFileName, "") << c.name;
    }
}

TEST(ReadOptionsFileTest, LongTokenIsNotSplit) {
    // A 1023-character token fits whole; nothing of it becomes a second token.
    const std::string path(1017, 'p');
    const std::string content = "/disk=" + path + "\n/list";
    FakePlatform platform;
    platform.AddFile(platform.programFolder + "partam.opt", {content.begin(), content.end()});
    RunContext run(platform);
    EXPECT_TRUE(ReadOptionsFile(run));
    EXPECT_EQ(run.options.result, 0);
    EXPECT_EQ(run.options.disk, 999);
    EXPECT_EQ(run.options.diskFileName, path);
    EXPECT_EQ(run.options.command, CommandId::List);
}

TEST(KeywordNumberTest, RepairModes) {
    struct Case {
        const char* text;
        std::int64_t number;
    };
    const Case cases[] = {
        {"XP", 1}, {"xp", 1},  {"Win7", 2}, {"WIN7", 2}, {"PartitionTable", 3},
        {"pt", 3}, {"PT", 3},  {"", -1},    {"17", 17},  {"2x", 2},
        {"x", 0},  {"win", 0}, {"-4", -4},
    };
    for (const Case& c : cases) EXPECT_EQ(KeywordNumber(c.text), c.number) << c.text;
}

}  // namespace
}  // namespace partam
