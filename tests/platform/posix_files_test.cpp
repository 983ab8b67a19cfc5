// PosixPlatform on files and on disk images standing in for drives.
#include <gtest/gtest.h>

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

Bytes ReadAt(PosixPlatform& p, FileId f, std::int64_t offset, SeekOrigin origin, std::uint32_t count) {
    Bytes b(count);
    std::uint32_t done = 0;
    EXPECT_TRUE(p.SeekFile(f, offset, origin));
    EXPECT_TRUE(p.ReadFile(f, b.data(), count, done));
    b.resize(done);
    return b;
}

bool WriteAt(PosixPlatform& p, FileId f, std::int64_t offset, const Bytes& data) {
    std::uint32_t done = 0;
    return p.SeekFile(f, offset, SeekOrigin::Begin) &&
           p.WriteFile(f, data.data(), static_cast<std::uint32_t>(data.size()), done) && done == data.size();
}

TEST(PosixFiles, OpenDispositions) {
    ScratchFolder dir;
    PosixPlatform p;
    const std::string old = dir.Write("old.bin", Pattern(1000, 1));
    const std::uint32_t rw = kGenericRead | kGenericWrite;
    // name, path, access, disposition, size after opening (nothing: refused)
    const std::tuple<const char*, std::string, std::uint32_t, std::uint32_t, std::optional<std::uint64_t>>
        cases[] = {{"open existing", old, kGenericRead, kOpenExisting, 1000},
                   {"open always keeps", old, rw, kOpenAlways, 1000},
                   {"create always truncates", old, kGenericWrite, kCreateAlways, 0},
                   {"missing, open always", dir.Path("new1.bin"), rw, kOpenAlways, 0},
                   {"a folder", dir.Path(""), kGenericRead, kOpenExisting, std::nullopt},
                   {"device namespace", "\\\\.\\C:", kGenericRead, kOpenExisting, std::nullopt},
                   {"unknown disposition", old, kGenericRead, 9, std::nullopt},
                   {"missing", dir.Path("none.bin"), kGenericRead, kOpenExisting, std::nullopt}};
    for (const auto& [name, path, access, disposition, sizeAfter] : cases) {
        SCOPED_TRACE(name);
        const FileId f = p.OpenFile(path, access, 0, disposition, 0);
        ASSERT_EQ(f != kNoFile, sizeAfter.has_value());
        std::uint64_t size = 99;
        EXPECT_TRUE(f == kNoFile || (p.FileSize(f, size) && size == *sizeAfter)) << size;
        if (f != kNoFile) p.CloseFile(f);
    }
    EXPECT_EQ(p.LastErrorText(), "No such file or directory");
}

TEST(PosixFiles, ReadWriteSeekUpToSixtyFourBitOffsets) {
    ScratchFolder dir;
    PosixPlatform p;
    const FileId f = p.OpenFile(dir.Path("data.bin"), kGenericRead | kGenericWrite, 3, kCreateAlways, 0);
    const Bytes data = Pattern(1536, 5);
    ASSERT_TRUE(WriteAt(p, f, 0, data));
    EXPECT_EQ(ReadAt(p, f, 512, SeekOrigin::Begin, 512), Bytes(data.begin() + 512, data.begin() + 1024));
    EXPECT_EQ(ReadAt(p, f, -100, SeekOrigin::Current, 4), Bytes(data.begin() + 924, data.begin() + 928));
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
    p.CloseFile(f);
    // A closed handle is refused, not reused.
    std::uint32_t done = 0;
    std::uint8_t byte;
    EXPECT_FALSE(p.ReadFile(f, &byte, 1, done) || p.SeekFile(f, 0, SeekOrigin::Begin));
}

TEST(PosixFiles, PathExistsAndTextFiles) {
    ScratchFolder dir;
    PosixPlatform p;
    const std::string small = dir.WriteText("partam.opt", "/list\r\n");
    EXPECT_TRUE(p.PathExists(small) && p.PathExists(dir.Path("")));
    EXPECT_FALSE(p.PathExists(dir.Path("missing")));
    EXPECT_EQ(p.ReadTextFile(small), "/list\r\n");
    EXPECT_EQ(p.ReadTextFile(dir.Write("big.txt", Bytes((1 << 20) + 10, 'x')))->size(), 1u << 20);
    EXPECT_EQ(p.ReadTextFile(dir.Path("missing")), std::nullopt);
    EXPECT_EQ(p.ReadTextFile(dir.Path("")), std::nullopt);
}

// Two images with an empty entry between them in the disk list.
struct ImageDrives {
    ScratchFolder dir;
    Bytes image = Image();
    std::string first = dir.Write("first.img", image);
    std::string second = dir.Write("sub/second.img", Bytes(512 * 100, 0));
    ScopedEnv env{"PARTAM_DISKS", first + "::" + second};

    static Bytes Image() {
        Bytes image;
        test::PutSector(image, 0, test::MakeMbr({{0x80, 0x07, 63, 1000}, {0, 0x0F, 2000, 3000}}, 0xA1B2C3D4));
        test::PutSector(image, 2000, test::MakeMbr({{0, 0x0B, 63, 500}}, 0, true, false));
        image.resize(255 * 63 * 512 + 4096, 0);
        return image;
    }
};

TEST(PosixDrives, ImagesStandInForDrives) {
    ImageDrives drives;
    PosixPlatform p;
    EXPECT_EQ(p.DrivePath(1), drives.second);
    EXPECT_EQ(p.DrivePath(2), std::nullopt);
    EXPECT_EQ(p.OpenFile("\\\\.\\PhysicalDrive2", kGenericRead, 3, kOpenExisting, 0), kNoFile);
    EXPECT_EQ(p.IdentifyDrive(1)->description, "second.img");
    EXPECT_EQ(p.IdentifyDrive(2), std::nullopt);

    const FileId d = p.OpenFile("\\\\.\\PhysicalDrive0", kGenericRead, 3, kOpenExisting, 0x80);
    DiskGeometry g;
    std::uint64_t size = 0;
    PartitionInformation info;
    EXPECT_TRUE(p.GetDriveGeometry(d, g) && g.cylinders == 1 && g.mediaType == 12);
    EXPECT_TRUE(p.GetDriveGeometryEx(d, size) && size == drives.image.size()) << size;
    EXPECT_FALSE(p.GetPartitionInfo(d, info));
    // Eight entries: the layout answers only a buffer that holds them all.
    DriveLayoutAnswer layout;
    EXPECT_FALSE(p.GetDriveLayoutEx(d, 48 + 144 * 8 - 1, layout));
    ASSERT_TRUE(p.GetDriveLayoutEx(d, 48 + 144 * 8, layout));
    EXPECT_EQ(layout.signature, 0xA1B2C3D4u);
    ASSERT_EQ(layout.entries.size(), 8u);
    EXPECT_EQ(layout.entries[4].startingOffset, 2063 * 512);
    EXPECT_FALSE(p.GetDriveLayout(d, 8 + 32 * 8 - 1, layout));
    EXPECT_TRUE(p.GetDriveLayout(d, 8 + 32 * 8, layout));
    p.CloseFile(d);

    // Disk control applies to drives, not to a file opened by its name.
    const FileId f = p.OpenFile(drives.first, kGenericRead, 1, kOpenExisting, 0);
    EXPECT_FALSE(p.GetDriveGeometryEx(f, size) || p.GetDriveLayoutEx(f, 1344, layout));
    p.CloseFile(f);
}

TEST(PosixDrives, AnImageDriveNeverGrowsNorShrinks) {
    ImageDrives drives;
    PosixPlatform p;
    const std::int64_t size = static_cast<std::int64_t>(drives.image.size());
    // Whatever the disposition, a drive is opened as it is.
    const FileId d = p.OpenFile("\\\\.\\PhysicalDrive0", kGenericRead | kGenericWrite, 3, kCreateAlways, 0);
    const std::tuple<std::int64_t, std::size_t, bool> cases[] = {
        {size - 512, 512, true}, {size - 512, 1024, false}, {size, 512, false}, {0, 512, true}};
    for (const auto& [offset, bytes, ok] : cases)
        EXPECT_EQ(WriteAt(p, d, offset, Bytes(bytes, 0x5A)), ok) << offset << "+" << bytes;
    p.CloseFile(d);
    Bytes expected = drives.image;
    std::fill_n(expected.begin(), 512, 0x5A);
    std::fill_n(expected.end() - 512, 512, 0x5A);
    EXPECT_TRUE(ScratchFolder::Read(drives.first) == expected);
}

}  // namespace
}  // namespace partam
