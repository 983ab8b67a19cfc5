#include "disk/drive_letters.h"

#include <gtest/gtest.h>

#include "disk/disk.h"
#include "support/fake_platform.h"
#include "support/images.h"

namespace partam {
namespace {

constexpr char kMounted[] = "SYSTEM\\MountedDevices";
const std::array<std::uint8_t, 4> kSignature{0x78, 0x56, 0x34, 0x12};

std::vector<std::uint8_t> Utf16(const std::string& text) {
    std::vector<std::uint8_t> out;
    for (char c : text) out.insert(out.end(), {static_cast<std::uint8_t>(c), 0});
    return out;
}

std::vector<std::uint8_t> SignatureAndOffset(std::uint64_t startSector) {
    std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>((startSector * 512) >> (8 * i)));
    return out;
}

// Letters C to F, each with its volume; disk 0 is a SCSI disk whose parent id
// prefix is 7&abc&0. Each case gives the letters' MountedDevices values.
TEST(DriveLettersTest, TheThreeFormsOfAMountedDevice) {
    using Values = std::vector<std::pair<char, std::vector<std::uint8_t>>>;
    const std::string byPath = "\\??\\SCSI#Disk&Ven_Partam#4&1&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    const std::string removable =
        "\\??\\STORAGE#RemovableMedia#7&abc&0&RM#{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";
    const struct {
        const char* what;
        Values values;
        std::uint64_t start;
        char letter;
    } cases[] = {
        {"signature and offset", {{'C', SignatureAndOffset(63)}, {'D', SignatureAndOffset(2048)}}, 2048, 'D'},
        {"another offset", {{'D', SignatureAndOffset(2048)}}, 4096, 0},
        {"another signature", {{'D', {1, 2, 3, 4, 0, 0, 0x10, 0, 0, 0, 0, 0}}}, 2048, 0},
        {"the device's path", {{'E', Utf16(byPath)}}, 12345, 'E'},
        {"another device's path", {{'E', Utf16("\\??\\SCSI#Disk&Ven_Other#4&1&0#{x}")}}, 2048, 0},
        {"removable media", {{'F', Utf16(removable)}}, 99, 'F'},
        {"two that match: the first", {{'C', SignatureAndOffset(2048)}, {'E', Utf16(byPath)}}, 2048, 'C'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform platform;
        platform.SetRegistryValue("SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum", "0",
                                  "SCSI\\Disk&Ven_Partam\\4&1&0");
        platform.SetRegistryValue("SYSTEM\\CurrentControlSet\\Enum\\SCSI\\Disk&Ven_Partam\\4&1&0",
                                  "ParentIDPrefix", "7&abc&0");
        for (char letter : {'C', 'D', 'E', 'F'}) {
            const std::string root = std::string(1, letter) + ":\\";
            platform.driveRoots.push_back(root);
            platform.volumeNames[root] = std::string("\\\\?\\Volume{") + letter + "}\\";
        }
        for (const auto& [letter, data] : c.values)
            platform.SetRegistryBytes(kMounted, std::string("\\??\\Volume{") + letter + "}", data);
        const auto match = FindDriveLetter(platform, 0, kSignature, c.start);
        EXPECT_EQ(match ? match->letter : 0, c.letter);
        if (match) {
            EXPECT_EQ(match->volumeName, std::string("\\\\?\\Volume{") + c.letter + "}\\");
        }
    }
}

// The disk object gives each mountable partition of its table the letter
// found for it; other types are not looked up.
TEST(DriveLettersTest, ReloadStoresTheLetters) {
    FakePlatform platform;
    test::PutSector(platform.AddDrive(0, 8192).data, 0,
                    test::MakeMbr({{0, 0x07, 2048, 100}, {0, 0x83, 4096, 100}}, 0x12345678));
    platform.driveRoots = {"G:\\"};
    platform.volumeNames["G:\\"] = "\\\\?\\Volume{g}\\";
    // Every partition's offset would match; only the mountable one asks.
    platform.SetRegistryBytes(kMounted, "\\??\\Volume{g}", SignatureAndOffset(2048));
    mDisk disk(platform, 0,
               TableReaders{[](const TableSource& source) {
                                struct Two : PartitionTable {
                                    mPart parts[2];
                                    std::int32_t PartitionCount(int) const override { return 2; }
                                    mPart* GetPartition(int n, bool) override {
                                        return n >= 1 && n <= 2 ? &parts[n - 1] : nullptr;
                                    }
                                    int Problem() const override { return 0; }
                                };
                                auto table = std::make_unique<Two>();
                                for (int s = 0; s < 2; ++s) {
                                    const PartitionEntry e = ReadSlot(source.sector0, s);
                                    table->parts[s].type = e.TypeByte(), table->parts[s].start = e.Start();
                                }
                                return std::unique_ptr<PartitionTable>(std::move(table));
                            },
                            {}});
    EXPECT_EQ(
        std::tuple(disk.DriveLetterOf(1), disk.GetPartition(1, true)->volumeName, disk.DriveLetterOf(2)),
        std::tuple('G', std::string("\\\\?\\Volume{g}\\"), '\0'));
}

}  // namespace
}  // namespace partam
