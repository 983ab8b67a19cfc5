#include "platform/posix/mkntfs.h"

#include <gtest/gtest.h>

#include "platform/scratch.h"

namespace partam::posix {
namespace {

// The figures are found whether the output comes whole or a byte at a time.
TEST(MkntfsTest, ProgressFiguresInPiecesOfAnySize) {
    const std::string output =
        "Initializing device with zeroes:   0%\b\b\b\b  0%\b\b\b\b  7%\b\b\b\b 53%\b\b\b\b100% - Done.\n"
        "1234% 101% 5 %\nCreating NTFS volume structures.\n";
    const std::vector<std::uint32_t> figures{0, 0, 7, 53, 100};
    MkntfsProgress whole, bytes;
    EXPECT_EQ(whole.Feed(output), figures);
    std::vector<std::uint32_t> one;
    for (const char c : output)
        for (const std::uint32_t f : bytes.Feed(std::string_view(&c, 1))) one.push_back(f);
    EXPECT_EQ(one, figures);
}

// A disk sdb (8:16) with two partitions in a made-up /sys.
TEST(MkntfsTest, APartitionsOwnNodeByStartAndSize) {
    test::ScratchFolder dir;
    const SystemRoots roots{dir.Path("sys"), dir.Path("proc"), dir.Path("dev")};
    const std::string disk = dir.Path("sys/devices/pci/block/sdb");
    dir.Write("sys/devices/pci/block/sdb/size", "100000\n");
    const char* parts[][3] = {{"sdb1", "2048", "4096"}, {"sdb2", "6144", "8192"}};
    for (const auto& [name, start, size] : parts) {
        const std::string folder = std::string("sys/devices/pci/block/sdb/") + name;
        dir.Write(folder + "/partition", "1\n");
        dir.Write(folder + "/start", std::string(start) + "\n");
        dir.Write(folder + "/size", std::string(size) + "\n");
        dir.Write(folder + "/uevent", std::string("MAJOR=8\nDEVNAME=") + name + "\nDEVTYPE=partition\n");
    }
    std::filesystem::create_directories(dir.Path("sys/dev/block"));
    std::filesystem::create_directory_symlink(disk, dir.Path("sys/dev/block/8:16"));
    EXPECT_EQ(PartitionNode(roots, {8, 16}, 6144, 8192), dir.Path("dev") + "/sdb2");
    EXPECT_EQ(PartitionNode(roots, {8, 16}, 2048, 4096), dir.Path("dev") + "/sdb1");
    EXPECT_EQ(PartitionNode(roots, {8, 16}, 6144, 8191), std::nullopt);
    EXPECT_EQ(PartitionNode(roots, {8, 32}, 6144, 8192), std::nullopt);
}

}  // namespace
}  // namespace partam::posix
