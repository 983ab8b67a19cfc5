// Which filesystem the names in a partition's first three sectors tell.
#include "fs/file_system.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace partam {
namespace {

TEST(FileSystemTest, TheFirstNameThatMatchesWins) {
    const struct {
        std::vector<std::pair<std::size_t, const char*>> names;
        FileSystemCode code;
    } cases[] = {
        {{{3, "NTFS"}}, FileSystemCode::Ntfs},
        {{{3, "NTFS"}, {82, "FAT32"}}, FileSystemCode::Ntfs},
        {{{54, "FAT16"}, {82, "FAT32"}}, FileSystemCode::Fat16},
        {{{54, "FAT12"}, {82, "FAT32"}}, FileSystemCode::Fat32},
        {{{1032, "HFSJ"}}, FileSystemCode::HfsJ},
        {{{1032, "10.0"}}, FileSystemCode::HfsEx},
        {{{1032, "8.10"}, {1024, "H+"}}, FileSystemCode::None},
        {{{2, "NTFS"}, {55, "FAT16"}}, FileSystemCode::None},
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, kRecognitionSectors * kSectorSize> bytes{};
        for (const auto& [offset, name] : c.names) std::memcpy(&bytes[offset], name, std::strlen(name));
        EXPECT_EQ(RecognizeBytes(bytes), c.code) << c.names.front().second;
    }
}

}  // namespace
}  // namespace partam
