// PosixPlatform's console, locale and system answers. Standard input and
// output are pointed at files for the length of a test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "platform/posix/posix_platform.h"
#include "scratch.h"

namespace partam {
namespace {

using posix::PosixPlatform;
using test::ScopedEnv;
using test::ScratchFolder;

// Replaces one standard descriptor with a file (or closes it) and puts the
// original back at the end of the scope.
class ScopedStdFd {
public:
    ScopedStdFd(int fd, const std::string& path, int flags) : fd_(fd), saved_(::dup(fd)) {
        std::fflush(stdout);
        if (path.empty()) {
            ::close(fd);
            return;
        }
        const int file = ::open(path.c_str(), flags, 0644);
        ::dup2(file, fd);
        ::close(file);
    }
    ~ScopedStdFd() {
        std::fflush(stdout);
        ::dup2(saved_, fd_);
        ::close(saved_);
    }
    ScopedStdFd(const ScopedStdFd&) = delete;
    ScopedStdFd& operator=(const ScopedStdFd&) = delete;

private:
    int fd_;
    int saved_;
};

TEST(PosixConsole, KeysAndLinesFromRedirectedInputEndAtEof) {
    ScratchFolder dir;
    const std::string in = dir.WriteText("in.txt", "yN\r\nsecond line\r\n\nlast");
    const std::string out = dir.Path("out.txt");
    PosixPlatform p;
    std::vector<int> keys;
    std::vector<std::optional<std::string>> lines;
    {
        ScopedStdFd input(STDIN_FILENO, in, O_RDONLY);
        ScopedStdFd output(STDOUT_FILENO, out, O_WRONLY | O_CREAT | O_TRUNC);
        p.Write("Sure? ");
        keys.push_back(p.ReadKey(false));
        keys.push_back(p.ReadKey(true));
        for (int i = 0; i < 5; ++i) {
            std::string line = "stale";
            lines.push_back(p.ReadLine(line) ? std::optional<std::string>(line) : std::nullopt);
            if (!lines.back()) {
                EXPECT_EQ(line, "");
            }
        }
        keys.push_back(p.ReadKey(true));
        keys.push_back(p.ReadKey(false));
        EXPECT_EQ(p.OutputCodePage(), 0u);  // not a terminal
    }
    EXPECT_EQ(keys, (std::vector<int>{'y', 'N', kEndOfInput, kEndOfInput}));
    EXPECT_EQ(lines, (std::vector<std::optional<std::string>>{"", "second line", "", "last", std::nullopt}));
    // The prompt is out before the key is read; the echoed key follows it.
    const test::Bytes written = ScratchFolder::Read(out);
    EXPECT_EQ(std::string(written.begin(), written.end()), "Sure? N");
}

TEST(PosixConsole, ClosedInputEndsAtOnce) {
    PosixPlatform p;
    ScopedStdFd input(STDIN_FILENO, "", 0);
    std::string line;
    EXPECT_EQ(p.ReadKey(false), kEndOfInput);
    EXPECT_EQ(p.ReadKey(true), kEndOfInput);
    EXPECT_FALSE(p.ReadLine(line));
}

TEST(PosixConsole, OverlongLineIsCutNotHoarded) {
    ScratchFolder dir;
    const std::string in = dir.WriteText("in.txt", std::string(70000, 'a') + "\nnext\n");
    PosixPlatform p;
    ScopedStdFd input(STDIN_FILENO, in, O_RDONLY);
    std::string line;
    ASSERT_TRUE(p.ReadLine(line));
    EXPECT_EQ(line, std::string(64 * 1024, 'a'));
    ASSERT_TRUE(p.ReadLine(line));
    EXPECT_EQ(line, "next");
}

TEST(PosixLocale, NumbersInTheCLocaleLookLikeWindowsDefaults) {
    ScopedEnv all("LC_ALL", std::nullopt), numeric("LC_NUMERIC", "C"), lang("LANG", std::nullopt);
    PosixPlatform p;
    struct Case {
        const char* text;
        unsigned decimals;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"1234567.891000", 2, "1,234,567.89"}, {"0.000000", 2, "0.00"},   {"999.999000", 0, "1,000"},
        {"1.250000", 0xFFFFFFFFu, "1.250000"}, {"12,5", 2, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(p.FormatLocaleNumber(c.text, c.decimals), c.expected) << c.text;
    EXPECT_EQ(p.LastErrorText(), "Invalid argument");
}

TEST(PosixSystem, AnswersWithoutWindowsServices) {
    PosixPlatform p;
    std::vector<std::uint8_t> data{1, 2};
    EXPECT_FALSE(p.ReadRegistryValue("SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum", "0", 512, data));
    const Elevation elevation = p.GetElevation();
    EXPECT_TRUE(elevation.ok);
    EXPECT_TRUE(elevation.elevated);
    EXPECT_FALSE(p.GetOsVersion().ntFamily);
    const std::string folder = p.ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(p.PathExists(folder + "partam_platform_tests"));
}

}  // namespace
}  // namespace partam
