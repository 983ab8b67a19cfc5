// PosixPlatform on files, on disk images standing in for drives (readable
// only, or named in a list with a bad entry), at its console, whose standard
// input, output and error are pointed at files for the length of a test, and
// the number formatting beneath its locale answer.
#include "platform/posix/posix_platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>

#include "platform/number_format.h"
#include "scratch.h"
#include "support/images.h"

namespace partam {
namespace {

using posix::PosixPlatform;
using test::Bytes;
using test::ReadAt;
using test::ScopedEnv;
using test::ScratchFolder;
using test::WriteAt;

TEST(PosixFiles, OpensReadsAndWritesUpToSixtyFourBitOffsets) {
    ScratchFolder dir;
    PosixPlatform p;
    const std::string old = dir.Write("old.bin", Bytes(1000, 1));
    // The size once opened, or -1 when the open is refused.
    const auto sizeAfter = [&](const std::string& path, std::uint32_t disposition,
                               std::uint32_t access = kGenericRead | kGenericWrite) -> std::int64_t {
        const FileId f = p.OpenFile(path, access, 0, disposition, 0);
        std::uint64_t size = 0;
        if (f == kNoFile || !p.FileSize(f, size)) return -1;
        p.CloseFile(f);
        return static_cast<std::int64_t>(size);
    };
    EXPECT_EQ(sizeAfter(old, kOpenAlways), 1000);
    EXPECT_EQ(sizeAfter(old, kCreateAlways), 0);
    EXPECT_EQ(sizeAfter(old, 9), -1);                                     // an unknown disposition
    EXPECT_EQ(sizeAfter(dir.Path(""), kOpenExisting, kGenericRead), -1);  // a folder
    EXPECT_EQ(sizeAfter(dir.Path("none.bin"), kOpenExisting), -1);
    EXPECT_EQ(p.LastErrorText(), "No such file or directory");
    // A text file is read up to 1 MiB, no further.
    EXPECT_EQ(p.ReadTextFile(dir.Write("big.txt", Bytes((1 << 20) + 10, 'x')))->size(), 1u << 20);

    const FileId f = p.OpenFile(dir.Path("data.bin"), kGenericRead | kGenericWrite, 3, kCreateAlways, 0);
    Bytes data(1536);  // a pattern that differs from one sector to the next
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 251);
    ASSERT_TRUE(WriteAt(p, f, 0, data));
    EXPECT_EQ(ReadAt(p, f, -100, SeekOrigin::Current, 4), Bytes(data.end() - 100, data.end() - 96));
    EXPECT_EQ(ReadAt(p, f, -36, SeekOrigin::End, 512).size(), 36u);  // a short read up to the end
    EXPECT_TRUE(ReadAt(p, f, 0, SeekOrigin::Current, 512).empty());  // at the end: success, nothing
    EXPECT_FALSE(p.SeekFile(f, -1, SeekOrigin::Begin));
    // Past the end and beyond 2^32 sectors the file grows sparse; sector 3,
    // which the low 32 bits of that offset name, stays a hole.
    const std::int64_t far = ((1ll << 32) + 3) * 512;
    EXPECT_TRUE(WriteAt(p, f, far, data));
    std::uint64_t size = 0;
    EXPECT_TRUE(p.FileSize(f, size) && size == static_cast<std::uint64_t>(far) + 1536) << size;
    EXPECT_EQ(ReadAt(p, f, -2048, SeekOrigin::End, 512), Bytes(512, 0));
    EXPECT_EQ(ReadAt(p, f, 0, SeekOrigin::Current, 1536), data);
    EXPECT_EQ(ReadAt(p, f, 3 * 512, SeekOrigin::Begin, 512), Bytes(512, 0));
    EXPECT_TRUE(p.FlushFile(f));
    p.CloseFile(f);
    // A closed handle is refused, not reused.
    EXPECT_FALSE(p.SeekFile(f, 0, SeekOrigin::Begin) || p.FlushFile(f));
}

// Two images, the second in a subfolder, are drives 0 and 1.
TEST(PosixDrives, ImagesStandInForDrivesAndNeverGrowNorShrink) {
    ScratchFolder dir;
    Bytes image;
    test::PutSector(image, 0, test::MakeMbr({{0x80, 0x07, 63, 1000}, {0, 0x0F, 2000, 3000}}, 0xA1B2C3D4));
    test::PutSector(image, 2000, test::MakeMbr({{0, 0x0B, 63, 500}}, 0, true, false));
    image.resize(255 * 63 * 512 + 4096, 0);
    const std::string first = dir.Write("first.img", image), second = dir.Write("sub/2.img", Bytes(51200, 0));
    ScopedEnv env("PARTAM_DISKS", first + ":" + second);
    PosixPlatform p;
    EXPECT_EQ(p.DrivePath(1), second);
    EXPECT_EQ(p.OpenFile("\\\\.\\PhysicalDrive2", kGenericRead, 3, kOpenExisting, 0), kNoFile);

    // Whatever the disposition, a drive is opened as it is (drive 0 is the
    // first image of PARTAM_DISKS).
    const FileId d = p.OpenFile("\\\\.\\PhysicalDrive0", kGenericRead | kGenericWrite, 3, kCreateAlways, 0);
    std::uint64_t size = 0;
    EXPECT_TRUE(p.GetDriveGeometryEx(d, size) && size == image.size()) << size;
    // Eight entries: the layout answers only a buffer that holds them all.
    DriveLayoutAnswer layout;
    EXPECT_FALSE(p.GetDriveLayoutEx(d, 48 + 144 * 8 - 1, layout));
    EXPECT_TRUE(p.GetDriveLayoutEx(d, 48 + 144 * 8, layout));

    const std::int64_t end = static_cast<std::int64_t>(image.size());
    const std::tuple<std::int64_t, std::size_t, bool> writes[] = {
        {end - 512, 512, true}, {end - 512, 1024, false}, {end, 512, false}};
    for (const auto& [offset, bytes, ok] : writes)
        EXPECT_EQ(WriteAt(p, d, offset, Bytes(bytes, 0x5A)), ok) << offset << "+" << bytes;
    p.CloseFile(d);
    std::fill_n(image.end() - 512, 512, 0x5A);
    EXPECT_TRUE(ScratchFolder::Read(first) == image);
}

// Replaces one standard descriptor with a file (or, with no path, closes
// it) and puts the original back at the end of the scope.
struct ScopedStdFd {
    ScopedStdFd(int fd, const std::string& path, int flags) : target(fd), saved(::dup(fd)) {
        std::fflush(stdout);
        const int file = path.empty() ? -1 : ::open(path.c_str(), flags, 0644);
        if (file >= 0) ::dup2(file, fd);
        ::close(file >= 0 ? file : fd);
    }
    ~ScopedStdFd() {
        std::fflush(stdout);
        ::dup2(saved, target);
        ::close(saved);
    }
    ScopedStdFd(const ScopedStdFd&) = delete;
    ScopedStdFd& operator=(const ScopedStdFd&) = delete;
    const int target, saved;
};

std::string Drive(int number) { return "\\\\.\\PhysicalDrive" + std::to_string(number); }

// For the length of a scope this thread does without root's power to write
// any file, as an ordinary user would; false when it cannot.
struct ScopedNoWriteOverride {
    ScopedNoWriteOverride() {
        ok = ::syscall(SYS_capget, &header, saved) == 0;
        __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
        reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        ok = ok && ::syscall(SYS_capset, &header, reduced) == 0;
    }
    ~ScopedNoWriteOverride() {
        if (ok) ::syscall(SYS_capset, &header, saved);
    }
    ScopedNoWriteOverride(const ScopedNoWriteOverride&) = delete;
    ScopedNoWriteOverride& operator=(const ScopedNoWriteOverride&) = delete;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2] = {};
    bool ok = false;
};

// An image that can only be read is listed and saved, never written.
TEST(PosixDrives, ReadOnlyImageOpensForReadingAndRefusesWrites) {
    ScratchFolder dir;
    Bytes image = test::MakeMbr({{0x80, 0x07, 63, 100}});
    image.resize(64 * 512, 0);
    const std::string path = dir.Write("ro.img", image);
    ::chmod(path.c_str(), 0444);
    ScopedNoWriteOverride user;
    const int probe = ::open(path.c_str(), O_RDWR);
    if (probe >= 0) {
        ::close(probe);
        GTEST_SKIP() << "this process writes even a read-only file";
    }
    ScopedEnv env("PARTAM_DISKS", path);
    PosixPlatform p;
    const FileId d = p.OpenFile(Drive(0), kGenericRead | kGenericWrite, 3, kOpenExisting, 0);
    ASSERT_NE(d, kNoFile) << p.LastErrorText();
    EXPECT_EQ(ReadAt(p, d, 0, SeekOrigin::Begin, 512), Bytes(image.begin(), image.begin() + 512));
    EXPECT_FALSE(WriteAt(p, d, 0, Bytes(512, 0x5A)));
    EXPECT_EQ(p.LastErrorText(), "Permission denied");
    p.CloseFile(d);
    // A plain file keeps the rule it always had: no write access, no open.
    EXPECT_EQ(p.OpenFile(path, kGenericRead | kGenericWrite, 3, kOpenExisting, 0), kNoFile);
    EXPECT_TRUE(ScratchFolder::Read(path) == image);
}

TEST(PosixConsole, KeysAndLinesEndAtEndOfInput) {
    ScratchFolder dir;
    const std::string in = dir.Write("in.txt", "yN\r\nsecond\r\n\n" + std::string(70000, 'a') + "\nlast");
    PosixPlatform p;
    std::vector<int> keys;
    std::vector<std::optional<std::string>> lines;
    {
        ScopedStdFd input(STDIN_FILENO, in, O_RDONLY);
        ScopedStdFd output(STDOUT_FILENO, dir.Path("out.txt"), O_WRONLY | O_CREAT | O_TRUNC);
        p.Write("Sure? ");
        keys = {p.ReadKey(false), p.ReadKey(true)};
        for (int i = 0; i < 6; ++i) {
            std::string line = "stale";
            const bool read = p.ReadLine(line);
            lines.push_back(read ? std::optional(line) : std::nullopt);
            EXPECT_TRUE(read || line.empty()) << "a failed read leaves no stale text";
        }
        keys.insert(keys.end(), {p.ReadKey(true), p.ReadKey(false)});
    }
    {
        ScopedStdFd closed(STDIN_FILENO, "", 0);  // closed input ends at once
        PosixPlatform q;
        std::string line;
        EXPECT_TRUE(q.ReadKey(false) == kEndOfInput && q.ReadKey(true) == kEndOfInput && !q.ReadLine(line));
    }
    EXPECT_EQ(keys, (std::vector<int>{'y', 'N', kEndOfInput, kEndOfInput}));
    // An over-long line is cut to 64 KiB, its rest skipped, not hoarded.
    EXPECT_EQ(lines, (std::vector<std::optional<std::string>>{"", "second", "", std::string(64 * 1024, 'a'),
                                                              "last", std::nullopt}));
    // The prompt is out before the key is read; the echoed key follows it.
    EXPECT_EQ(p.ReadTextFile(dir.Path("out.txt")), "Sure? N");
}

// Halves round up, and the carry may add a group; more decimals than the
// conversion gives are refused.
TEST(ApplyNumberFormat, GroupsAndRoundsHalfUp) {
    // text, decimals, decimal and thousand separators, leading zero, digits per group, result
    const std::tuple<const char*, unsigned, const char*, unsigned, unsigned, std::optional<std::string>>
        cases[] = {{"999.995000", 2, ".,", 1, 3, "1,000.00"}, {"0.125", 2, ".,", 1, 3, "0.13"},
                   {"0.500000", 2, ".,", 0, 3, ".50"},        {"-1234.5", 1, ".,", 1, 3, "-1,234.5"},
                   {"00012", 3, ".,", 1, 3, "12.000"},        {"1234567.891", 2, ",.", 1, 3, "1.234.567,89"},
                   {"1234567", 0, ". ", 1, 0, "1234567"},     {"1234567", 0, ".'", 1, 4, "123'4567"},
                   {"1.5", 10, ".,", 1, 3, std::nullopt}};
    for (const auto& [text, decimals, separators, leadingZero, grouping, expected] : cases) {
        const NumberFormat format{std::string(1, separators[0]), std::string(1, separators[1]), leadingZero,
                                  grouping, 1};
        EXPECT_EQ(ApplyNumberFormat(text, decimals, format), expected) << text << " /" << decimals;
    }
    for (const char* text : {"", "-", ".", "1,5", "1.5e3", " 12", "--1"})
        EXPECT_EQ(ApplyNumberFormat(text, 2, NumberFormat{}), std::nullopt) << text;
}

TEST(PosixLocale, NumbersInTheCLocaleLookLikeWindowsDefaults) {
    ScopedEnv all("LC_ALL", std::nullopt), numeric("LC_NUMERIC", "C"), lang("LANG", std::nullopt);
    PosixPlatform p;
    EXPECT_EQ(p.FormatLocaleNumber("1234567.891000", 2), "1,234,567.89");
    EXPECT_TRUE(!p.FormatLocaleNumber("12,5", 2) && p.LastErrorText() == "Invalid argument");
}

}  // namespace
}  // namespace partam
