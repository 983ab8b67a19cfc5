// The write guard on a real block device: a loop device over an image file
// in a temporary folder, with a filesystem mounted from it. Runs only as
// root where loop devices, mount and mkfs.ext2 work; skips cleanly elsewhere.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/posix/mount_guard.h"
#include "platform/posix/posix_platform.h"
#include "scratch.h"
#include "support/images.h"

namespace partam {
namespace {

using posix::PosixPlatform;
using test::Bytes;
using test::ScopedEnv;
using test::ScratchFolder;
namespace fs = std::filesystem;

constexpr std::uint64_t kDiskSectors = 131072;  // 64 MiB
constexpr std::uint32_t kPartStart = 2048, kPartSectors = 65536;

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

bool WaitFor(const std::string& path) {
    for (int i = 0; i < 40; ++i) {
        if (fs::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// A loop device over a 64 MiB image with an ext2 filesystem mounted either
// from its one partition or from the whole device. Whatever happens, the
// filesystem is unmounted and the device detached at the end.
class MountedLoopDisk {
public:
    explicit MountedLoopDisk(bool partitioned) {
        if (::geteuid() != 0) {
            skip = "needs root";
            return;
        }
        for (const char* tool : {"losetup", "mount", "umount", "mkfs.ext2"})
            if (!Run(std::string("command -v ") + tool)) skip = std::string(tool) + " is missing";
        if (!skip.empty()) return;
        Bytes image = partitioned ? test::MakeMbr({{0, 0x83, kPartStart, kPartSectors}}) : Bytes(512, 0);
        image.resize(kDiskSectors * 512, 0);
        const std::string file = dir_.Write("disk.img", image);
        device = Capture("losetup --find --show " + std::string(partitioned ? "-P " : "") + file);
        if (device.rfind("/dev/loop", 0) != 0) {
            skip = "no loop device";
            device.clear();
            return;
        }
        std::string target = device;
        if (partitioned && !(target = PartitionNode()).size()) return;
        mountPoint_ = dir_.Path("mnt");
        fs::create_directories(mountPoint_);
        if (!Run("mkfs.ext2 -q -F " + target) || !Run("mount " + target + " " + mountPoint_)) {
            skip = "cannot make or mount a filesystem on " + target;
            return;
        }
        mounted_ = true;
    }
    ~MountedLoopDisk() {
        Unmount();
        if (!device.empty()) Run("losetup -d " + device);
    }
    MountedLoopDisk(const MountedLoopDisk&) = delete;
    MountedLoopDisk& operator=(const MountedLoopDisk&) = delete;

    void Unmount() {
        if (mounted_) Run("umount " + mountPoint_);
        mounted_ = false;
    }

    std::string skip;
    std::string device;

private:
    // The node of partition 1, asking the kernel to scan the table when the
    // loop driver has not.
    std::string PartitionNode() {
        const std::string name = fs::path(device).filename().string();
        const std::string sys = "/sys/block/" + name + "/" + name + "p1";
        if (!WaitFor(sys) && !(Run("partx -a " + device) && WaitFor(sys))) {
            skip = "the partition of " + device + " does not show";
            return "";
        }
        if (!WaitFor(device + "p1")) {
            skip = "no device node for the partition";
            return "";
        }
        return device + "p1";
    }

    ScratchFolder dir_;
    std::string mountPoint_;
    bool mounted_ = false;
};

struct WriteCase {
    std::uint64_t lba;
    std::uint32_t sectors;
    bool allowed;
};

void CheckWrites(PosixPlatform& p, FileId drive, const std::vector<WriteCase>& cases) {
    for (const WriteCase& c : cases) {
        const std::uint32_t bytes = c.sectors * 512;
        Bytes before(bytes), after(bytes);
        std::uint32_t done = 0;
        ASSERT_TRUE(p.SeekFile(drive, static_cast<std::int64_t>(c.lba * 512), SeekOrigin::Begin));
        ASSERT_TRUE(p.ReadFile(drive, before.data(), bytes, done));
        ASSERT_TRUE(p.SeekFile(drive, static_cast<std::int64_t>(c.lba * 512), SeekOrigin::Begin));
        const Bytes pattern(bytes, 0xC3);
        EXPECT_EQ(p.WriteFile(drive, pattern.data(), bytes, done), c.allowed) << c.lba << "+" << c.sectors;
        if (!c.allowed) {
            EXPECT_EQ(p.LastErrorText(), "Device or resource busy");
        }
        ASSERT_TRUE(p.SeekFile(drive, static_cast<std::int64_t>(c.lba * 512), SeekOrigin::Begin));
        ASSERT_TRUE(p.ReadFile(drive, after.data(), bytes, done));
        EXPECT_EQ(after, c.allowed ? pattern : before) << c.lba << "+" << c.sectors;
    }
}

// The device's use as seen with an empty mount table: what the kernel's
// exclusive claim alone reveals.
posix::DeviceUse UseByClaimsOnly(const std::string& device) {
    ScratchFolder proc;
    proc.WriteText("self/mountinfo", "");
    const auto numbers = posix::BlockDeviceAt(device);
    if (!numbers) return {};
    return posix::InspectDevice(posix::SystemRoots{"/sys", proc.Path(""), "/dev"}, *numbers);
}

TEST(MountGuardOnLoopDevice, MountedPartitionIsRefusedTheRestWritable) {
    MountedLoopDisk disk(true);
    if (!disk.skip.empty()) GTEST_SKIP() << disk.skip;
    ScopedEnv env("PARTAM_DISKS", disk.device);
    PosixPlatform p;
    const FileId drive =
        p.OpenFile("\\\\.\\PhysicalDrive0", kGenericRead | kGenericWrite, 3, kOpenExisting, 0x80);
    ASSERT_NE(drive, kNoFile);

    std::uint64_t size = 0;
    EXPECT_TRUE(p.GetDriveGeometryEx(drive, size));
    EXPECT_EQ(size, kDiskSectors * 512);
    DriveLayoutAnswer layout;
    ASSERT_TRUE(p.GetDriveLayoutEx(drive, 1344, layout));
    ASSERT_EQ(layout.entries.size(), 4u);
    EXPECT_EQ(layout.entries[0].startingOffset, std::int64_t{kPartStart} * 512);
    EXPECT_EQ(p.IdentifyDrive(0)->description, fs::path(disk.device).filename().string());

    const std::uint64_t end = kPartStart + kPartSectors;
    CheckWrites(p, drive,
                {{0, 1, true},
                 {kPartStart - 1, 1, true},
                 {kPartStart - 1, 2, false},
                 {kPartStart, 1, false},
                 {kPartStart + 2, 2, false},  // the ext2 superblock
                 {end - 1, 1, false},
                 {end, 1, true},
                 {kDiskSectors - 1, 1, true}});

    const posix::DeviceUse claimed = UseByClaimsOnly(disk.device);
    EXPECT_TRUE(claimed.known);
    EXPECT_FALSE(claimed.wholeInUse);
    ASSERT_EQ(claimed.inUse.size(), 1u);
    EXPECT_EQ(claimed.inUse[0].first, std::uint64_t{kPartStart} * 512);
    EXPECT_EQ(claimed.inUse[0].end, end * 512);

    // Decided at each write: once unmounted, the partition is writable.
    disk.Unmount();
    CheckWrites(p, drive, {{kPartStart, 1, true}});
    p.CloseFile(drive);
}

TEST(MountGuardOnLoopDevice, MountedWholeDeviceIsRefusedEverywhere) {
    MountedLoopDisk disk(false);
    if (!disk.skip.empty()) GTEST_SKIP() << disk.skip;
    ScopedEnv env("PARTAM_DISKS", disk.device);
    PosixPlatform p;
    const FileId drive =
        p.OpenFile("\\\\.\\PhysicalDrive0", kGenericRead | kGenericWrite, 3, kOpenExisting, 0x80);
    ASSERT_NE(drive, kNoFile);
    CheckWrites(p, drive, {{0, 1, false}, {kDiskSectors - 1, 1, false}});
    EXPECT_TRUE(UseByClaimsOnly(disk.device).wholeInUse);
    p.CloseFile(drive);
}

}  // namespace
}  // namespace partam
