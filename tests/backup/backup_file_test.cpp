#include "backup/backup_file.h"

#include <gtest/gtest.h>

#include "support/images.h"

namespace partam {
namespace {

// Every field at its offset, every other byte zero; texts longer than their
// fields are cut, not run into the next field.
TEST(BackupFileTest, HeaderBytes) {
    BackupHeader h;
    h.kind = 6;
    h.time = SystemTime{2026, 12, 0, 6, 21, 9, 52, 123};
    h.mbrDisk = false;
    h.removable = true;
    h.totalSectors = 0x0102030405060708;
    h.partitionCount = 0x0A0B;
    h.model = std::string(40, 'M');
    h.diskCount = 3;
    h.computerName = "A-VERY-LONG-COMPUTER-NAME";
    h.firstSector = 0x1122334455667788;
    h.countField = 0x99;
    h.title = std::string(35, 'T');
    h.labels = {"SYSTEM", "", "DA", "ABCDE"};
    h.matchedNumber = 2, h.matchedSlot = 3, h.matchedType = 0x1C;
    const Sector s = EncodeBackupHeader(h);

    Sector want{};
    const auto put = [&want](std::size_t at, const std::vector<int>& bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) want[at + i] = static_cast<std::uint8_t>(bytes[i]);
    };
    const auto text = [&want](std::size_t at, const std::string& t) {
        std::copy(t.begin(), t.end(), &want[at]);
    };
    put(0, {0x44, 0x44, 'p', 'r', 't', 3, 0x00, 0x02, 0, 0, 6});
    put(11, {0xEA, 0x07, 12, 0, 0, 0, 6, 0, 21, 0, 9, 0, 52, 0, 123, 0});
    put(43, {0, 1, 8, 7, 6, 5, 4, 3, 2, 1, 0x0B, 0x0A});
    text(57, std::string(30, 'M'));
    put(104, {3, 0});
    text(106, "A-VERY-LONG-COM");
    put(122, {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 0x99});
    text(140, std::string(29, 'T'));
    text(170, "SYST");
    text(192, "DA");
    text(203, "ABCD");
    put(214, {2, 3, 0x1C});
    put(510, {0x44, 0x44});
    EXPECT_EQ("",
              test::DiffSectors(test::Bytes(want.begin(), want.end()), test::Bytes(s.begin(), s.end()), 0));

    const BackupHeader back = DecodeBackupHeader(s);
    EXPECT_EQ(std::tuple(6, 2026, 123, false, true, 0x0102030405060708ull, 0x0A0B, 30u, 3,
                         std::string("A-VERY-LONG-COM"), 0x99ull, 29u, std::string("SYST"),
                         std::string("ABCD"), 2, 0x1C),
              std::tuple(back.kind, back.time.year, back.time.milliseconds, back.mbrDisk, back.removable,
                         back.totalSectors, back.partitionCount, back.model.size(), back.diskCount,
                         back.computerName, back.countField, back.title.size(), back.labels[0],
                         back.labels[3], back.matchedNumber, back.matchedType));
}

// Only "DD" and a kind tell a header; for a range or a disk the count field
// is the last sector's number.
TEST(BackupFileTest, ProbeAndDataSectors) {
    Sector s{};
    s[0] = s[1] = 0x44;
    EXPECT_EQ(ProbeBackupHeader(s), 0);
    s[10] = 9;
    EXPECT_EQ(ProbeBackupHeader(s), 9);
    s[1] = 0x45;
    EXPECT_EQ(ProbeBackupHeader(s), 0);
    // kind, first sector, count field, data sectors
    const std::tuple<BackupKind, std::uint64_t, std::uint64_t, std::uint64_t> cases[] = {
        {BackupKind::Mbr, 0, 1, 1},          {BackupKind::Head, 0, 63, 63},     {BackupKind::Vbr, 2048, 7, 7},
        {BackupKind::Disk, 0, 32767, 32768}, {BackupKind::Range, 100, 120, 21}, {BackupKind::Range, 10, 5, 0},
    };
    for (const auto& [kind, first, count, data] : cases) {
        BackupHeader h;
        h.kind = static_cast<std::uint8_t>(kind);
        h.firstSector = first, h.countField = count;
        EXPECT_EQ(HeaderDataSectors(h), data) << static_cast<int>(kind);
    }
}

}  // namespace
}  // namespace partam
