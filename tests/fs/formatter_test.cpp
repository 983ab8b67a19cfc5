#include "fs/formatter.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

TEST(FormatterTest, ClusterCodes) {
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {{0, 0},       {1, 512},   {2, 4096},
                                                             {9, 4096},    {10, 1024}, {12, 4096},
                                                             {18, 262144}, {19, 4096}, {~0u, 4096}};
    for (const auto& [code, bytes] : cases) EXPECT_EQ(ClusterBytes(code), bytes) << code;
}

// A fake disk 0 with the partition to format at 2048; the engine sends the
// case's events.
struct Formatted {
    bool result = false;
    std::string output, status;
    bool seen = false, inProgress = false;
};
Formatted FormatWith(FakePlatform& platform, const std::vector<FakeFormatEvent>& events,
                     const std::string& volume = "\\\\?\\Volume{v}\\") {
    test::PutSector(platform.AddDrive(0, 8192).data, 0, test::MakeMbr({{0, 0x07, 2048, 4096}}));
    platform.formatEvents = events;
    mDisk disk(platform, 0);
    platform.TakeOutput();
    Formatter formatter(platform);
    Formatted f;
    f.result = FormatVolume(formatter, disk, {volume, 2048, 4096}, "MYLABEL", 12);
    f.output = platform.TakeOutput();
    f.status = formatter.StatusText();
    f.seen = formatter.ProgressSeen();
    f.inProgress = formatter.InProgress();
    return f;
}

TEST(FormatterTest, EventsAndTheirTexts) {
    const std::uint32_t P = kFormatProgress, D = kFormatDone, O = kFormatOutput;
    const struct {
        std::vector<FakeFormatEvent> events;
        bool result, seen, inProgress;
        const char* output;
        const char* status;
    } cases[] = {
        {{{P, 5}, {P, 50}, {P, 100}, {D, 1}},
         true,
         true,
         false,
         "5 percent completed.\r50 percent completed.\r100 percent completed.\r",
         "100"},
        {{{P, 40}, {D, 0}},
         false,
         true,
         false,
         "40 percent completed.\rUnable to complete format.\n\n",
         "Unknown error"},
        {{{P, 40}}, false, true, true, "40 percent completed.\r", "40"},
        {{{6}, {D, 0}}, false, false, false, "Unable to complete format.\n\n", "Insufficient rights"},
        {{{7}, {D, 0}}, false, false, false, "Unable to complete format.\n\n", "Write protected"},
        {{{9}, {3}, {D, 0}}, false, false, false, "Unable to complete format.\n\n", "Invalid drive root"},
        {{{O, 0, "100%s %d done\n"}, {D, 1}}, true, false, false, "100%s %d done\n", ""},
        {{{D, 0}}, false, false, false, "Unable to complete format.\n\n", "Unknown error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        FakePlatform platform;
        const Formatted f = FormatWith(platform, c.events);
        EXPECT_EQ(f.result, c.result);
        EXPECT_EQ(f.output, c.output);
        EXPECT_EQ(f.status, c.status);
        EXPECT_EQ(f.seen, c.seen);
        EXPECT_EQ(f.inProgress, c.inProgress);
    }
}

TEST(FormatterTest, WhatTheEngineIsHandedAndWhenItIsNot) {
    FakePlatform platform;
    EXPECT_TRUE(FormatWith(platform, {{kFormatDone, 1}}).result);
    ASSERT_EQ(platform.formatJobs.size(), 1u);
    const FormatJob& job = platform.formatJobs[0];
    EXPECT_EQ(std::tie(job.volumeName, job.fileSystem, job.label, job.clusterBytes, job.quick, job.mediaType),
              std::make_tuple("\\\\?\\Volume{v}\\", "NTFS", "MYLABEL", 4096u, false, 12u));
    EXPECT_EQ(std::tie(job.driveNumber, job.start, job.sectors, job.heads, job.sectorsPerTrack),
              std::make_tuple(0, 2048ull, 4096ull, 255u, 63u));

    FakePlatform none;
    none.formatEngine = false;
    EXPECT_EQ(FormatWith(none, {}).status, "Unable to instantiate format functionality");
    FakePlatform throws;
    throws.formatThrows = true;
    EXPECT_EQ(FormatWith(throws, {}).status, "Exception thrown");
    FakePlatform noVolume;
    EXPECT_EQ(FormatWith(noVolume, {{kFormatDone, 1}}, "").status, "Unable to locate specified volume");
    EXPECT_TRUE(noVolume.formatJobs.empty());
}

// An engine that builds the volume apart writes it through the disk object,
// into the partition and never past its end.
TEST(FormatterTest, TheWriterKeepsToThePartition) {
    const std::pair<std::uint64_t, std::uint64_t> cases[] = {{0, 2048}, {4094, 6142}, {4095, 0}, {~0ull, 0}};
    for (const auto& [first, written] : cases) {
        SCOPED_TRACE(first);
        FakePlatform platform;
        platform.formatSectors.assign(2 * 512, 0xAB);
        platform.formatWriteAt = first;
        FormatWith(platform, {{kFormatDone, 1}});
        test::Bytes expected = test::MakeMbr({{0, 0x07, 2048, 4096}});
        expected.resize(8192 * 512);
        if (written != 0)
            std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>(written * 512), 1024, 0xAB);
        const test::Bytes& image = platform.FindFile(DrivePath(0))->data;
        EXPECT_TRUE(image == expected) << test::DiffSectors(expected, image, 2047, 4098);
    }
}

}  // namespace
}  // namespace partam
