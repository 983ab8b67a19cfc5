#include "gpt/gpt_disk.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/endian.h"
#include "disk/disk.h"
#include "gpt/gpt_types.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;

constexpr std::uint64_t kSectors = 2048;
const std::uint8_t* kBasicData = test::kBasicDataType.data();

// A GPT disk held in memory, read through a table source.
struct Image {
    Bytes data;

    explicit Image(const std::vector<test::GptEntrySpec>& entries) : data(test::MakeGpt(kSectors, entries)) {}
    std::uint8_t* At(std::uint64_t lba) { return &data[lba * 512]; }
    std::unique_ptr<GptDisk> Read() {
        TableSource source;
        source.totalSectors = kSectors;
        source.read = [this](std::uint64_t lba, std::uint8_t* s) {
            if (lba >= kSectors) return false;
            std::memcpy(s, At(lba), 512);
            return true;
        };
        return ReadGpt(source);
    }
};

TEST(GptDiskTest, CatalogueAndGuidText) {
    EXPECT_EQ(GuidText(kBasicData), "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7");
    EXPECT_EQ(LookupGptType("52414944-5F4F-11AA-AA11-00306543ECAC").description,
              std::string("Apple Offline RAID"));
    EXPECT_EQ(LookupGptType("52414944-0000-11AA-AAAA-000000000000").description, std::string("Apple RAID"));
    EXPECT_EQ(LookupGptType("00000000-0000-0000-0000-000000000000").id, 0);
}

// Numbers that do not fit are not used: the GPT is invalid, has no
// partitions, and reads nothing past what the header could name.
TEST(GptDiskTest, HostileHeaders) {
    const struct {
        const char* what;
        std::size_t offset;
        std::uint64_t value;
        int width;
        int error;
    } cases[] = {
        {"2^32-1 entries", 80, 0xFFFFFFFF, 4, 200},
        {"entries past the disk", 72, kSectors + 5, 8, 200},
        {"an entry size of 256", 84, 256, 4, 200},
        {"a backup past the disk", 32, kSectors * 2, 8, 201},
        {"no entries", 80, 0, 4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Image image({{test::kBasicDataType, 34, 99}});
        std::uint8_t* h = image.At(1);
        if (c.width == 4)
            StoreLe32(h + c.offset, static_cast<std::uint32_t>(c.value));
        else
            StoreLe64(h + c.offset, c.value);
        auto gpt = image.Read();
        EXPECT_EQ(std::tuple(gpt->Error(), gpt->Valid()), std::tuple(c.error, c.error == 0));
        EXPECT_EQ(gpt->Partitions().size(), c.error == 200 || c.value == 0 ? 0u : 1u);
    }
    Image noHeader({});
    std::memset(noHeader.At(1), 0, 8);
    EXPECT_EQ(std::tuple(noHeader.Read()->Error(), noHeader.Read()->HeaderFound()), std::tuple(200, false));
}

// A header handed to a write says where it lies itself, and where its
// entries lie: the primary header still goes to sector 1, and an entry array
// that would reach into the backup's is refused before anything is written.
TEST(GptDiskTest, WritesKeepTheirPlaces) {
    const struct {
        const char* what;
        std::uint64_t currentLba, entryLba;
        int code;
    } cases[] = {
        {"a header that says it lies at 50", 50, 2, 0},
        {"entries over the backup array", 1, kSectors - 34, 202},
        {"entries over the protective MBR", 1, 0, 202},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform platform;
        platform.AddDrive(0, kSectors).data = test::MakeGpt(kSectors, {{test::kBasicDataType, 34, 99}});
        const Bytes before = platform.FindFile(DrivePath(0))->data;
        mDisk disk(platform, 0, false,
                   TableReaders{{}, [](const TableSource& source) -> std::unique_ptr<PartitionTable> {
                                    return ReadGpt(source);
                                }});
        ASSERT_TRUE(disk.IsGpt() && disk.Table());
        Sector header{};
        std::memcpy(header.data(), &before[512], 512);
        StoreLe64(&header[24], c.currentLba);
        StoreLe64(&header[72], c.entryLba);
        const std::vector<std::uint8_t> entries(before.begin() + 2 * 512, before.begin() + 34 * 512);
        EXPECT_EQ(disk.Table()->Gpt()->WriteTable(disk, header, entries), c.code);
        const Bytes& after = platform.FindFile(DrivePath(0))->data;
        EXPECT_TRUE(
            std::equal(before.begin() + 50 * 512, before.begin() + 51 * 512, after.begin() + 50 * 512));
        EXPECT_EQ(LoadLe64(&after[512 + 24]), 1u);
        if (c.code != 0) {
            EXPECT_TRUE(after == before);
        }
    }
}

}  // namespace
}  // namespace partam
