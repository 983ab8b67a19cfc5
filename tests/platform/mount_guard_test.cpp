// The write guard's parsing and decisions, against a made-up /sys and /proc.
#include "platform/posix/mount_guard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <functional>

#include "platform/posix/block_devices.h"
#include "scratch.h"

namespace partam::posix {
namespace {

namespace fs = std::filesystem;
constexpr std::uint64_t kS = 512;

TEST(MountGuard, WriteAllowedOnlyOutsideWhatIsInUse) {
    const DeviceUse use{true, false, {{2048 * kS, 6144 * kS}, {10240 * kS, 12288 * kS}}};
    const std::tuple<std::uint64_t, std::uint64_t, bool> cases[] = {
        {0, 1, true},       {2047, 1, true},     {2047, 2, false},  {2048, 1, false},    {6143, 1, false},
        {6144, 4096, true}, {6144, 4097, false}, {12287, 1, false}, {12288, 1000, true}, {0, 100000, false}};
    for (const auto& [lba, sectors, allowed] : cases)
        EXPECT_EQ(WriteAllowed(use, lba * kS, sectors * kS), allowed) << lba << "+" << sectors;
    EXPECT_TRUE(WriteAllowed(use, 2048 * kS, 0));
    EXPECT_FALSE(WriteAllowed(use, ~0ull - 10, 512));  // wraps around
    EXPECT_FALSE(WriteAllowed(DeviceUse{true, true, {}}, 0, kS));
    EXPECT_FALSE(WriteAllowed(DeviceUse{}, 0, kS));  // unknown: nothing goes
}

TEST(MountGuard, ParsesMountInfoAndSwaps) {
    const std::vector<MountedDevice> mounts = ParseMountInfo(
        "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 shared:2 - ext3 /dev/root rw,errors=continue\n"
        "40 26 0:37 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
        "bad line\n"
        "41 26 x:y / /x rw - ext4 /dev/sdq rw\n"
        "44 26 259:0 / /media/my\\040disk rw - vfat /dev/disk\\040one rw\n");
    std::vector<std::tuple<unsigned, unsigned, std::string>> seen;
    for (const MountedDevice& m : mounts) seen.emplace_back(m.device.major, m.device.minor, m.source);
    EXPECT_EQ(seen, (decltype(seen){{98, 0, "/dev/root"}, {0, 37, "cgroup2"}, {259, 0, "/dev/disk one"}}));
    EXPECT_EQ(ParseSwapNames("Filename\tType\tSize\tUsed\tPriority\n"
                             "/dev/sda2   partition\t8388604\t0\t-2\n"
                             "/swap\\040file file 1 0 -3\n"),
              (std::vector<std::string>{"/dev/sda2", "/swap file"}));
    EXPECT_EQ(UnescapeMountField("a\\040b\\134c\\12"), "a b\\c\\12");
}

// A disk sda (8:0) with partitions sda1 at 2048 (4096 sectors), sda2 at
// 10240 (2048) and sda3 at 20480 (1000).
struct FakeSystem {
    test::ScratchFolder dir;
    SystemRoots roots{dir.Path("sys"), dir.Path("proc"), dir.Path("dev")};
    const std::string disk =
        dir.Path("sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda");

    FakeSystem() {
        Device("", "8:0", "409600");
        dir.WriteText(disk + "/removable", "0\n");
        dir.WriteText(disk + "/device/vendor", "ATA     \n");
        dir.WriteText(disk + "/device/model", "Samsung SSD 860  \n");
        const char* parts[][2] = {{"2048", "4096"}, {"10240", "2048"}, {"20480", "1000"}};
        for (int i = 1; i <= 3; ++i) {
            const std::string name = "/sda" + std::to_string(i);
            Device(name, "8:" + std::to_string(i), parts[i - 1][1]);
            dir.WriteText(disk + name + "/partition", std::to_string(i) + "\n");
            dir.WriteText(disk + name + "/start", std::string(parts[i - 1][0]) + "\n");
        }
        for (const char* link : {"sys/dev/block/8:0", "sys/block/sda"}) Link(disk, link);
        Link(disk + "/sda2", "sys/dev/block/8:2");
        Mounted("");
        dir.WriteText("proc/swaps", "Filename\tType\tSize\tUsed\tPriority\n");
    }
    void Device(const std::string& name, const std::string& number, const std::string& size) {
        dir.WriteText(disk + name + "/dev", number + "\n");
        dir.WriteText(disk + name + "/size", size + "\n");
        fs::create_directories(disk + name + "/holders");
    }
    void Link(const std::string& target, const std::string& link) {
        fs::create_directories(fs::path(dir.Path(link)).parent_path());
        fs::create_directory_symlink(target, dir.Path(link));
    }
    void Mounted(const std::string& lines) {
        dir.WriteText("proc/self/mountinfo", "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n" + lines);
    }
};

TEST(MountGuard, InspectsPartitionsOfTheDisk) {
    FakeSystem system;
    DeviceUse use = InspectDevice(system.roots, {8, 0});
    EXPECT_TRUE(use.known && !use.wholeInUse && use.inUse.empty());

    // sda1 mounted; sda2 holds a device-mapper volume; sda3 is free.
    system.Mounted("50 26 8:1 / /data rw - ext4 /dev/sda1 rw\n");
    system.dir.WriteText(system.disk + "/sda2/holders/dm-0", "");
    use = InspectDevice(system.roots, {8, 0});
    EXPECT_TRUE(use.known && !use.wholeInUse);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    for (const ByteRange& r : use.inUse) ranges.emplace_back(r.first / kS, r.end / kS);
    std::sort(ranges.begin(), ranges.end());
    EXPECT_EQ(ranges, (decltype(ranges){{2048, 6144}, {10240, 12288}}));

    // A partition opened as a device of its own is whole-in-use when held.
    EXPECT_TRUE(InspectDevice(system.roots, {8, 2}).wholeInUse);
    system.Mounted("50 26 8:0 / /data rw - ext4 /dev/sda rw\n");
    EXPECT_TRUE(InspectDevice(system.roots, {8, 0}).wholeInUse);
}

TEST(MountGuard, UnknownStateRefusesEverything) {
    const std::pair<unsigned, std::function<void(FakeSystem&)>> cases[] = {
        {16, [](FakeSystem&) {}},  // not in /sys
        {0, [](FakeSystem& s) { fs::remove(s.dir.Path("proc/self/mountinfo")); }},
        {0, [](FakeSystem& s) { s.dir.WriteText(s.disk + "/sda3/start", "lots\n"); }}};
    for (const auto& [minor, change] : cases) {
        FakeSystem system;
        change(system);
        EXPECT_FALSE(InspectDevice(system.roots, {8, minor}).known);
    }
}

// Read-only: asks about the device this machine runs from, writes nothing.
TEST(MountGuard, TheRunningSystemsDeviceIsInUse) {
    struct stat st;
    ASSERT_EQ(::stat("/", &st), 0);
    const DevNumber root{major(st.st_dev), minor(st.st_dev)};
    const std::string folder = SysFolderOf(SystemRoots(), root);
    if (root.major == 0 || folder.empty()) GTEST_SKIP() << "the root filesystem is on no block device";
    const DeviceUse use = InspectDevice(SystemRoots(), root);
    EXPECT_TRUE(use.known && use.wholeInUse);
    const std::string disk = DiskFolderOf(folder);
    if (disk == folder) return;
    // Root on a partition: its disk refuses that partition's range.
    const auto diskNumber = ParseDevNumber(ReadSmallFile(disk + "/dev").value_or(""));
    const auto start = ParseUnsigned(ReadSmallFile(folder + "/start").value_or(""));
    ASSERT_TRUE(diskNumber && start);
    EXPECT_FALSE(WriteAllowed(InspectDevice(SystemRoots(), *diskNumber), *start * kS, kS));
}

TEST(BlockDevices, DrivesAndHowTheyNameThemselves) {
    for (const char* name : {"sda", "sdaa", "nvme0n1", "mmcblk0", "vda", "xvda"})
        EXPECT_TRUE(IsDriveName(name)) << name;
    for (const char* name : {"loop0", "ram1", "zram0", "dm-3", "md127", "sr0", ""})
        EXPECT_FALSE(IsDriveName(name)) << name;
    const std::string pci = "/sys/devices/pci0000:00/";
    EXPECT_EQ(
        BusOfDevicePath(pci + "0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb", "sdb"),
        "USB");
    EXPECT_EQ(BusOfDevicePath(pci + "0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1", "nvme0n1"), "NVMe");
    EXPECT_EQ(BusOfDevicePath(pci + "0000:00:05.0/virtio2/block/vda", "vda"), "SCSI");
    EXPECT_EQ(JoinDescription("", " WDC WD10 ", "sda"), "WDC WD10");
    EXPECT_EQ(JoinDescription(" ", "\n", "loop0"), "loop0");

    FakeSystem system;
    for (const char* name : {"sdb", "loop0", "nvme0n1", "sr0", "zram0"})
        system.dir.WriteText(std::string("sys/block/") + name + "/size", "8\n");
    system.dir.WriteText("sys/block/sdc/size", "0\n");
    EXPECT_EQ(ListDriveNames(system.roots), (std::vector<std::string>{"nvme0n1", "sda", "sdb"}));
    const DriveIdentity identity = BlockDeviceIdentity(SysFolderOf(system.roots, {8, 2}));
    EXPECT_EQ(identity.bus, "IDE");
    EXPECT_EQ(identity.description, "ATA Samsung SSD 860");
    EXPECT_FALSE(IsRemovable(system.disk));
    system.dir.WriteText(system.disk + "/removable", "1\n");
    EXPECT_TRUE(IsRemovable(system.disk + "/sda1"));
}

}  // namespace
}  // namespace partam::posix
