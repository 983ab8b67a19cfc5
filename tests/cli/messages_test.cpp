#include "cli/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "support/fake_platform.h"

namespace partam {
namespace {

// The closing message of a run with these options and one argument.
std::string Shown(const RunOptions& options, const char* argument = "/vol=50%s") {
    FakePlatform platform;
    platform.QueueKeys("qq");
    RunContext run(platform);
    const char* argv[] = {"partam", argument};
    run.arguments = ArgumentList(2, argv);
    run.options = options;
    ShowMessages(run);
    EXPECT_EQ(platform.keysRead, options.result == 102 ? 1 : 0);  // 102 waits for one key
    return platform.TakeOutput();
}

// Closing lines of each form, filled from a run of "/vol=50%s" with value
// "report.ini" and bad switch "/bogus": the command-level lines with each
// fill, and the general form " Error <code>: <text>\n\n" with a text and
// with four blanks. Every code's text is a row of a table in messages.cpp;
// the program tests meet them in the runs that end with them.
const std::pair<int, const char*> kCommandLevel[] = {
    {104, "Unable to write MBR information to file report.ini."},
    {106, "Invalid Partition specified."},
    {117, "Invalid Parameter: /bogus"},
    {147, "Unable to locate the specifed partition: '50%s' "},
    {148, "Unable to locate the partition assigned to drive letter: 50%s "},
};
const std::pair<int, const char*> kDiskLevel[] = {
    {121, "    "}, {201, "    "}, {205, "Invalid Partamer Backup File"}, {513, "Partition table is corrupt"},
    {561, "File does not contain a valid MBR\n"},
};
// clang-format off
const std::pair<int, const char*> kOtherLines[] = {
    {101, "\n Error 101: Invalid partition ID specified\n"},
    {102, "\n Error 102: No command line parameters specified \n"},  // then its help and a key
    {105, "\n Error 105: Invalid or incomplete switch: /bogus\n"},
    {125, " Partition entries already sorted. No changes have been made.\n"},
    {136, "Error 136: Partamer is unable to access the disk(s) with current permissions,\n"
          "          please restart as Administrator.\n"}};
// clang-format on

TEST(MessagesTest, EveryCodeHasItsExactLine) {
    std::vector<std::pair<int, std::string>> lines(std::begin(kOtherLines), std::end(kOtherLines));
    const auto add = [&lines](const auto& table, const char* end) {
        for (const auto& [code, text] : table)
            lines.emplace_back(code, " Error " + std::to_string(code) + ": " + text + end);
    };
    add(kCommandLevel, "\n");
    add(kDiskLevel, "\n\n");
    RunOptions o;
    std::tie(o.valueText, o.badSwitchText) = std::tuple("report.ini", "/bogus");
    for (const auto& [code, line] : lines) {
        o.result = code;
        EXPECT_EQ(Shown(o), line + std::string(code == 102 ? kNoParametersHelp : "")) << code;
    }
    o.result = 147;  // without a /vol argument the volume codes name nothing
    EXPECT_EQ(Shown(o, "-vol=X"), " Error 147: Unable to locate the specifed partition: '' \n");
}

// Every code the program can record says what happened: a line of its own or
// a text in the general form. Only 121 is four blanks, as it always was.
TEST(MessagesTest, EveryRecordableCodeHasAText) {
    FakePlatform platform;
    RunContext run(platform);
    for (const MBRERRORS code : kAllResultCodes) {
        if (code == kSuccess) continue;
        const std::string line = ResultLine(run, code);
        const bool blank = line == " Error " + std::to_string(code) + ":     \n\n";
        EXPECT_EQ(blank, code == kUnnamedFailure) << code << ": " << line;
    }
}

TEST(MessagesTest, MessageLevelAndShutdownNotice) {
    const std::string hidden = " Partition(s) successfully hidden \n",
                      e511 = " Error 511: Invalid Disk selected\n\n";
    const std::pair<std::tuple<int, int, int, int>, std::string> cases[] = {
        // clang-format off
        // level, result, shutdown, ignore: the message
        {{0, 0, 0, 0}, hidden}, {{1, 0, 0, 0}, ""}, {{3, 0, 0, 0}, ""}, {{0, 0, 1, 0}, hidden},
        {{1, 511, 0, 0}, ""}, {{3, 511, 1, 0}, ""}, {{2, 511, 0, 0}, e511}, {{0, 511, 1, 1}, e511},
        {{0, 511, 1, 0}, e511 + " Shutdown aborted due to previous error!\n"},
        // clang-format on
    };
    RunOptions o;
    o.command = o.messageCommand = CommandId::Hide;
    for (const auto& [levelResultShutdownIgnore, message] : cases) {
        std::tie(o.messageLevel, o.result, o.shutdownMode, o.ignoreErrors) = levelResultShutdownIgnore;
        EXPECT_EQ(Shown(o), message) << testing::PrintToString(levelResultShutdownIgnore);
    }
}

}  // namespace
}  // namespace partam
