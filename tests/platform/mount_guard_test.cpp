// The write guard's parsing and decisions, against a made-up /sys and /proc.
#include "platform/posix/mount_guard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>

#include "platform/posix/block_devices.h"
#include "scratch.h"

namespace partam::posix {
namespace {

using test::ScratchFolder;
namespace fs = std::filesystem;

constexpr std::uint64_t kS = 512;

TEST(MountGuard, WriteAllowedOnlyOutsideWhatIsInUse) {
    DeviceUse use;
    use.known = true;
    use.inUse = {{2048 * kS, 6144 * kS}, {10240 * kS, 12288 * kS}};
    struct Case {
        std::uint64_t lba;
        std::uint64_t sectors;
        bool allowed;
    };
    const Case cases[] = {
        {0, 1, true},        {30, 1, true},     {2047, 1, true},     {2047, 2, false},
        {2048, 1, false},    {6143, 1, false},  {6144, 1, true},     {6144, 4096, true},
        {6144, 4097, false}, {12287, 1, false}, {12288, 1000, true}, {0, 100000, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WriteAllowed(use, c.lba * kS, c.sectors * kS), c.allowed) << c.lba << "+" << c.sectors;
    EXPECT_TRUE(WriteAllowed(use, 2048 * kS, 0));
    EXPECT_FALSE(WriteAllowed(use, ~0ull - 10, 512));  // wraps around

    DeviceUse whole;
    whole.known = true;
    whole.wholeInUse = true;
    EXPECT_FALSE(WriteAllowed(whole, 0, kS));
    EXPECT_FALSE(WriteAllowed(DeviceUse{}, 0, kS));  // unknown: nothing goes
}

TEST(MountGuard, ParsesMountInfoAndSwaps) {
    const std::string mountInfo =
        "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 shared:2 - ext3 /dev/root rw,errors=continue\n"
        "40 26 0:37 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
        "bad line\n"
        "41 26 x:y / /x rw - ext4 /dev/sdq rw\n"
        "44 26 259:0 / /media/my\\040disk rw - vfat /dev/disk\\040one rw\n";
    const std::vector<MountedDevice> mounts = ParseMountInfo(mountInfo);
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[0].device, (DevNumber{254, 0}));
    EXPECT_EQ(mounts[0].source, "/dev/vda");
    EXPECT_EQ(mounts[1].device, (DevNumber{98, 0}));
    EXPECT_EQ(mounts[1].source, "/dev/root");
    EXPECT_EQ(mounts[2].source, "cgroup2");
    EXPECT_EQ(mounts[3].device, (DevNumber{259, 0}));
    EXPECT_EQ(mounts[3].source, "/dev/disk one");

    EXPECT_EQ(ParseSwapNames("Filename\tType\tSize\tUsed\tPriority\n"
                             "/dev/sda2   partition\t8388604\t0\t-2\n"
                             "/swap\\040file file 1 0 -3\n"),
              (std::vector<std::string>{"/dev/sda2", "/swap file"}));
    EXPECT_TRUE(ParseSwapNames("Filename\tType\tSize\tUsed\tPriority\n").empty());
    EXPECT_EQ(UnescapeMountField("a\\040b\\134c\\12"), "a b\\c\\12");
}

// A disk sda (8:0) with partitions sda1 at 2048 (4096 sectors), sda2 at
// 10240 (2048) and sda3 at 20480 (1000).
struct FakeSystem {
    ScratchFolder dir;
    SystemRoots roots{dir.Path("sys"), dir.Path("proc"), dir.Path("dev")};

    FakeSystem() {
        const std::string disk =
            "sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda";
        dir.WriteText(disk + "/dev", "8:0\n");
        dir.WriteText(disk + "/size", "409600\n");
        dir.WriteText(disk + "/removable", "0\n");
        dir.WriteText(disk + "/device/vendor", "ATA     \n");
        dir.WriteText(disk + "/device/model", "Samsung SSD 860  \n");
        fs::create_directories(dir.Path(disk + "/holders"));
        Partition(disk, "sda1", 1, "2048", "4096");
        Partition(disk, "sda2", 2, "10240", "2048");
        Partition(disk, "sda3", 3, "20480", "1000");
        fs::create_directories(dir.Path("sys/dev/block"));
        fs::create_directories(dir.Path("sys/block"));
        fs::create_directories(dir.Path("dev"));
        fs::create_directory_symlink(dir.Path(disk), dir.Path("sys/dev/block/8:0"));
        fs::create_directory_symlink(dir.Path(disk + "/sda2"), dir.Path("sys/dev/block/8:2"));
        fs::create_directory_symlink(dir.Path(disk), dir.Path("sys/block/sda"));
        Mounted("");
        dir.WriteText("proc/swaps", "Filename\tType\tSize\tUsed\tPriority\n");
    }
    void Partition(const std::string& disk, const std::string& name, int minor, const char* start,
                   const char* size) {
        dir.WriteText(disk + "/" + name + "/partition", std::to_string(minor) + "\n");
        dir.WriteText(disk + "/" + name + "/dev", "8:" + std::to_string(minor) + "\n");
        dir.WriteText(disk + "/" + name + "/start", std::string(start) + "\n");
        dir.WriteText(disk + "/" + name + "/size", std::string(size) + "\n");
        fs::create_directories(dir.Path(disk + "/" + name + "/holders"));
    }
    void Mounted(const std::string& lines) {
        dir.WriteText("proc/self/mountinfo", "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n" + lines);
    }
    std::string Disk() const { return fs::canonical(dir.Path("sys/block/sda")).string(); }
};

std::vector<std::uint64_t> FirstSectors(const DeviceUse& use) {
    std::vector<std::uint64_t> sectors;
    for (const ByteRange& r : use.inUse) sectors.push_back(r.first / kS);
    std::sort(sectors.begin(), sectors.end());
    return sectors;
}

TEST(MountGuard, InspectsPartitionsOfTheDisk) {
    FakeSystem system;
    DeviceUse use = InspectDevice(system.roots, {8, 0});
    EXPECT_TRUE(use.known);
    EXPECT_FALSE(use.wholeInUse);
    EXPECT_TRUE(use.inUse.empty());

    // sda1 mounted; sda2 holds a device-mapper volume.
    system.Mounted("50 26 8:1 / /data rw - ext4 /dev/sda1 rw\n");
    system.dir.WriteText(system.Disk() + "/sda2/holders/dm-0", "");
    use = InspectDevice(system.roots, {8, 0});
    EXPECT_TRUE(use.known);
    EXPECT_FALSE(use.wholeInUse);
    EXPECT_EQ(FirstSectors(use), (std::vector<std::uint64_t>{2048, 10240}));
    EXPECT_EQ(use.inUse.size(), 2u);
    EXPECT_TRUE(WriteAllowed(use, 0, kS));
    EXPECT_FALSE(WriteAllowed(use, 6143 * kS, kS));
    EXPECT_TRUE(WriteAllowed(use, 20480 * kS, kS));  // sda3: not in use

    // A partition opened as a device of its own is whole-in-use when held.
    EXPECT_TRUE(InspectDevice(system.roots, {8, 2}).wholeInUse);

    system.Mounted("50 26 8:0 / /data rw - ext4 /dev/sda rw\n");
    EXPECT_TRUE(InspectDevice(system.roots, {8, 0}).wholeInUse);
}

TEST(MountGuard, UnknownStateRefusesEverything) {
    {
        FakeSystem system;
        EXPECT_FALSE(InspectDevice(system.roots, {8, 16}).known);  // not in /sys
    }
    {
        FakeSystem system;
        fs::remove(system.dir.Path("proc/self/mountinfo"));
        EXPECT_FALSE(InspectDevice(system.roots, {8, 0}).known);
    }
    {
        FakeSystem system;
        system.dir.WriteText(system.Disk() + "/sda3/start", "lots\n");
        EXPECT_FALSE(InspectDevice(system.roots, {8, 0}).known);
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
    EXPECT_TRUE(use.known);
    EXPECT_TRUE(use.wholeInUse);
    const std::string disk = DiskFolderOf(folder);
    if (disk == folder) return;
    // Root on a partition: its disk refuses that partition's range.
    const auto diskNumber = ParseDevNumber(ReadSmallFile(disk + "/dev").value_or(""));
    const auto start = ParseUnsigned(ReadSmallFile(folder + "/start").value_or(""));
    ASSERT_TRUE(diskNumber && start);
    EXPECT_FALSE(WriteAllowed(InspectDevice(SystemRoots(), *diskNumber), *start * kS, kS));
}

TEST(BlockDevices, DrivesAndHowTheyNameThemselves) {
    for (const char* name : {"sda", "sdaa", "nvme0n1", "mmcblk0", "vda", "hdb", "xvda"})
        EXPECT_TRUE(IsDriveName(name)) << name;
    for (const char* name : {"loop0", "ram1", "zram0", "dm-3", "md127", "sr0", "fd0", ""})
        EXPECT_FALSE(IsDriveName(name)) << name;

    struct Case {
        const char* path;
        const char* name;
        const char* bus;
    };
    const Case buses[] = {
        {"/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb", "sdb",
         "USB"},
        {"/sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda", "sda", "IDE"},
        {"/sys/devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1", "nvme0n1", "NVMe"},
        {"/sys/devices/pci0000:00/0000:00:10.0/host2/target2:0:0/2:0:0:0/block/sdc", "sdc", "SCSI"},
        {"/sys/devices/pci0000:00/0000:00:05.0/virtio2/block/vda", "vda", "SCSI"},
    };
    for (const Case& c : buses) EXPECT_EQ(BusOfDevicePath(c.path, c.name), c.bus) << c.path;

    EXPECT_EQ(JoinDescription("ATA     ", "Samsung SSD 860  \n", "sda"), "ATA Samsung SSD 860");
    EXPECT_EQ(JoinDescription("", " WDC WD10 ", "sda"), "WDC WD10");
    EXPECT_EQ(JoinDescription("QEMU", "", "sda"), "QEMU");
    EXPECT_EQ(JoinDescription(" ", "\n", "loop0"), "loop0");

    FakeSystem system;
    for (const char* name : {"sdb", "loop0", "nvme0n1", "sr0", "sdc", "zram0"})
        system.dir.WriteText(std::string("sys/block/") + name + "/size",
                             std::string(name) == "sdc" ? "0\n" : "8\n");
    EXPECT_EQ(ListDriveNames(system.roots), (std::vector<std::string>{"nvme0n1", "sda", "sdb"}));
    const DriveIdentity identity = BlockDeviceIdentity(SysFolderOf(system.roots, {8, 2}));
    EXPECT_EQ(identity.bus, "IDE");
    EXPECT_EQ(identity.description, "ATA Samsung SSD 860");
    EXPECT_FALSE(IsRemovable(system.Disk()));
    system.dir.WriteText(system.Disk() + "/removable", "1\n");
    EXPECT_TRUE(IsRemovable(system.Disk() + "/sda1"));
}

}  // namespace
}  // namespace partam::posix
