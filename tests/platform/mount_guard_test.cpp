// The write guard's parsing and decisions, against a made-up /sys and /proc
// and on a real loop device.
#include "platform/posix/mount_guard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/posix/posix_platform.h"
#include "platform/posix/system_files.h"
#include "scratch.h"
#include "support/images.h"

namespace partam::posix {
namespace {

using test::Bytes;
using test::ScratchFolder;
namespace fs = std::filesystem;
constexpr std::uint64_t kS = 512;

TEST(MountGuard, WriteAllowedOnlyOutsideWhatIsInUse) {
    const DeviceUse use{true, false, {{2048 * kS, 6144 * kS}, {10240 * kS, 12288 * kS}}};
    const std::tuple<std::uint64_t, std::uint64_t, bool> cases[] = {
        {2047, 1, true},     {2047, 2, false},  {6143, 1, false},    {6144, 4096, true},
        {6144, 4097, false}, {12287, 1, false}, {12288, 1000, true}, {0, 100000, false}};
    for (const auto& [lba, sectors, allowed] : cases)
        EXPECT_EQ(WriteAllowed(use, lba * kS, sectors * kS), allowed) << lba << "+" << sectors;
    EXPECT_TRUE(WriteAllowed(use, 2048 * kS, 0));
    EXPECT_FALSE(WriteAllowed(use, ~0ull - 10, 512));  // wraps around
    EXPECT_FALSE(WriteAllowed(DeviceUse{true, true, {}}, 0, kS));
    EXPECT_FALSE(WriteAllowed(DeviceUse{}, 0, kS));  // unknown: nothing goes
}

TEST(MountGuard, ParsesMountInfoAndSwaps) {
    // A malformed line is skipped, the lines after it still read.
    const std::vector<MountedDevice> mounts = ParseMountInfo(
        "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 shared:2 - ext3 /dev/disk\\040one rw\n"
        "bad line\n"
        "40 26 0:37 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n");
    std::vector<std::tuple<unsigned, unsigned, std::string>> seen;
    for (const MountedDevice& m : mounts) seen.emplace_back(m.device.major, m.device.minor, m.source);
    EXPECT_EQ(seen, (decltype(seen){{98, 0, "/dev/disk one"}, {0, 37, "cgroup2"}}));
    EXPECT_EQ(ParseSwapNames("Filename\tType\tSize\tUsed\tPriority\n/swap\\040file file 1 0 -3\n"),
              std::vector<std::string>{"/swap file"});
}

// A disk sda (8:0) with partitions sda1 at 2048 (4096 sectors), sda2 at
// 10240 (2048) and sda3 at 20480 (1000).
struct FakeSystem {
    ScratchFolder dir;
    SystemRoots roots{dir.Path("sys"), dir.Path("proc"), dir.Path("dev")};
    const std::string disk = dir.Path("sys/block/sda");

    FakeSystem() {
        const char* starts[] = {"", "2048", "10240", "20480"};
        const char* sizes[] = {"409600", "4096", "2048", "1000"};
        for (int i = 0; i < 4; ++i) {
            const std::string n = std::to_string(i), folder = disk + (i ? "/sda" + n : "");
            dir.Write(folder + "/dev", "8:" + n + "\n");
            dir.Write(folder + "/size", sizes[i] + std::string("\n"));
            fs::create_directories(folder + "/holders");
            if (i == 0) continue;
            dir.Write(folder + "/partition", n + "\n");
            dir.Write(folder + "/start", starts[i] + std::string("\n"));
        }
        fs::create_directories(dir.Path("sys/dev/block"));
        fs::create_directory_symlink(disk, dir.Path("sys/dev/block/8:0"));
        fs::create_directory_symlink(disk + "/sda2", dir.Path("sys/dev/block/8:2"));
        Mounted("");
    }
    void Mounted(const std::string& lines) {
        dir.Write("proc/self/mountinfo", "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n" + lines);
    }
};

// What a device has in use: "unknown", "whole", or its ranges in sectors.
std::string Summary(const DeviceUse& use) {
    std::string text = !use.known ? "unknown" : use.wholeInUse ? "whole" : "";
    for (const ByteRange& r : use.inUse)
        text += " " + std::to_string(r.first / kS) + "-" + std::to_string(r.end / kS);
    return text;
}

TEST(MountGuard, InspectsTheDiskAndItsPartitions) {
    // name, device mounted (nothing: no mount table), sda2 held, sda3's start, device asked, in use
    const std::tuple<const char*, const char*, bool, const char*, unsigned, std::string> cases[] = {
        {"nothing in use", "", false, "20480", 0, ""},
        {"sda1 mounted, sda2 held", "8:1", true, "20480", 0, " 2048-6144 10240-12288"},
        // A partition opened as a device of its own is whole-in-use when held.
        {"held partition", "", true, "20480", 2, "whole"},
        {"disk mounted", "8:0", false, "20480", 0, "whole"},
        // When the system cannot tell, nothing may be written.
        {"not in /sys", "", false, "20480", 16, "unknown"},
        {"no mount table", nullptr, false, "20480", 0, "unknown"},
        {"unreadable start", "", false, "lots", 0, "unknown"}};
    for (const auto& [name, mounted, held, start, minor, expected] : cases) {
        FakeSystem system;
        if (!mounted) fs::remove(system.dir.Path("proc/self/mountinfo"));
        if (mounted && *mounted)
            system.Mounted("50 26 " + std::string(mounted) + " / /data rw - ext4 /dev/x rw\n");
        if (held) system.dir.Write(system.disk + "/sda2/holders/dm-0", "");
        system.dir.Write(system.disk + "/sda3/start", std::string(start) + "\n");
        EXPECT_EQ(Summary(InspectDevice(system.roots, {8, minor})), expected) << name;
    }
}

// A file that loop devices read from is guarded as they are, each through
// its window on the file: loop0 reads disk.img whole and has its partition
// (sectors 2048-6143) mounted; loop1 reads it from sector 8192 for 2048
// sectors and is mounted whole; loop2 reads another file, and loop3 a
// deleted one, both mounted whole.
TEST(MountGuard, GuardsTheFileBehindALoopDevice) {
    ScratchFolder dir;
    const SystemRoots roots{dir.Path("sys"), dir.Path("proc"), dir.Path("dev")};
    const std::string image = dir.Write("disk.img", "x"), other = dir.Write("other.img", "y");
    const std::tuple<std::string, std::uint64_t, std::uint64_t> loops[] = {
        {image, 0, 0}, {image, 8192 * kS, 2048 * kS}, {other, 0, 0}, {image + " (deleted)", 0, 0}};
    for (int n = 0; n < 4; ++n) {
        const auto& [backing, offset, limit] = loops[n];
        const std::string folder = dir.Path("sys/block/loop" + std::to_string(n));
        dir.Write(folder + "/dev", "7:" + std::to_string(n) + "\n");
        dir.Write(folder + "/loop/backing_file", backing + "\n");
        dir.Write(folder + "/loop/offset", std::to_string(offset) + "\n");
        dir.Write(folder + "/loop/sizelimit", std::to_string(limit) + "\n");
        fs::create_directories(folder + "/holders");
        fs::create_directories(dir.Path("sys/dev/block"));
        fs::create_directory_symlink(folder, dir.Path("sys/dev/block/7:" + std::to_string(n)));
    }
    const std::string part = dir.Path("sys/block/loop0/loop0p1");
    for (const auto& [name, text] :
         {std::pair{"dev", "259:0"}, {"partition", "1"}, {"start", "2048"}, {"size", "4096"}})
        dir.Write(part + "/" + name, std::string(text) + "\n");
    std::string mounts;
    for (const char* device : {"259:0", "7:1", "7:2", "7:3"})
        mounts += "50 26 " + std::string(device) + " / /m rw - ext4 /dev/x rw\n";
    dir.Write("proc/self/mountinfo", mounts);
    struct stat st;
    ASSERT_EQ(::stat(image.c_str(), &st), 0);
    const std::vector<LoopBacking> found =
        LoopDevicesOf(roots, DevNumber{major(st.st_dev), minor(st.st_dev)}, st.st_ino);
    std::vector<std::tuple<unsigned, std::uint64_t, std::uint64_t>> seen;
    for (const LoopBacking& l : found) seen.emplace_back(l.device.minor, l.offset / kS, l.limit / kS);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (decltype(seen){{0, 0, 0}, {1, 8192, 2048}}));
    const std::tuple<std::uint64_t, std::uint64_t, bool> cases[] = {
        {0, 2048, true},   {2047, 2, false},  {6144, 2048, true},  {8191, 1, true}, {8191, 2, false},
        {10239, 1, false}, {10240, 99, true}, {6000, 5000, false}, {0, 0, true}};
    for (const auto& [lba, sectors, allowed] : cases)
        EXPECT_EQ(FileWriteAllowed(roots, found, lba * kS, sectors * kS), allowed) << lba << "+" << sectors;
}

constexpr std::uint64_t kDiskSectors = 131072;  // 64 MiB
constexpr std::uint32_t kPartStart = 2048, kPartSectors = 65536;

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool WaitFor(const std::string& path) {
    for (int i = 0; i < 40 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return fs::exists(path);
}

// A loop device over a 64 MiB image file in a temporary folder, with an ext2
// filesystem mounted either from its one partition or from the whole device.
// Only root can make one: elsewhere the test skips. Whatever happens, the
// filesystem is unmounted and the device detached at the end.
struct MountedLoopDisk {
    explicit MountedLoopDisk(bool partitioned) { skip = Start(partitioned); }
    ~MountedLoopDisk() {
        Unmount();
        if (!device.empty()) Run("losetup -d " + device);
    }
    MountedLoopDisk(const MountedLoopDisk&) = delete;
    MountedLoopDisk& operator=(const MountedLoopDisk&) = delete;
    void Unmount() { Run("umount " + dir.Path("mnt")); }  // fails harmlessly when not mounted

    std::string skip;  // why the test cannot run here
    std::string device;

    std::string Start(bool partitioned) {
        if (::geteuid() != 0) return "needs root";
        Bytes image = partitioned ? test::MakeMbr({{0, 0x83, kPartStart, kPartSectors}}) : Bytes(512, 0);
        image.resize(kDiskSectors * 512, 0);
        const std::string attach = std::string("losetup --find --show ") + (partitioned ? "-P " : "") +
                                   dir.Write("disk.img", image) + " 2>/dev/null";
        char line[256] = "";
        if (FILE* pipe = ::popen(attach.c_str(), "r")) {
            if (std::fgets(line, sizeof line, pipe) && std::strncmp(line, "/dev/loop", 9) == 0)
                device.assign(line, std::strcspn(line, "\n"));
            ::pclose(pipe);
        }
        if (device.empty()) return "no loop device";
        // The loop driver may leave the table unscanned: then ask the kernel.
        const std::string target = device + (partitioned ? "p1" : "");
        if (partitioned && !WaitFor(target) && !(Run("partx -a " + device) && WaitFor(target)))
            return "the partition of " + device + " does not show";
        fs::create_directories(dir.Path("mnt"));
        if (!Run("mkfs.ext2 -q -F " + target) || !Run("mount " + target + " " + dir.Path("mnt")))
            return "cannot make or mount a filesystem on " + target;
        return "";
    }

    ScratchFolder dir;
};

// Each write either lands or fails as busy, leaving the sectors as they were.
using WriteCase = std::tuple<std::uint64_t, std::uint32_t, bool>;  // first sector, sectors, allowed

void CheckWrites(PosixPlatform& p, FileId drive, const std::vector<WriteCase>& cases) {
    for (const auto& [lba, sectors, allowed] : cases) {
        SCOPED_TRACE(std::to_string(lba) + "+" + std::to_string(sectors));
        const std::int64_t offset = static_cast<std::int64_t>(lba * 512);
        const Bytes before = test::ReadAt(p, drive, offset, SeekOrigin::Begin, sectors * 512),
                    pattern(sectors * 512, 0xC3);
        EXPECT_EQ(test::WriteAt(p, drive, offset, pattern), allowed);
        EXPECT_TRUE(allowed || p.LastErrorText() == "Device or resource busy") << p.LastErrorText();
        EXPECT_TRUE(test::ReadAt(p, drive, offset, SeekOrigin::Begin, sectors * 512) ==
                    (allowed ? pattern : before));
    }
}

// The device's use as seen with an empty mount table: what the kernel's
// exclusive claims alone reveal.
std::string UseByClaimsOnly(const std::string& device) {
    ScratchFolder proc;
    proc.Write("self/mountinfo", "");
    return Summary(InspectDevice(SystemRoots{"/sys", proc.Path(""), "/dev"},
                                 BlockDeviceAt(device).value_or(DevNumber{})));
}

TEST(MountGuardOnLoopDevice, MountedRangesAreRefusedTheRestWritable) {
    // Sector 2 of the partition holds the ext2 superblock.
    const std::uint64_t end = kPartStart + kPartSectors;
    const std::vector<WriteCase> aroundPartition = {
        {0, 1, true},           {kPartStart - 1, 1, true},  {kPartStart - 1, 2, false},
        {kPartStart, 1, false}, {kPartStart + 2, 2, false}, {end - 1, 1, false},
        {end, 1, true},         {kDiskSectors - 1, 1, true}};
    const std::tuple<bool, std::vector<WriteCase>, std::string> modes[] = {
        {true, aroundPartition, " 2048-67584"},
        {false, {{0, 1, false}, {kPartStart, 1, false}, {kDiskSectors - 1, 1, false}}, "whole"}};
    for (const auto& [partitioned, writes, claims] : modes) {
        SCOPED_TRACE(partitioned ? "partition mounted" : "whole device mounted");
        MountedLoopDisk disk(partitioned);
        if (!disk.skip.empty()) GTEST_SKIP() << disk.skip;
        // Drive 0 is what PARTAM_DISKS names: the loop device, or the image
        // file it reads from, which is guarded as the device is.
        for (const std::string& named : {disk.dir.Path("disk.img"), disk.device}) {
            SCOPED_TRACE(named);
            test::ScopedEnv env("PARTAM_DISKS", named);
            PosixPlatform p;
            const FileId drive =
                p.OpenFile("\\\\.\\PhysicalDrive0", kGenericRead | kGenericWrite, 3, kOpenExisting, 0);
            ASSERT_NE(drive, kNoFile);
            std::uint64_t size = 0;
            EXPECT_TRUE(p.GetDriveGeometryEx(drive, size) && size == kDiskSectors * 512) << size;
            CheckWrites(p, drive, writes);
        }
        test::ScopedEnv env("PARTAM_DISKS", disk.device);
        PosixPlatform p;
        const FileId drive =
            p.OpenFile("\\\\.\\PhysicalDrive0", kGenericRead | kGenericWrite, 3, kOpenExisting, 0);
        EXPECT_EQ(UseByClaimsOnly(disk.device), claims);
        // Decided at each write: once unmounted, the same sectors are writable.
        disk.Unmount();
        CheckWrites(p, drive, {{kPartStart, 1, true}});
        p.CloseFile(drive);
    }
}

}  // namespace
}  // namespace partam::posix
