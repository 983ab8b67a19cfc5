// Labels that ntfslabel wrote into a volume mkntfs made, read by the raw
// reader as it reads a lettered NTFS volume the system cannot read.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fs/volume_label.h"
#include "support/fake_platform.h"

namespace partam {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kStart = 2048;
constexpr std::uint64_t kSectors = 16384;

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

TEST(PeerLabelTest, ReadsWhatNtfslabelWrote) {
    const std::string tools = "PATH=$PATH:/usr/sbin:/sbin ";
    if (!Shell(tools + "command -v mkntfs") || !Shell(tools + "command -v ntfslabel"))
        GTEST_SKIP() << "mkntfs and ntfslabel (ntfs-3g) are not installed";
    const fs::path volume =
        fs::temp_directory_path() / ("partam-ntfs-" + std::to_string(::getpid()) + ".img");
    std::ofstream(volume).close();
    fs::resize_file(volume, kSectors * 512);
    ASSERT_TRUE(Shell(tools + "mkntfs -F -Q -q -s 512 -p 2048 -L First " + volume.string()));
    const char* labels[] = {"Archive Volume",
                            "Donn\xC3\xA9"
                            "es \xE6\x95\xB0\xE6\x8D\xAE",
                            "A label of thirty-two characters"};
    for (const char* label : labels) {
        SCOPED_TRACE(label);
        ASSERT_TRUE(Shell(tools + "ntfslabel " + volume.string() + " '" + label + "'"));
        std::ifstream in(volume, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        FakePlatform platform;
        FakeFile& drive = platform.AddDrive(0, kStart + kSectors);
        std::copy(bytes.begin(), bytes.end(), drive.data.begin() + kStart * 512);
        mDisk disk(platform, 0);
        EXPECT_EQ(ReadVolumeLabel(disk, "", 'E', 0x07, kStart, kSectors), label);
        EXPECT_TRUE(platform.messageBoxes.empty());
    }
    fs::remove(volume);
}

}  // namespace
}  // namespace partam
