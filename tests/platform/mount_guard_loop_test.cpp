// The write guard on a real block device: a loop device over an image file
// in a temporary folder, with a filesystem mounted from it. Runs only as
// root where loop devices, mount and mkfs.ext2 work; skips cleanly elsewhere.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/posix/mount_guard.h"
#include "platform/posix/posix_platform.h"
#include "scratch.h"
#include "support/images.h"

namespace partam {
namespace {

using test::Bytes;
using test::ScratchFolder;
namespace fs = std::filesystem;

constexpr std::uint64_t kDiskSectors = 131072;  // 64 MiB
constexpr std::uint32_t kPartStart = 2048, kPartSectors = 65536;

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool WaitFor(const std::string& path) {
    for (int i = 0; i < 40 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return fs::exists(path);
}

// A loop device over a 64 MiB image with an ext2 filesystem mounted either
// from its one partition or from the whole device. Whatever happens, the
// filesystem is unmounted and the device detached at the end.
class MountedLoopDisk {
public:
    explicit MountedLoopDisk(bool partitioned) { skip = Start(partitioned); }
    ~MountedLoopDisk() {
        Unmount();
        if (!device.empty()) Run("losetup -d " + device);
    }
    MountedLoopDisk(const MountedLoopDisk&) = delete;
    MountedLoopDisk& operator=(const MountedLoopDisk&) = delete;

    void Unmount() {
        if (mounted_) Run("umount " + dir_.Path("mnt"));
        mounted_ = false;
    }

    std::string skip;  // why the test cannot run here
    std::string device;

private:
    // Nothing once the filesystem is mounted, else why it could not be.
    std::string Start(bool partitioned) {
        if (::geteuid() != 0) return "needs root";
        Bytes image = partitioned ? test::MakeMbr({{0, 0x83, kPartStart, kPartSectors}}) : Bytes(512, 0);
        image.resize(kDiskSectors * 512, 0);
        const std::string file = dir_.Write("disk.img", image);
        const std::string attach = std::string("losetup --find --show ") + (partitioned ? "-P " : "") + file;
        if (FILE* pipe = ::popen((attach + " 2>/dev/null").c_str(), "r")) {
            char line[256] = "";
            if (std::fgets(line, sizeof line, pipe)) device = std::string(line, std::strcspn(line, "\n"));
            ::pclose(pipe);
        }
        if (device.rfind("/dev/loop", 0) != 0) {
            device.clear();
            return "no loop device";
        }
        std::string target = device;
        if (partitioned) {
            // The loop driver may leave the table unscanned: then ask the kernel.
            target = device + "p1";
            if (!WaitFor(target) && !(Run("partx -a " + device) && WaitFor(target)))
                return "the partition of " + device + " does not show";
        }
        fs::create_directories(dir_.Path("mnt"));
        if (!Run("mkfs.ext2 -q -F " + target) || !Run("mount " + target + " " + dir_.Path("mnt")))
            return "cannot make or mount a filesystem on " + target;
        mounted_ = true;
        return "";
    }

    ScratchFolder dir_;
    bool mounted_ = false;
};

// Each write either lands or fails as busy, leaving the sectors as they were.
using WriteCase = std::tuple<std::uint64_t, std::uint32_t, bool>;  // first sector, sectors, allowed

void CheckWrites(posix::PosixPlatform& p, FileId drive, const std::vector<WriteCase>& cases) {
    for (const auto& [lba, sectors, allowed] : cases) {
        SCOPED_TRACE(std::to_string(lba) + "+" + std::to_string(sectors));
        const std::uint32_t bytes = sectors * 512;
        const std::int64_t offset = static_cast<std::int64_t>(lba * 512);
        Bytes before(bytes), after(bytes);
        const Bytes pattern(bytes, 0xC3);
        std::uint32_t done = 0;
        ASSERT_TRUE(p.SeekFile(drive, offset, SeekOrigin::Begin) &&
                    p.ReadFile(drive, before.data(), bytes, done));
        ASSERT_TRUE(p.SeekFile(drive, offset, SeekOrigin::Begin));
        EXPECT_EQ(p.WriteFile(drive, pattern.data(), bytes, done), allowed);
        EXPECT_TRUE(allowed || p.LastErrorText() == "Device or resource busy") << p.LastErrorText();
        ASSERT_TRUE(p.SeekFile(drive, offset, SeekOrigin::Begin) &&
                    p.ReadFile(drive, after.data(), bytes, done));
        EXPECT_TRUE(after == (allowed ? pattern : before));
    }
}

// The device's use as seen with an empty mount table, "whole" or its ranges
// in sectors: what the kernel's exclusive claims alone reveal.
std::string UseByClaimsOnly(const std::string& device) {
    ScratchFolder proc;
    proc.WriteText("self/mountinfo", "");
    const posix::DeviceUse use =
        posix::InspectDevice(posix::SystemRoots{"/sys", proc.Path(""), "/dev"},
                             posix::BlockDeviceAt(device).value_or(posix::DevNumber{}));
    std::string text = !use.known ? "unknown" : use.wholeInUse ? "whole" : "";
    for (const posix::ByteRange& r : use.inUse)
        text += std::to_string(r.first / 512) + "-" + std::to_string(r.end / 512) + " ";
    return text;
}

TEST(MountGuardOnLoopDevice, MountedRangesAreRefusedTheRestWritable) {
    // Sector 2 of the partition holds the ext2 superblock.
    const std::uint64_t end = kPartStart + kPartSectors;
    const std::vector<WriteCase> aroundPartition = {
        {0, 1, true},           {kPartStart - 1, 1, true},  {kPartStart - 1, 2, false},
        {kPartStart, 1, false}, {kPartStart + 2, 2, false}, {end - 1, 1, false},
        {end, 1, true},         {kDiskSectors - 1, 1, true}};
    const std::tuple<bool, std::vector<WriteCase>, std::string> modes[] = {
        {true, aroundPartition, "2048-67584 "},
        {false, {{0, 1, false}, {kPartStart, 1, false}, {kDiskSectors - 1, 1, false}}, "whole"}};
    for (const auto& [partitioned, writes, claims] : modes) {
        SCOPED_TRACE(partitioned ? "partition mounted" : "whole device mounted");
        MountedLoopDisk disk(partitioned);
        if (!disk.skip.empty()) GTEST_SKIP() << disk.skip;
        test::ScopedEnv env("PARTAM_DISKS", disk.device);
        posix::PosixPlatform p;
        const FileId drive =
            p.OpenFile("\\\\.\\PhysicalDrive0", kGenericRead | kGenericWrite, 3, kOpenExisting, 0);
        ASSERT_NE(drive, kNoFile);
        std::uint64_t size = 0;
        EXPECT_TRUE(p.GetDriveGeometryEx(drive, size) && size == kDiskSectors * 512) << size;
        CheckWrites(p, drive, writes);
        EXPECT_EQ(UseByClaimsOnly(disk.device), claims);
        // Decided at each write: once unmounted, the same sectors are writable.
        disk.Unmount();
        CheckWrites(p, drive, {{kPartStart, 1, true}});
        p.CloseFile(drive);
    }
}

}  // namespace
}  // namespace partam
