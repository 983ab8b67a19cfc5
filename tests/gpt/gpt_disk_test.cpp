#include "gpt/gpt_disk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "base/endian.h"
#include "gpt/gpt_types.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;

constexpr std::uint64_t kSectors = 2048;
const std::uint8_t* kBasicData = test::kBasicDataType.data();

TEST(GptDiskTest, CatalogueAndGuidText) {
    EXPECT_EQ(GuidText(kBasicData), "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7");
    EXPECT_EQ(LookupGptType("52414944-5F4F-11AA-AA11-00306543ECAC").description,
              std::string("Apple Offline RAID"));
    EXPECT_EQ(LookupGptType("52414944-0000-11AA-AAAA-000000000000").description, std::string("Apple RAID"));
    EXPECT_EQ(LookupGptType("00000000-0000-0000-0000-000000000000").id, 0);
}

// The findings of one header or array, one per line.
std::string Lines(const std::vector<GptFinding>& findings) {
    std::string text;
    for (const GptFinding& f : findings) text += GptFindingText(f) + "\n";
    return text;
}

// Sets a field of the header at lba and seals it again, as a tool that
// wrote wrong numbers would.
std::function<void(Bytes&)> Resealed(std::uint64_t lba, std::size_t offset, std::uint64_t value) {
    return [=](Bytes& image) {
        StoreLe64(&image[lba * 512 + offset], value);
        GptHeader h(&image[lba * 512]);
        h.Seal();
        std::memcpy(&image[lba * 512], h.Bytes().data(), 512);
    };
}

// Each copy is checked on its own: what is wrong with one is reported for
// it, and the partitions come from the primary when it passes, else from
// the backup when it passes. Partition 2 spans 100 to 999.
TEST(GptDiskTest, CopiesAreCheckedApart) {
    const std::string unchecked = "not checked: its header failed\n";
    const auto flip = [](std::size_t at) { return [at](Bytes& image) { image[at] ^= 1; }; };
    const struct {
        const char* what;
        std::function<void(Bytes&)> damage;
        std::string primaryHeader, primaryEntries, backupHeader, backupEntries;
    } cases[] = {
        {"intact", [](Bytes&) {}, "", "", "", ""},
        {"a byte of the disk GUID", flip(512 + 56), "header CRC mismatch\n", unchecked, "", ""},
        {"a byte of the primary array", flip(2 * 512 + 200), "", "entry array CRC mismatch\n", "", ""},
        {"the first usable sector inside partition 2", Resealed(1, 40, 200), "",
         "partition 1 outside the usable area\npartition 2 outside the usable area\n", "", ""},
        {"the primary array inside partition 2", Resealed(1, 72, 150),
         "entry array outside the room the header leaves for it\n", unchecked, "", ""},
        {"the backup named at 1000", Resealed(1, 32, 1000),
         "other header's LBA wrong\nusable area over the GPT's own sectors or past the disk\n", unchecked, "",
         ""},
        // The count's field with the entry size of 128 beside it.
        {"16,385 entries", Resealed(1, 80, 16385 | std::uint64_t{128} << 32), "entry count out of range\n",
         unchecked, "", ""},
        {"the backup header gone", [](Bytes& image) { std::memset(&image[(kSectors - 1) * 512], 0, 8); }, "",
         "", "no \"EFI PART\" signature\n", unchecked},
        {"a byte of the backup array", flip((kSectors - 33) * 512 + 130), "", "", "",
         "entry array CRC mismatch\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes image =
            test::MakeGpt(kSectors, {{test::kEfiSystemType, 34, 99}, {test::kBasicDataType, 100, 999}});
        c.damage(image);
        TableSource source;
        source.totalSectors = kSectors;
        source.readRun = [&image](std::uint64_t lba, std::uint32_t count, std::uint8_t* out) {
            if (lba >= kSectors || count > kSectors - lba) return false;
            std::memcpy(out, &image[lba * 512], std::size_t{count} * 512);
            return true;
        };
        const auto gpt = ReadGpt(source);
        const GptCopies& copies = gpt->Copies();
        EXPECT_EQ(Lines(copies.primary.headerFindings), c.primaryHeader);
        EXPECT_EQ(Lines(copies.primary.entryFindings), c.primaryEntries);
        EXPECT_EQ(Lines(copies.backup.headerFindings), c.backupHeader);
        EXPECT_EQ(Lines(copies.backup.entryFindings), c.backupEntries);
        // Both copies describe the same two partitions; one that passed is used.
        ASSERT_EQ(gpt->Partitions().size(), 2u);
        EXPECT_EQ(gpt->Partitions()[1].part.start, 100u);
        EXPECT_EQ(gpt->Partitions()[1].part.sectors, 900u);
        EXPECT_EQ(gpt->Basis(), copies.primary.Passes() ? &copies.primary : &copies.backup);
    }
}

}  // namespace
}  // namespace partam
