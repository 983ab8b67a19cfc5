#include "fs/volume_label.h"

#include "base/text.h"
#include "fs/ntfs_reader.h"

namespace partam {

namespace {

bool IsNtfsType(std::uint32_t type) { return type == 0x07 || type == 0x17; }

// The longest message the box shows, cut where a character begins.
constexpr std::size_t kMessageLimit = 111;

}  // namespace

std::string ReadVolumeLabel(mDisk& disk, const std::string&, char driveLetter, std::uint32_t type,
                            std::uint64_t start, std::uint64_t sectors) {
    if (disk.IsVirtual()) return kVirtualLabel;
    if (driveLetter == 0) return std::string();
    if (auto label = disk.GetPlatform().VolumeLabel(Format("%c:\\", driveLetter))) return *label;
    if (!IsNtfsType(type)) return std::string();
    NtfsVolumeReader reader;
    reader.ReadLabel(disk, start, sectors);
    return reader.Label();
}

LabelReader VolumeLabelReader() {
    return [](mDisk& disk, const mPart& p) {
        return ReadVolumeLabel(disk, p.volumeName, p.driveLetter, p.type, p.start, p.sectors);
    };
}

std::uint32_t ShowSystemError(Platform& platform, std::uint32_t code) {
    if (code == 0) code = platform.LastErrorCode();
    if (code == 0) return 0;
    std::string text = Format("%lu: ", static_cast<unsigned long>(code)) + platform.SystemErrorText(code);
    if (text.size() > kMessageLimit) {
        std::size_t cut = kMessageLimit;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
    platform.ShowMessageBox(text);
    return code;
}

}  // namespace partam
