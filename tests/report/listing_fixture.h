// Disks for the listing tests: in-memory drives read through the real disk
// object and MBR reader, and the frame notation the expected texts use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "disk/disk.h"
#include "report/listing.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam::test {

// 80,026,361,856 bytes: 9729 cylinders of 255 heads and 63 sectors, and the
// rest of the last cylinder.
inline constexpr std::uint64_t kDiskSectors = 156301488;

// Drive n holding image, answering the size queries for sectors (the image
// only needs the sectors that are read).
FakeFile& AddImageDrive(FakePlatform& platform, int n, Bytes image, std::uint64_t sectors = kDiskSectors);

// A run of the listing over the drives of platform.
class ListingRun {
public:
    // The disk object counts the drives when it is made: add them first.
    mDisk& Disk();
    // The listing's output in a frame style on a console code page.
    std::string Show(const ListingOptions& options, int style = 1, std::uint32_t codePage = 437);
    // Runs f with a report context in style 3 and returns what it wrote.
    template <typename F>
    std::string Capture(F f) {
        const FrameChars frame = SetFrameStyle(3, 437);
        SizeFormatter sizes(platform);
        ReportContext report{platform, Disk(), frame, sizes};
        platform.TakeOutput();
        f(report);
        return platform.TakeOutput();
    }

    FakePlatform platform;

private:
    std::unique_ptr<mDisk> disk_;
};

// Expected listings are written with the UTF-8 box characters; this gives
// the bytes of a frame style on a console code page.
std::string InStyle(const std::string& boxText, int style, std::uint32_t codePage = 437);

// The lines of a listing that are not exactly 79 characters wide, counting
// each UTF-8 sequence as one character; empty lines are not framed.
std::string WrongWidthLines(const std::string& listing, bool utf8 = false);

}  // namespace partam::test
