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

// The closing lines are the program tests' and the driver runs'; here what
// only a made-up run reaches: user text that looks like a format is shown
// as it stands, a volume code without a /vol argument names nothing, and
// 201 is four blanks.
TEST(MessagesTest, FilledLinesTakeUserTextAsItStands) {
    RunOptions o;
    const std::pair<int, const char*> cases[] = {
        {147, " Error 147: Unable to locate the specifed partition: '50%s' \n"},
        {148, " Error 148: Unable to locate the partition assigned to drive letter: 50%s \n"},
        {201, " Error 201:     \n\n"}};
    for (const auto& [code, line] : cases) {
        o.result = code;
        EXPECT_EQ(Shown(o), line) << code;
    }
    o.result = 147;
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
