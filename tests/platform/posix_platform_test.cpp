// PosixPlatform on files, on disk images standing in for drives (readable
// only, or held by one writer), and the number formatting beneath its
// locale answer.
#include "platform/posix/posix_platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>

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

// A drive's one writer holds off no reader, and frees the drive when it
// closes it (a second writer's wait is the program tests': writers.sh). A
// reader's handle is not one to write with.
TEST(PosixDrives, OneWriterAndAnyReaders) {
    ScratchFolder dir;
    ScopedEnv env("PARTAM_DISKS", dir.Write("d.img", Bytes(4096, 0)));
    PosixPlatform writer, reader, next;
    const DriveOpening held = writer.OpenDrive(Drive(0), DriveAccess::Write);
    const DriveOpening read = reader.OpenDrive(Drive(0), DriveAccess::Read);
    ASSERT_TRUE(held.file != kNoFile && read.file != kNoFile && !read.inUse);
    EXPECT_FALSE(WriteAt(reader, read.file, 0, Bytes(512, 1)));
    writer.CloseFile(held.file);
    const DriveOpening after = next.OpenDrive(Drive(0), DriveAccess::Write);
    EXPECT_TRUE(after.file != kNoFile && WriteAt(next, after.file, 0, Bytes(512, 1)));
}

// A new file is never one that a name already stands for, a link least of
// all; a rename replaces a link itself, and a removal removes it, leaving
// what it points at; one file is the same however it is named.
TEST(PosixFiles, NewFilesRenamesAndIdentity) {
    ScratchFolder dir;
    const std::string target = dir.Write("target", "precious"), other = dir.Write("other", "x");
    const std::string link = dir.Path("link"), dangling = dir.Path("dangling");
    std::filesystem::create_symlink(target, link);
    std::filesystem::create_symlink(dir.Path("none"), dangling);
    PosixPlatform p;
    for (const std::string& taken : {link, dangling, other})
        EXPECT_EQ(p.OpenFile(taken, kGenericWrite, 0, kCreateNew, 0), kNoFile) << taken;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("none")));
    EXPECT_TRUE(p.SameFile(link, target) && !p.SameFile(link, other) && !p.SameFile(dangling, dangling));
    EXPECT_TRUE(p.RenameFile(other, link, false) && p.RemoveFile(dangling));
    EXPECT_EQ(ScratchFolder::Read(target), (Bytes{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    EXPECT_FALSE(std::filesystem::is_symlink(link) || std::filesystem::exists(dangling) ||
                 p.SameFile(link, target));
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
