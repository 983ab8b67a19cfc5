// PosixPlatform on files and on disk images standing in for drives.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/posix/posix_platform.h"
#include "scratch.h"
#include "support/images.h"

namespace partam {
namespace {

using posix::PosixPlatform;
using test::Bytes;
using test::ScopedEnv;
using test::ScratchFolder;

Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
    return b;
}

Bytes ReadAll(PosixPlatform& p, FileId f, std::uint32_t count, bool expectOk = true) {
    Bytes b(count);
    std::uint32_t done = 0;
    EXPECT_EQ(p.ReadFile(f, b.data(), count, done), expectOk);
    b.resize(done);
    return b;
}

bool WriteAll(PosixPlatform& p, FileId f, const Bytes& data) {
    std::uint32_t done = 0;
    const bool ok = p.WriteFile(f, data.data(), static_cast<std::uint32_t>(data.size()), done);
    return ok && done == data.size();
}

TEST(PosixFiles, OpenDispositions) {
    ScratchFolder dir;
    PosixPlatform p;
    const std::string existing = dir.Write("old.bin", Pattern(1000, 1));
    struct Case {
        const char* name;
        std::string path;
        std::uint32_t access;
        std::uint32_t disposition;
        bool opens;
        std::uint64_t sizeAfter;
    };
    const Case cases[] = {
        {"open existing", existing, kGenericRead, kOpenExisting, true, 1000},
        {"open always keeps", existing, kGenericRead | kGenericWrite, kOpenAlways, true, 1000},
        {"create always truncates", existing, kGenericWrite, kCreateAlways, true, 0},
        {"missing, open existing", dir.Path("none.bin"), kGenericRead, kOpenExisting, false, 0},
        {"missing, open always", dir.Path("new1.bin"), kGenericRead | kGenericWrite, kOpenAlways, true, 0},
        {"missing, create always", dir.Path("new2.bin"), kGenericWrite, kCreateAlways, true, 0},
        {"a folder", dir.Path(""), kGenericRead, kOpenExisting, false, 0},
        {"missing folder", dir.Path("no/such.bin"), kGenericWrite, kCreateAlways, false, 0},
        {"device namespace", "\\\\.\\C:", kGenericRead, kOpenExisting, false, 0},
        {"unknown disposition", existing, kGenericRead, 9, false, 0},
    };
    for (const Case& c : cases) {
        const FileId f = p.OpenFile(c.path, c.access, 0, c.disposition, 0);
        ASSERT_EQ(f != kNoFile, c.opens) << c.name;
        if (!c.opens) {
            EXPECT_FALSE(p.LastErrorText().empty()) << c.name;
            continue;
        }
        std::uint64_t size = 99;
        EXPECT_TRUE(p.FileSize(f, size)) << c.name;
        EXPECT_EQ(size, c.sizeAfter) << c.name;
        p.CloseFile(f);
    }
    EXPECT_EQ(p.OpenFile(dir.Path("none.bin"), kGenericRead, 0, kOpenExisting, 0), kNoFile);
    EXPECT_EQ(p.LastErrorText(), "No such file or directory");
}

TEST(PosixFiles, ReadWriteSeekAndEndOfFile) {
    ScratchFolder dir;
    PosixPlatform p;
    const std::string path = dir.Path("data.bin");
    const FileId f = p.OpenFile(path, kGenericRead | kGenericWrite, 3, kCreateAlways, 0);
    ASSERT_NE(f, kNoFile);
    const Bytes data = Pattern(1536, 5);
    EXPECT_TRUE(WriteAll(p, f, data));
    EXPECT_TRUE(p.SeekFile(f, 512, SeekOrigin::Begin));
    EXPECT_EQ(ReadAll(p, f, 512), Bytes(data.begin() + 512, data.begin() + 1024));
    EXPECT_TRUE(p.SeekFile(f, -100, SeekOrigin::Current));
    EXPECT_EQ(ReadAll(p, f, 4), Bytes(data.begin() + 924, data.begin() + 928));
    EXPECT_TRUE(p.SeekFile(f, -36, SeekOrigin::End));
    EXPECT_EQ(ReadAll(p, f, 512).size(), 36u);  // a short read up to the end
    EXPECT_TRUE(ReadAll(p, f, 512).empty());    // at the end: success, nothing read
    EXPECT_FALSE(p.SeekFile(f, -1, SeekOrigin::Begin));
    // Writing past the end of a plain file grows it, with a hole of zeros.
    EXPECT_TRUE(p.SeekFile(f, 4096, SeekOrigin::Begin));
    EXPECT_TRUE(WriteAll(p, f, Bytes(512, 0xAB)));
    std::uint64_t size = 0;
    EXPECT_TRUE(p.FileSize(f, size));
    EXPECT_EQ(size, 4608u);
    p.CloseFile(f);
    const Bytes onDisk = ScratchFolder::Read(path);
    EXPECT_EQ(onDisk[2000], 0);
    EXPECT_EQ(onDisk[4607], 0xAB);
    // A closed handle is refused, not reused.
    std::uint32_t done = 0;
    std::uint8_t byte;
    EXPECT_FALSE(p.ReadFile(f, &byte, 1, done));
    EXPECT_FALSE(p.SeekFile(f, 0, SeekOrigin::Begin));
}

TEST(PosixFiles, OffsetsBeyondTwoToTheThirtyTwoSectors) {
    ScratchFolder dir;
    const std::uint64_t lba = (1ull << 32) + 3;
    const std::string path = dir.Path("huge.img");
    std::filesystem::resize_file(dir.Write("huge.img", {}), (lba + 5) * 512);  // sparse
    PosixPlatform p;
    const FileId f = p.OpenFile(path, kGenericRead | kGenericWrite, 3, kOpenExisting, 0);
    ASSERT_NE(f, kNoFile);
    std::uint64_t size = 0;
    EXPECT_TRUE(p.FileSize(f, size));
    EXPECT_EQ(size, (lba + 5) * 512);
    const Bytes sector = Pattern(512, 9);
    ASSERT_TRUE(p.SeekFile(f, static_cast<std::int64_t>(lba * 512), SeekOrigin::Begin));
    EXPECT_TRUE(WriteAll(p, f, sector));
    ASSERT_TRUE(p.SeekFile(f, -6 * 512, SeekOrigin::End));
    EXPECT_EQ(ReadAll(p, f, 512), Bytes(512, 0));
    EXPECT_EQ(ReadAll(p, f, 512), sector);  // lba itself
    // The low 32 bits of that offset name sector 3, which stays untouched.
    ASSERT_TRUE(p.SeekFile(f, 3 * 512, SeekOrigin::Begin));
    EXPECT_EQ(ReadAll(p, f, 512), Bytes(512, 0));
    p.CloseFile(f);
}

TEST(PosixFiles, PathExistsAndTextFiles) {
    ScratchFolder dir;
    PosixPlatform p;
    const std::string small = dir.WriteText("partam.opt", "/list\r\n");
    const std::string big = dir.Write("big.txt", Bytes((1 << 20) + 10, 'x'));
    EXPECT_TRUE(p.PathExists(small));
    EXPECT_TRUE(p.PathExists(dir.Path("")));
    EXPECT_FALSE(p.PathExists(dir.Path("missing")));
    EXPECT_EQ(p.ReadTextFile(small), "/list\r\n");
    EXPECT_EQ(p.ReadTextFile(big)->size(), 1u << 20);
    EXPECT_EQ(p.ReadTextFile(dir.Path("missing")), std::nullopt);
    EXPECT_EQ(p.ReadTextFile(dir.Path("")), std::nullopt);
}

// Two images with an empty entry between them.
struct ImageDrives {
    ScratchFolder dir;
    std::string first, second;
    Bytes firstImage;
    std::optional<ScopedEnv> env;

    ImageDrives() {
        Bytes image;
        test::PutSector(image, 0, test::MakeMbr({{0x80, 0x07, 63, 1000}, {0, 0x0F, 2000, 3000}}, 0xA1B2C3D4));
        test::PutSector(image, 2000, test::MakeMbr({{0, 0x0B, 63, 500}}, 0, true, false));
        image.resize(255 * 63 * 512 + 4096, 0);
        firstImage = image;
        first = dir.Write("first.img", image);
        second = dir.Write("sub/second.img", Bytes(512 * 100, 0));
        env.emplace("PARTAM_DISKS", first + "::" + second);
    }
};

TEST(PosixDrives, ImagesStandInForDrives) {
    ImageDrives drives;
    PosixPlatform p;
    EXPECT_EQ(p.DrivePath(0), drives.first);
    EXPECT_EQ(p.DrivePath(1), drives.second);
    EXPECT_EQ(p.DrivePath(2), std::nullopt);
    EXPECT_EQ(p.OpenFile("\\\\.\\PhysicalDrive2", kGenericRead, 3, kOpenExisting, 0), kNoFile);

    const FileId d =
        p.OpenFile("\\\\.\\PhysicalDrive0", kGenericRead | kGenericWrite, 3, kOpenExisting, 0x80);
    ASSERT_NE(d, kNoFile);
    DiskGeometry g;
    ASSERT_TRUE(p.GetDriveGeometry(d, g));
    EXPECT_EQ(g.cylinders, 1);
    EXPECT_EQ(g.mediaType, 12u);
    EXPECT_EQ(g.tracksPerCylinder, 255u);
    EXPECT_EQ(g.sectorsPerTrack, 63u);
    std::uint64_t size = 0;
    EXPECT_TRUE(p.GetDriveGeometryEx(d, size));
    EXPECT_EQ(size, drives.firstImage.size());
    PartitionInformation info;
    EXPECT_FALSE(p.GetPartitionInfo(d, info));

    DriveLayoutAnswer layout;
    ASSERT_TRUE(p.GetDriveLayoutEx(d, 1344, layout));
    EXPECT_EQ(layout.signature, 0xA1B2C3D4u);
    ASSERT_EQ(layout.entries.size(), 8u);
    EXPECT_EQ(layout.entries[0].startingOffset, 63 * 512);
    EXPECT_TRUE(layout.entries[0].bootIndicator);
    EXPECT_EQ(layout.entries[4].partitionType, 0x0B);
    EXPECT_EQ(layout.entries[4].startingOffset, 2063 * 512);
    EXPECT_EQ(layout.entries[4].partitionNumber, 2u);
    EXPECT_FALSE(p.GetDriveLayoutEx(d, 48 + 144 * 7, layout));
    EXPECT_TRUE(p.GetDriveLayout(d, 8 + 32 * 8, layout));
    EXPECT_FALSE(p.GetDriveLayout(d, 8 + 32 * 8 - 1, layout));
    p.CloseFile(d);

    EXPECT_EQ(p.IdentifyDrive(0)->bus, "File");
    EXPECT_EQ(p.IdentifyDrive(0)->description, "first.img");
    EXPECT_EQ(p.IdentifyDrive(1)->description, "second.img");
    EXPECT_EQ(p.IdentifyDrive(2), std::nullopt);

    // Disk control applies to drives, not to a file opened by its name.
    const FileId f = p.OpenFile(drives.first, kGenericRead, 1, kOpenExisting, 0);
    EXPECT_FALSE(p.GetDriveGeometryEx(f, size));
    EXPECT_FALSE(p.GetDriveLayoutEx(f, 1344, layout));
    p.CloseFile(f);
}

TEST(PosixDrives, AnImageDriveNeverGrowsNorShrinks) {
    ImageDrives drives;
    PosixPlatform p;
    const std::uint64_t size = drives.firstImage.size();
    // Whatever the disposition, a drive is opened as it is.
    const FileId d = p.OpenFile("\\\\.\\PhysicalDrive0", kGenericRead | kGenericWrite, 3, kCreateAlways, 0);
    ASSERT_NE(d, kNoFile);
    struct Case {
        std::uint64_t offset;
        std::size_t bytes;
        bool ok;
    };
    const Case cases[] = {
        {size - 512, 512, true},
        {size - 512, 1024, false},
        {size, 512, false},
        {0, 512, true},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(p.SeekFile(d, static_cast<std::int64_t>(c.offset), SeekOrigin::Begin));
        EXPECT_EQ(WriteAll(p, d, Bytes(c.bytes, 0x5A)), c.ok) << c.offset << "+" << c.bytes;
    }
    p.CloseFile(d);
    const Bytes after = ScratchFolder::Read(drives.first);
    ASSERT_EQ(after.size(), size);
    EXPECT_EQ(after[0], 0x5A);
    EXPECT_EQ(after[size - 1], 0x5A);
    EXPECT_EQ(after[size - 513], drives.firstImage[size - 513]);
}

}  // namespace
}  // namespace partam
