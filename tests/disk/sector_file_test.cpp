#include "disk/sector_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/system_platform.h"
#include "support/fake_platform.h"

namespace partam {
namespace {

// Counts what reaches the platform, to prove that refused transfers never do.
class CountingPlatform : public FakePlatform {
public:
    bool ReadFile(FileId f, void* b, std::uint32_t count, std::uint32_t& done) override {
        ++calls, lastRequest = count;
        return FakePlatform::ReadFile(f, b, count, done);
    }
    bool WriteFile(FileId f, const void* b, std::uint32_t count, std::uint32_t& done) override {
        return ++calls, FakePlatform::WriteFile(f, b, count, done);
    }
    bool SeekFile(FileId f, std::int64_t offset, SeekOrigin origin) override {
        return ++calls, FakePlatform::SeekFile(f, offset, origin);
    }
    int calls = 0;
    std::uint32_t lastRequest = 0;
};

// Sector n of the file is filled with the byte n + 1.
std::vector<std::uint8_t> Numbered(std::size_t sectors, std::size_t extraBytes = 0) {
    std::vector<std::uint8_t> data(sectors * 512 + extraBytes);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i / 512 + 1);
    return data;
}

TEST(SectorFileTest, OpenKeepsAnOpenHandleUnlessReopenIsAskedAndReadsEndAtEndOfFile) {
    FakePlatform fake;
    fake.AddFile("C:\\a.bin", {'a'});
    fake.AddFile("C:\\b.bin", {'b'});
    SectorFile file(fake);
    ASSERT_TRUE(file.OpenRead("C:\\a.bin"));
    const FileId first = file.Handle();
    char byte = 0;
    EXPECT_FALSE(file.Open("C:\\b.bin", kGenericRead, kShareRead, kOpenExisting, 0, false));
    EXPECT_EQ(first, file.Handle());
    EXPECT_TRUE(file.ReadBytes(&byte, 1));
    EXPECT_EQ('a', byte);

    EXPECT_TRUE(file.Open("C:\\b.bin", kGenericRead, kShareRead, kOpenExisting, 0, true));
    EXPECT_TRUE(file.ReadBytes(&byte, 1));
    EXPECT_EQ('b', byte);
    EXPECT_EQ(1u, fake.OpenHandleCount());  // the first handle was closed
    std::uint32_t got = 7;
    EXPECT_FALSE(file.ReadBytes(&byte, 1, &got));  // the system reads 0 bytes at end of file and succeeds
    EXPECT_EQ(7u, got);
}

TEST(SectorFileTest, TransfersTheAccessForbidsNeverReachThePlatform) {
    enum Op { ReadB, ReadS, WriteB, WriteS };
    const std::pair<bool, Op> cases[] = {{false, WriteB}, {false, WriteS}, {true, ReadB}, {true, ReadS}};
    for (const auto& [createMode, op] : cases) {
        CountingPlatform fake;
        fake.AddFile("C:\\f.bin", Numbered(2));
        SectorFile file(fake);
        ASSERT_TRUE(createMode ? file.OpenCreate("C:\\f.bin") : file.OpenRead("C:\\f.bin"));
        std::vector<std::uint8_t> buffer(512, 0xEE);
        const bool ok = op == ReadB    ? file.ReadBytes(buffer.data(), 512)
                        : op == ReadS  ? file.ReadSectors(buffer.data(), 0, 1)
                        : op == WriteB ? file.WriteBytes(buffer.data(), 512)
                                       : file.WriteSectors(buffer.data(), 0, 1);
        EXPECT_FALSE(ok) << "case " << op;
        EXPECT_EQ(0, fake.calls) << "case " << op;
    }
}

TEST(SectorFileTest, ReadSectorsMovesWholeSectorsAtLbaTimes512) {
    struct Case {
        const char* name;
        std::uint64_t lba;
        std::uint32_t count, platformRequest;  // bytes asked of the platform; 0 = none
        bool ok;
    } cases[] = {
        {"first", 0, 1, 512, true},
        {"third", 2, 1, 512, true},
        {"two", 1, 2, 1024, true},
        {"short last sector", 3, 1, 512, false},
        {"past the end", 9, 1, 512, false},
        {"largest count", 0, 8388607, 0xFFFFFE00u, false},
        {"count too large", 0, 8388608, 0, false},
        {"offset beyond 64 bits", (1ull << 55) + 1, 1, 0, false},
    };
    for (const Case& c : cases) {
        CountingPlatform fake;
        fake.AddFile("C:\\f.bin", Numbered(3, 100));
        SectorFile file(fake);
        ASSERT_TRUE(file.OpenRead("C:\\f.bin"));
        std::vector<std::uint8_t> buffer(4 * 512, 0);
        EXPECT_EQ(c.ok, file.ReadSectors(buffer.data(), c.lba, c.count)) << c.name;
        EXPECT_EQ(c.platformRequest, fake.lastRequest) << c.name;
        for (std::size_t i = 0; c.ok && i < c.count * 512u; ++i)
            ASSERT_EQ(c.lba + 1 + i / 512, buffer[i]) << c.name << " byte " << i;
    }
}

TEST(SectorFileTest, FileHelpers) {
    FakePlatform fake;
    fake.AddFile("C:\\Backups\\mbr.bin", Numbered(1, 7));
    EXPECT_EQ(519u, FileSize(fake, "C:\\Backups\\mbr.bin"));
    EXPECT_EQ(0u, FileSize(fake, "C:\\Backups\\missing.bin"));
    EXPECT_TRUE(FileExists(fake, "C:\\Backups"));
    EXPECT_FALSE(FileExists(fake, "C:\\Other"));
    EXPECT_EQ(0u, fake.OpenHandleCount());
}

// A sector beyond 2^32 of a sparse regular temporary file (never a device),
// through the machine's own platform.
TEST(SectorFileTest, ReadsSectorsBeyondTwoToThe32) {
    namespace fs = std::filesystem;
    const std::uint64_t lba = (1ull << 32) + 3;
    const fs::path path =
        fs::temp_directory_path() / ("partam_" + std::to_string(std::random_device{}()) + ".img");
    std::error_code error;
    std::ofstream(path, std::ios::binary).close();
    fs::resize_file(path, ((1ull << 32) + 10) * 512, error);
    if (error) {
        fs::remove(path, error);
        GTEST_SKIP() << "the file system refuses a sparse file this large";
    }
    std::fstream(path, std::ios::binary | std::ios::in | std::ios::out)
        .seekp(static_cast<std::streamoff>(lba * 512))
        .write(std::string(512, 'M').data(), 512);
    auto platform = CreateSystemPlatform();
    SectorFile file(*platform);
    ASSERT_TRUE(file.OpenRead(path.string()));
    std::vector<std::uint8_t> sector(512, 0);
    EXPECT_TRUE(file.ReadSectors(sector.data(), lba, 1));
    EXPECT_EQ(std::vector<std::uint8_t>(512, 'M'), sector);
    EXPECT_TRUE(file.ReadSectors(sector.data(), 3, 1));  // the same LBA cut to 32 bits
    EXPECT_EQ(std::vector<std::uint8_t>(512, 0), sector);
    file.Close();
    fs::remove(path, error);
}

}  // namespace
}  // namespace partam
