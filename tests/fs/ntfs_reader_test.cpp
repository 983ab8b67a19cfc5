// The raw NTFS label reader on crafted volumes: record 3 is built attribute
// by attribute, protected by its update sequence as NTFS writes it, and
// then spoilt in the ways a damaged or hostile volume can be.
#include "fs/ntfs_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/endian.h"
#include "fs/volume_label.h"
#include "support/fake_platform.h"

namespace partam {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The volume: 512-byte clusters from sector 64 on, 2,000 of them, the MFT
// at cluster 16, so record 3 (1,024 bytes) lies at sector 64 + 22.
constexpr std::uint64_t kStart = 64;
constexpr std::size_t kRecordAt = (kStart + 22) * 512;
constexpr std::uint64_t kNameCluster = 100;

Bytes Utf16(const std::u16string& text) {
    Bytes out;
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return out;
}

Bytes Resident(std::uint32_t type, const Bytes& value) {
    Bytes a(24);
    StoreLe32(&a[0], type);
    StoreLe32(&a[4], static_cast<std::uint32_t>(24 + value.size()));
    StoreLe32(&a[16], static_cast<std::uint32_t>(value.size()));
    StoreLe16(&a[20], 24);
    a.insert(a.end(), value.begin(), value.end());
    return a;
}

// A value of one cluster at kNameCluster.
Bytes NonResident(std::uint32_t type, std::uint64_t dataSize, Bytes runs = {0x11, 0x01, kNameCluster, 0}) {
    Bytes a(64 + runs.size());
    StoreLe32(&a[0], type);
    StoreLe32(&a[4], static_cast<std::uint32_t>(a.size()));
    a[8] = 1;
    StoreLe16(&a[32], 64);
    StoreLe64(&a[40], 512);
    StoreLe64(&a[48], dataSize);
    std::copy(runs.begin(), runs.end(), a.begin() + 64);
    return a;
}

Bytes FileName(const std::u16string& name) {
    Bytes v(66);
    v[64] = static_cast<std::uint8_t>(name.size());
    const Bytes n = Utf16(name);
    v.insert(v.end(), n.begin(), n.end());
    return Resident(kAttrFileName, v);
}

// The record as NTFS writes it: attributes from 0x38, the end marker, and
// the last two bytes of each stride swapped for the sequence number 0x0007.
Bytes Record(const std::vector<Bytes>& attributes) {
    Bytes r(1024);
    std::copy_n("FILE", 4, r.begin());
    StoreLe16(&r[4], 0x30);
    StoreLe16(&r[6], 3);
    StoreLe16(&r[20], 0x38);
    std::size_t at = 0x38;
    for (const Bytes& a : attributes) {
        std::copy(a.begin(), a.end(), r.begin() + static_cast<std::ptrdiff_t>(at));
        at += a.size();
    }
    StoreLe32(&r[at], kAttrEnd);
    StoreLe32(&r[24], static_cast<std::uint32_t>(at + 8));
    StoreLe16(&r[0x30], 7);
    for (int stride = 0; stride < 2; ++stride) {
        const std::size_t tail = 510 + 512 * static_cast<std::size_t>(stride);
        r[0x32 + 2 * stride] = r[tail];
        r[0x33 + 2 * stride] = r[tail + 1];
        StoreLe16(&r[tail], 7);
    }
    return r;
}

struct Volume {
    FakePlatform platform;
    FakeFile& drive = platform.AddDrive(0, 4096);
    std::unique_ptr<mDisk> disk;

    explicit Volume(const Bytes& record) {
        std::uint8_t* boot = &drive.data[kStart * 512];
        std::copy_n("\xEB\x52\x90NTFS    ", 11, boot);
        StoreLe16(boot + 11, 512);
        boot[13] = 1;
        StoreLe64(boot + 40, 1999);
        StoreLe64(boot + 48, 16);
        boot[64] = 0xF6;  // records of 2^10 bytes
        std::copy(record.begin(), record.end(), drive.data.begin() + kRecordAt);
        const Bytes name = Utf16(u"Outside");
        std::copy(name.begin(), name.end(), drive.data.begin() + (kStart + kNameCluster) * 512);
    }
    mDisk& Disk() {
        if (!disk) disk = std::make_unique<mDisk>(platform, 0);
        return *disk;
    }
};

// The name starts 24 bytes into its attribute; a pad attribute puts it at
// byte 500 of the record, so that it runs across the stride's end at 510.
Bytes PadTo500() { return Resident(0x40, Bytes(500 - 24 - 0x38 - FileName(u"$Volume").size() - 24)); }

// The record of a volume named "Archive".
const std::vector<Bytes> kArchive = {FileName(u"$Volume"), Resident(kAttrVolumeName, Utf16(u"Archive"))};

TEST(NtfsReaderTest, ReadsTheVolumeNameOfRecordThree) {
    const struct {
        const char* what;
        std::vector<Bytes> attributes;
        std::function<void(Bytes&)> spoil;  // the record as it lies on the disk
        std::string label;
        int status;
    } cases[] = {
        // clang-format off
        {"resident", kArchive, {}, "Archive", 0},
        {"across a stride end", {FileName(u"$Volume"), PadTo500(), Resident(kAttrVolumeName, Utf16(u"Straddling name"))},
         {}, "Straddling name", 0},
        {"non-resident", {FileName(u"$Volume"), NonResident(kAttrVolumeName, 14)}, {}, "Outside", 0},
        {"sparse run", {FileName(u"$Volume"), NonResident(kAttrVolumeName, 4, {0x01, 0x01, 0})}, {}, std::string(2, '\0'), 0},
        {"record of another file", {FileName(u"$MFTMirr"), Resident(kAttrVolumeName, Utf16(u"Archive"))}, {}, "Archive", 1200},
        {"torn write", kArchive, [](Bytes& r) { r[1022] = 8; }, "", 13},
        {"no file record", {}, [](Bytes& r) { r[0] = 'B'; }, "", 87},
        {"attribute of length 0", kArchive, [](Bytes& r) { StoreLe32(&r[0x3C], 0); }, "", 13},
        {"attribute past the bytes in use", kArchive, [](Bytes& r) { StoreLe32(&r[24], 0x38 + 100); }, "", 13},
        {"value past its attribute", kArchive, [](Bytes& r) { StoreLe32(&r[0x38 + 104 + 16], 0xFFFFFFF0u); }, "", 13},
        {"huge value", {FileName(u"$Volume"), NonResident(kAttrVolumeName, 1ull << 40)}, {}, "", 13},
        {"run past the volume", {FileName(u"$Volume"), NonResident(kAttrVolumeName, 14, {0x21, 0x01, 0x00, 0x7F, 0})},
         {}, "", 13},
        {"run before the volume", {FileName(u"$Volume"), NonResident(kAttrVolumeName, 14, {0x11, 0x01, 0x80, 0})},
         {}, "", 13},
        {"runs that end early", {FileName(u"$Volume"), NonResident(kAttrVolumeName, 1024)}, {}, "", 13},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes record = Record(c.attributes);
        if (c.spoil) c.spoil(record);
        Volume v(record);
        NtfsVolumeReader reader;
        EXPECT_EQ(reader.ReadLabel(v.Disk(), kStart, 2000), c.status);
        EXPECT_EQ(reader.Label(), c.label);
        EXPECT_TRUE(v.platform.messageBoxes.empty());
    }
}

// The boot sector decides where the record is and how large; sizes NTFS
// cannot have are not followed.
TEST(NtfsReaderTest, RefusesBootSectorsNtfsCannotHave) {
    const struct {
        const char* what;
        std::size_t offset;
        std::uint8_t value;
        int status;
    } cases[] = {
        {"OEM name", 3, 'X', 15},
        {"256-byte sectors", 12, 0x01, 15},
        {"3 sectors a cluster", 13, 3, 15},
        {"records of 2^30 bytes", 64, 0xE2, 15},
        {"MFT past the volume", 55, 0x01, 13},
        {"large clusters", 13, 0xF4, 13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Volume v(Record(kArchive));
        v.drive.data[kStart * 512 + c.offset] = c.value;
        NtfsVolumeReader reader;
        EXPECT_EQ(reader.ReadLabel(v.Disk(), kStart, 2000), c.status);
        EXPECT_EQ(reader.Label(), "");
    }
}

// A device that refuses the record is reported in a message box, cut at a
// character's start; a code that is 0 shows nothing.
TEST(NtfsReaderTest, AFailedRecordReadIsShown) {
    Volume v(Record(kArchive));
    v.drive.failReadAt.insert(kRecordAt);
    v.platform.lastError = 23;
    EXPECT_EQ(ReadVolumeLabel(v.Disk(), "", 'E', 0x07, kStart, 2000), "");
    EXPECT_EQ(v.platform.messageBoxes, std::vector<std::string>{"23: System error 23"});

    struct LongText : FakePlatform {
        std::string SystemErrorText(std::uint32_t) override {
            return std::string(106, 'x') + "\xC3\xA9\xC3\xA9";
        }
    } platform;
    EXPECT_EQ(ShowSystemError(platform, 1234), 1234u);
    EXPECT_EQ(ShowSystemError(platform, 0), 0u);
    EXPECT_EQ(platform.messageBoxes, std::vector<std::string>{"1234: " + std::string(105, 'x')});
}

}  // namespace
}  // namespace partam
