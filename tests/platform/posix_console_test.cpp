// PosixPlatform's console, locale and system answers. Standard input and
// output are pointed at files for the length of a test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "platform/locale_format.h"
#include "platform/posix/posix_platform.h"
#include "scratch.h"

namespace partam {
namespace {

using posix::PosixPlatform;
using test::ScopedEnv;
using test::ScratchFolder;

// Replaces one standard descriptor with a file (or, with no path, closes
// it) and puts the original back at the end of the scope.
class ScopedStdFd {
public:
    ScopedStdFd(int fd, const std::string& path, int flags) : fd_(fd), saved_(::dup(fd)) {
        std::fflush(stdout);
        const int file = path.empty() ? -1 : ::open(path.c_str(), flags, 0644);
        if (file >= 0) ::dup2(file, fd);
        ::close(file >= 0 ? file : fd);
    }
    ~ScopedStdFd() {
        std::fflush(stdout);
        ::dup2(saved_, fd_);
        ::close(saved_);
    }
    ScopedStdFd(const ScopedStdFd&) = delete;
    ScopedStdFd& operator=(const ScopedStdFd&) = delete;

private:
    int fd_, saved_;
};

TEST(PosixConsole, KeysAndLinesFromRedirectedInputEndAtEof) {
    ScratchFolder dir;
    const std::string in = dir.WriteText("in.txt", "yN\r\nsecond\r\n\n" + std::string(70000, 'a') + "\nlast");
    const std::string out = dir.Path("out.txt");
    PosixPlatform p;
    std::vector<int> keys;
    std::vector<std::optional<std::string>> lines;
    {
        ScopedStdFd input(STDIN_FILENO, in, O_RDONLY);
        ScopedStdFd output(STDOUT_FILENO, out, O_WRONLY | O_CREAT | O_TRUNC);
        p.Write("Sure? ");
        keys = {p.ReadKey(false), p.ReadKey(true)};
        for (int i = 0; i < 6; ++i) {
            std::string line = "stale";
            const bool read = p.ReadLine(line);
            lines.push_back(read ? std::optional(line) : std::nullopt);
            EXPECT_TRUE(read || line.empty()) << "a failed read leaves no stale text";
        }
        keys.push_back(p.ReadKey(true));
        keys.push_back(p.ReadKey(false));
        EXPECT_EQ(p.OutputCodePage(), 0u);  // not a terminal
    }
    EXPECT_EQ(keys, (std::vector<int>{'y', 'N', kEndOfInput, kEndOfInput}));
    // An over-long line is cut to 64 KiB, its rest skipped, not hoarded.
    EXPECT_EQ(lines, (std::vector<std::optional<std::string>>{"", "second", "", std::string(64 * 1024, 'a'),
                                                              "last", std::nullopt}));
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

TEST(PosixLocale, NumbersInTheCLocaleLookLikeWindowsDefaults) {
    ScopedEnv all("LC_ALL", std::nullopt), numeric("LC_NUMERIC", "C"), lang("LANG", std::nullopt);
    PosixPlatform p;
    EXPECT_EQ(p.FormatLocaleNumber("1234567.891000", 2), "1,234,567.89");
    EXPECT_EQ(p.FormatLocaleNumber("1.250000", kDecimalsAsGiven), "1.250000");
    EXPECT_EQ(p.FormatLocaleNumber("12,5", 2), std::nullopt);
    EXPECT_EQ(p.LastErrorText(), "Invalid argument");
}

}  // namespace
}  // namespace partam
