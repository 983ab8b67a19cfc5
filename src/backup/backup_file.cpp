#include "backup/backup_file.h"

#include <algorithm>

namespace partam {

namespace {

constexpr std::uint8_t kMark = 0x44;  // "D"

constexpr std::size_t kKindOffset = 10;
constexpr std::size_t kTimeOffset = 11;
constexpr std::size_t kModelOffset = 57;
constexpr std::size_t kModelSize = 30;
constexpr std::size_t kComputerNameOffset = 106;
constexpr std::size_t kComputerNameSize = 16;  // with its terminator
constexpr std::size_t kTitleOffset = 140;
constexpr std::size_t kTitleSize = 30;  // with its terminator
constexpr std::size_t kLabelsOffset = 170;
constexpr std::size_t kLabelSlotSize = 11;
constexpr std::size_t kLabelKept = 4;

// Copies at most `room` characters of text to the field; the rest of the
// field stays zero.
void PutText(Sector& s, std::size_t offset, std::size_t room, const std::string& text) {
    std::copy_n(text.begin(), std::min(room, text.size()), s.begin() + static_cast<std::ptrdiff_t>(offset));
}

// A text field up to its first NUL or its end.
std::string GetText(SectorView s, std::size_t offset, std::size_t size) {
    const auto begin = s.begin() + static_cast<std::ptrdiff_t>(offset);
    return std::string(begin, std::find(begin, begin + static_cast<std::ptrdiff_t>(size), std::uint8_t{0}));
}

}  // namespace

Sector EncodeBackupHeader(const BackupHeader& h) {
    Sector s{};
    s[0] = s[1] = kMark;
    PutText(s, 2, 3, "prt");
    s[5] = h.version;
    StoreLe16(&s[6], static_cast<std::uint16_t>(kSectorSize));
    s[kKindOffset] = h.kind;
    const std::uint16_t time[] = {h.time.year, h.time.month,  h.time.dayOfWeek, h.time.day,
                                  h.time.hour, h.time.minute, h.time.second,    h.time.milliseconds};
    for (std::size_t i = 0; i < 8; ++i) StoreLe16(&s[kTimeOffset + 2 * i], time[i]);
    s[43] = h.mbrDisk ? 1 : 0;
    s[44] = h.removable ? 1 : 0;
    StoreLe64(&s[45], h.totalSectors);
    StoreLe16(&s[53], h.partitionCount);
    PutText(s, kModelOffset, kModelSize, h.model);
    StoreLe16(&s[104], h.diskCount);
    PutText(s, kComputerNameOffset, kComputerNameSize - 1, h.computerName);
    StoreLe64(&s[122], h.firstSector);
    StoreLe64(&s[130], h.countField);
    PutText(s, kTitleOffset, kTitleSize - 1, h.title);
    for (std::size_t i = 0; i < h.labels.size(); ++i)
        PutText(s, kLabelsOffset + kLabelSlotSize * i, kLabelKept, h.labels[i]);
    s[214] = h.matchedNumber;
    s[215] = h.matchedSlot;
    s[216] = h.matchedType;
    s[510] = s[511] = kMark;
    return s;
}

BackupHeader DecodeBackupHeader(SectorView s) {
    BackupHeader h;
    h.version = s[5];
    h.kind = s[kKindOffset];
    std::uint16_t time[8];
    for (std::size_t i = 0; i < 8; ++i) time[i] = LoadLe16(&s[kTimeOffset + 2 * i]);
    h.time = SystemTime{time[0], time[1], time[2], time[3], time[4], time[5], time[6], time[7]};
    h.mbrDisk = s[43] != 0;
    h.removable = s[44] != 0;
    h.totalSectors = LoadLe64(&s[45]);
    h.partitionCount = LoadLe16(&s[53]);
    h.model = GetText(s, kModelOffset, kModelSize);
    h.diskCount = LoadLe16(&s[104]);
    h.computerName = GetText(s, kComputerNameOffset, kComputerNameSize);
    h.firstSector = LoadLe64(&s[122]);
    h.countField = LoadLe64(&s[130]);
    h.title = GetText(s, kTitleOffset, kTitleSize);
    for (std::size_t i = 0; i < h.labels.size(); ++i)
        h.labels[i] = GetText(s, kLabelsOffset + kLabelSlotSize * i, kLabelSlotSize);
    h.matchedNumber = s[214];
    h.matchedSlot = s[215];
    h.matchedType = s[216];
    return h;
}

std::uint8_t ProbeBackupHeader(SectorView s) { return s[0] == kMark && s[1] == kMark ? s[kKindOffset] : 0; }

std::uint64_t HeaderDataSectors(const BackupHeader& h) {
    const bool lastSectorField = h.kind == static_cast<std::uint8_t>(BackupKind::Range) ||
                                 h.kind == static_cast<std::uint8_t>(BackupKind::Disk);
    if (!lastSectorField) return h.countField;
    return h.countField >= h.firstSector ? h.countField - h.firstSector + 1 : 0;
}

}  // namespace partam
