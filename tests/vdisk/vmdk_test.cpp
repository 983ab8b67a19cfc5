#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "base/text.h"
#include "disk/disk.h"
#include "support/fake_platform.h"
#include "support/images.h"
#include "vdisk/descriptor.h"
#include "vdisk/open_vmdk.h"
#include "vdisk/vmdk_device.h"

namespace partam {
namespace {

using test::Bytes;
using test::PutSector;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string Descriptor(const std::string& type, const std::string& extents, const std::string& ddb) {
    return "# Disk DescriptorFile\nversion=1\nCID=fffffffe\nparentCID=ffffffff\ncreateType=\"" + type +
           "\"\n\n# Extent description\n" + extents + "\n# The Disk Data Base\n#DDB\n\n" + ddb;
}
const std::string kGeometry =
    "ddb.geometry.cylinders = \"2\"\nddb.geometry.heads = \"16\"\nddb.geometry.sectors = \"63\"\n";

// The bytes a sparse test disk holds in virtual sector s.
std::uint8_t Fill(std::uint64_t s) { return static_cast<std::uint8_t>(s * 7 + 1); }

// A sparse extent of 2,048 sectors: grains of 8 sectors, tables of 128
// entries (one sector each, so table 1 covers sectors 1,024 on). Header at
// 0, directory at 1, redundant directory at 2, tables at 3-4 and their
// copies at 5-6, grains from the overhead (8) on in the order given.
Bytes Sparse(const std::vector<std::uint32_t>& grains, bool secondTable = true) {
    Bytes f(8 * 512, 0);
    std::uint8_t* h = f.data();
    std::copy_n("KDMV", 4, h);
    StoreLe32(h + 4, 1), StoreLe32(h + 8, 3), StoreLe64(h + 12, 2048), StoreLe64(h + 20, 8);
    StoreLe32(h + 44, 128), StoreLe64(h + 48, 2), StoreLe64(h + 56, 1), StoreLe64(h + 64, 8);
    for (std::uint32_t t = 0; t < (secondTable ? 2u : 1u); ++t) {
        StoreLe32(&f[512 + t * 4], 3 + t);
        StoreLe32(&f[1024 + t * 4], 5 + t);
    }
    for (const std::uint32_t g : grains) {
        const auto at = static_cast<std::uint32_t>(f.size() / 512);
        StoreLe32(&f[(3 + g / 128) * 512 + (g % 128) * 4], at);
        StoreLe32(&f[(5 + g / 128) * 512 + (g % 128) * 4], at);
        for (std::uint64_t s = g * 8; s < g * 8 + 8; ++s) f.insert(f.end(), 512, Fill(s));
    }
    return f;
}

struct Opened {
    int code;
    std::string interfaceText, description;
    std::uint64_t sectors;
    std::uint32_t cylinders;
};

Opened No(int code) { return {code, "", "", 0, 0}; }

Opened Open(FakePlatform& fake, const std::string& path) {
    VirtualDiskOpening o = OpenVmdk(fake, path);
    GeometryResult g;
    if (o.device) o.device->QueryGeometry(g);
    return {o.code, o.interfaceText, o.description, g.totalSectors, g.cylinders};
}

// Lines cut anywhere between two pieces read as whole lines; the text ends
// at its first NUL; a line longer than any descriptor line refuses it.
TEST(VmdkTest, DescriptorTextInPieces) {
    const std::string text = Descriptor(
        "monolithicSparse", "RW 2048 SPARSE \"a b.vmdk\"\nrdonly 8 flat \"f.vmdk\" 7\nRW 16 ZERO\n",
        kGeometry + "ddb.adapterType = \"ide\"\r\n");
    using Line = std::tuple<ExtentAccess, std::uint64_t, ExtentKind, std::string, std::uint64_t>;
    const std::vector<Line> want = {{ExtentAccess::ReadWrite, 2048, ExtentKind::Sparse, "a b.vmdk", 0},
                                    {ExtentAccess::ReadOnly, 8, ExtentKind::Flat, "f.vmdk", 7},
                                    {ExtentAccess::ReadWrite, 16, ExtentKind::Zero, "", 0}};
    for (const std::size_t piece : {1u, 5u, 2048u}) {
        DescriptorParser parser;
        for (std::size_t at = 0; at < text.size(); at += piece)
            parser.Feed(std::string_view(text).substr(at, piece));
        const VmdkDescriptor d = parser.Finish();
        std::vector<Line> got;
        for (const ExtentLine& e : d.extents)
            got.emplace_back(e.access, e.sectors, e.kind, e.fileName, e.offset);
        EXPECT_EQ(want, got);
        EXPECT_EQ(
            std::tuple(true, std::string("monolithicSparse"), std::string("ide"), 2u, 16u, 63u, 2072ull, 0),
            std::tuple(d.marker, *d.createType, *d.adapterType, d.cylinders, d.heads, d.sectorsPerTrack,
                       d.TotalSectors(), d.problem));
    }
    DescriptorParser cut, overlong;
    EXPECT_FALSE(cut.Feed(std::string_view("# Disk DescriptorFile\n\0RW 8 FLAT \"x\" 0\n", 39)));
    EXPECT_TRUE(cut.Finish().extents.empty());
    overlong.Feed("# Disk DescriptorFile\n#" + std::string(kMaxDescriptorLine, '.'));
    overlong.Feed("\nRW 8 FLAT \"x\" 0\n");
    const VmdkDescriptor refused = overlong.Finish();
    EXPECT_EQ(std::tuple(567, std::size_t{1}), std::tuple(refused.problem, refused.extents.size()));
}

TEST(VmdkTest, DescriptorsAndTheirRefusals) {
    const std::string flat = "RW 4096 FLAT \"d-flat.vmdk\" 0\n";
    Bytes kdmvOnly(1024, 0);
    std::copy_n("KDMV", 4, kdmvOnly.begin());
    // A comment that puts the createType key across the first 2,048 bytes.
    std::string split = Descriptor("monolithicFlat", flat, kGeometry);
    split.insert(22, "#" + std::string(2048 - 5 - split.find("createType") - 2, '.') + "\n");
    struct Case {
        std::string path;
        Bytes file;
        Opened want;
    } cases[] = {
        // A raw image and a missing extent are vdisk.sh's.
        // clang-format off
        {"C:\\vm\\d.vmdk", Text(Descriptor("MONOLITHICFLAT", flat, kGeometry + "ddb.adapterType = \"ide\"")),
         {0, "IDE", "VMware Pre-allocated Flat Disk File", 4096, 2}},
        {"d.vmdk", Text(Descriptor("twoGbMaxExtentFlat", flat, kGeometry + "ddb.adapterType=\"lsilogic\"")),
         {0, "SCSI", "VMware Pre-allocated 2GB Flat Disk File", 4096, 2}},
        {"C:\\vm\\d.vmdk", Text(Descriptor("monolithicFlat", flat, "ddb.adapterType = \"buslogic\"")),
         {0, "SCSI", "VMware Pre-allocated Flat Disk File", 4096, 0}},
        {"C:\\vm\\d.vmdk", Text(Descriptor("monolithicFlat", flat, kGeometry + "ddb.adapterType = \"lsisas1068\"")),
         {0, "UNKNOWN", "VMware Pre-allocated Flat Disk File", 4096, 2}},
        {"C:\\vm\\split.vmdk", Text(split), {0, "", "VMware Pre-allocated Flat Disk File", 4096, 2}},
        {"C:\\vm\\empty.vmdk", Bytes(), No(302)},
        {"C:\\vm\\s001.vmdk", kdmvOnly, No(302)},
        {"C:\\vm\\d.vmdk", Text(Descriptor("monolithic", flat, kGeometry)), No(304)},
        {"C:\\vm\\d.vmdk", Text(Descriptor("vmfs", "RW 8 FLAT \"gone.vmdk\" 0\n", "")), No(304)},
        {"C:\\vm\\d.vmdk", Text("# Disk DescriptorFile\nparentCID=1234abcd\ncreateType=\"monolithicSparse\"\n"), No(304)},
        {"C:\\vm\\d.vmdk", Text(Descriptor("monolithicFlat", "", kGeometry)), No(303)},
        {"d.vmdk", Text(Descriptor("monolithicFlat", "RW 8 FLAT \"\\\\.\\PhysicalDrive0\" 0\n", "")), No(303)},
        {"C:\\vm\\d.vmdk", Text(Descriptor("monolithicFlat", "RW 4096 FLAT \"d-flat.vmdk\" 1\n", "")), No(568)},
        {"C:\\vm\\d.vmdk", Text(Descriptor("monolithicSparse", "RW 4096 SPARSE \"s.vmdk\"\n", "")), No(568)},
        {"C:\\vm\\d.vmdk", Text(Descriptor("monolithicFlat", "RW 4096 FLAT d-flat.vmdk\n", "")), No(567)},
        {"C:\\vm\\d.vmdk", Text(Descriptor("monolithicSparse", "RW 2048 SPARSE \"bad.vmdk\"\n", "")), No(567)},
        {"C:\\vm\\d.vmdk", Text(Descriptor("monolithicSparse", "RW 2048 SPARSE \"low.vmdk\"\n", "")), No(567)},
        {"C:\\vm\\d.vmdk", Text(Descriptor("monolithicFlat", "RW 18446744073709555712 FLAT \"d-flat.vmdk\" 0\n", "")),
         No(568)},
        {"C:\\vm\\d.vmdk", Text(Descriptor("twoGbMaxExtentSparse", "RW 2048 SPARSE \"s.vmdk\"\nRW 2048 SPARSE \"S.vmdk\"\n", "")),
         No(567)},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        FakePlatform fake;
        fake.AddDrive(0, 100);
        fake.AddFile(c.path, c.file);
        fake.AddFile(c.path.find('\\') == std::string::npos ? "d-flat.vmdk" : "C:\\vm\\d-flat.vmdk",
                     Bytes(4096 * 512));
        fake.AddFile("C:\\vm\\s.vmdk", Sparse({}));
        Bytes bad = Sparse({});
        bad[20] = 3;  // a grain of 3 sectors
        fake.AddFile("C:\\vm\\bad.vmdk", bad);
        Bytes low = Sparse({});
        StoreLe64(&low[64], 1);  // grains from sector 1, over the directories
        fake.AddFile("C:\\vm\\low.vmdk", low);
        const Opened got = Open(fake, c.path);
        EXPECT_EQ(
            std::tie(c.want.code, c.want.interfaceText, c.want.description, c.want.sectors, c.want.cylinders),
            std::tie(got.code, got.interfaceText, got.description, got.sectors, got.cylinders));
        EXPECT_EQ(0u, fake.OpenHandleCount());
        EXPECT_TRUE(fake.writes.empty());
    }
}

// Grains are read where their table puts them; new grains and tables, in
// both copies, are the crash-safe order test's (and qemu-img's in vdisk.sh).
TEST(VmdkTest, SparseGrainsAreMapped) {
    FakePlatform fake;
    fake.AddDrive(0, 100);
    // Grain 3 lies in the file before grain 1; grain 2 has no place.
    fake.AddFile("C:\\vm\\d.vmdk",
                 Text(Descriptor("monolithicSparse", "RW 2048 SPARSE \"d-s.vmdk\"", kGeometry)));
    FakeFile& file = fake.AddFile("C:\\vm\\d-s.vmdk", Sparse({3, 1}, false));
    VirtualDiskOpening o = OpenVmdk(fake, "C:\\vm\\d.vmdk");
    ASSERT_EQ(0, o.code);
    SectorDevice& device = *o.device;
    Bytes got(24 * 512), want(24 * 512, 0);
    for (std::uint64_t s = 8; s < 32; ++s)
        if (s < 16 || s >= 24)
            std::fill_n(want.begin() + static_cast<std::ptrdiff_t>((s - 8) * 512), 512, Fill(s));
    ASSERT_TRUE(device.ReadSectors(got.data(), 8, 24));
    EXPECT_EQ("", test::DiffSectors(want, got, 0, 24));
    // Where data follows: grains without a place and a table the directory
    // does not name are passed over.
    for (const auto& [from, want] : std::vector<std::pair<std::uint64_t, std::uint64_t>>{
             {0, 8}, {9, 9}, {16, 24}, {32, 2048}, {2048, 2048}}) {
        std::uint64_t next = 0;
        EXPECT_TRUE(device.NextData(from, next) && next == want) << from << ": " << next;
    }

    // Zeros where the disk reads zeros: nothing is written.
    const Bytes zeros(1024, 0), data(1024, 0xAB);
    EXPECT_TRUE(device.WriteSectors(zeros.data(), 20, 2));
    EXPECT_EQ(std::tuple(0u, 24u * 512), std::tuple(fake.writes.size(), file.data.size()));
    // Past the disk's end nothing moves.
    EXPECT_FALSE(device.ReadSectors(got.data(), 2047, 2));
    EXPECT_FALSE(device.WriteSectors(data.data(), 2047, 2));
}

// A command through the disk object writes every sector of table 0's span
// (126 grains new, two rewritten, one sector twice) and a sector under table
// 1, which neither directory names. The tables change once it is done
// (FinishWrites): each changed table and directory sector written once per
// copy, after the grains are on the medium, the redundant copy on the
// medium before the primary one, and the header's unclean-shutdown byte set
// around them. A write that fails stops the sequence where it stands.
TEST(VmdkTest, TableChangesWrittenOnceInACrashSafeOrder) {
    struct Case {
        std::uint64_t failSector;  // 0: none fails; the header's write can fail only when it is written
        bool uncleanBefore;
        int code;
        std::string order;  // H header, G grains, R redundant tables, P tables, F flush; runs as one
        std::uint8_t unclean;
        std::uint32_t redundantEntry, entry;  // of grain 0
    } cases[] = {
        {UINT64_MAX, false, 0, "GHFRFPFHF", 0, 24, 24},
        {UINT64_MAX, true, 0, "GFRFPF", 1, 24, 24},  // found set: left for a check
        {0, false, 505, "GH", 0, 0, 0},
        {5, false, 505, "GHFR", 1, 0, 0},
        {3, false, 505, "GHFRFP", 1, 24, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.order);
        FakePlatform fake;
        fake.AddDrive(0, 100);
        fake.AddFile("C:\\vm\\d.vmdk",
                     Text(Descriptor("monolithicSparse", "RW 2048 SPARSE \"d-s.vmdk\"", kGeometry)));
        FakeFile& file = fake.AddFile("C:\\vm\\d-s.vmdk", Sparse({3, 1}, false));
        file.data[SparseHeader::kUncleanShutdown] = c.uncleanBefore;
        mDisk disk(fake, 0, {}, OpenVmdk);
        ASSERT_EQ(0, disk.UseVirtual("C:\\vm\\d.vmdk"));
        if (c.failSector != UINT64_MAX) file.failWriteAt.insert(c.failSector * 512);
        Bytes data(1024 * 512);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i / 512 + 1);
        EXPECT_EQ(0, disk.WriteSectors(data.data(), 0, 1024));
        EXPECT_EQ(0, disk.WriteSectors(&data[100 * 512], 100, 1));
        EXPECT_EQ(0, disk.WriteSectors(&data[1500 % 1024 * 512], 1500, 1));
        const std::size_t before = fake.writes.size();
        EXPECT_EQ(c.code, disk.FinishWrites());

        // Grains 0, 2, 4 ... 126 from sector 24 on, then table 1 at 1032 and
        // its copy at 1033, then grain 187.
        auto kind = [](std::uint64_t sector) {
            return sector == 0                                    ? 'H'
                   : sector == 2 || sector == 5 || sector == 1033 ? 'R'
                   : sector == 1 || sector == 3 || sector == 1032 ? 'P'
                                                                  : 'G';
        };
        std::string order;
        std::map<std::uint64_t, int> tableWrites;
        std::size_t flush = 0;
        for (std::size_t w = 0; w <= fake.writes.size(); ++w) {
            for (; flush < fake.flushes.size() && fake.flushes[flush].afterWrites == w; ++flush)
                if (fake.flushes[flush].path == file.path) order += 'F';
            if (w == fake.writes.size() || fake.writes[w].path != file.path) continue;
            const char k = kind(fake.writes[w].offset / 512);
            if (order.empty() || order.back() != k) order += k;
            if (k == 'R' || k == 'P') ++tableWrites[fake.writes[w].offset];
        }
        EXPECT_EQ(c.order, order);
        EXPECT_TRUE(
            std::all_of(tableWrites.begin(), tableWrites.end(), [](const auto& t) { return t.second == 1; }));
        EXPECT_EQ(std::tuple(c.unclean, c.redundantEntry, c.entry),
                  std::tuple(file.data[SparseHeader::kUncleanShutdown], LoadLe32(&file.data[5 * 512]),
                             LoadLe32(&file.data[3 * 512])));
        // Nothing is left to write, nor written again.
        if (c.code == 0) {
            EXPECT_TRUE(disk.Flush());
            EXPECT_EQ(before + (c.uncleanBefore ? 6u : 8u), fake.writes.size());
            const VirtualDiskOpening again = OpenVmdk(fake, "C:\\vm\\d.vmdk");
            Bytes back(data.size());
            EXPECT_TRUE(again.device->ReadSectors(back.data(), 0, 1024));
            if (back != data) ADD_FAILURE() << test::DiffSectors(data, back, 0, 1024);
        }
    }
}

// More extents than files kept open: a file is opened again when it is
// needed, and one closed after a write was flushed first, once.
TEST(VmdkTest, ManyExtentsFewOpenFiles) {
    FakePlatform fake;
    std::string lines;
    std::vector<FakeFile*> files;
    for (int i = 0; i < 40; ++i) {
        lines += Format("RW 1 FLAT \"e%d.vmdk\" 0\n", i);
        files.push_back(&fake.AddFile(Format("e%d.vmdk", i), Bytes(512)));
    }
    fake.AddFile("d.vmdk", Text(Descriptor("twoGbMaxExtentFlat", lines, "")));
    VirtualDiskOpening o = OpenVmdk(fake, "d.vmdk");
    ASSERT_EQ(0, o.code);
    Bytes data(40 * 512), back(40 * 512);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i / 512 + 1);
    EXPECT_TRUE(o.device->WriteSectors(data.data(), 0, 40));
    EXPECT_EQ(VmdkDevice::kMaxOpenFiles, fake.OpenHandleCount());
    EXPECT_TRUE(o.device->ReadSectors(back.data(), 0, 40) && back == data);
    EXPECT_TRUE(o.device->Flush());
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(std::tuple(1, Bytes(512, static_cast<std::uint8_t>(i + 1))),
                  std::tuple(files[i]->flushCount, files[i]->data));
}

}  // namespace
}  // namespace partam
