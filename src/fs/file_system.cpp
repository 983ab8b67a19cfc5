#include "fs/file_system.h"

#include <cstring>

#include "base/text.h"

namespace partam {

namespace {

bool NameAt(RecognitionBytes bytes, std::size_t offset, const char* name) {
    return std::memcmp(bytes.data() + offset, name, std::strlen(name)) == 0;
}

// Where each filesystem's boot sector keeps its serial number.
std::size_t SerialOffset(FileSystemCode code) {
    switch (code) {
        case FileSystemCode::Fat16:
            return 39;
        case FileSystemCode::Fat32:
            return 67;
        case FileSystemCode::Ntfs:
            return 72;
        default:
            return 0;
    }
}

}  // namespace

FileSystemCode RecognizeBytes(RecognitionBytes bytes) {
    if (NameAt(bytes, 3, "NTFS")) return FileSystemCode::Ntfs;
    if (NameAt(bytes, 54, "FAT16")) return FileSystemCode::Fat16;
    if (NameAt(bytes, 82, "FAT32")) return FileSystemCode::Fat32;
    if (NameAt(bytes, 1032, "HFSJ")) return FileSystemCode::HfsJ;
    if (NameAt(bytes, 1032, "10.0")) return FileSystemCode::HfsEx;
    return FileSystemCode::None;
}

const char* FileSystemName(FileSystemCode code) {
    switch (code) {
        case FileSystemCode::Ntfs:
            return "NTFS";
        case FileSystemCode::Fat16:
            return "FAT16";
        case FileSystemCode::Fat32:
            return "FAT32";
        case FileSystemCode::HfsJ:
            return "HFS-J";
        case FileSystemCode::HfsEx:
            return "HFSEX";
        case FileSystemCode::None:
            break;
    }
    return "";
}

FileSystemCode RecognizeFileSystem(mDisk& disk, std::uint64_t start, std::string& name) {
    std::array<std::uint8_t, kRecognitionSectors * kSectorSize> bytes{};
    if (disk.ReadSectors(bytes.data(), start, kRecognitionSectors) != 0) return FileSystemCode::None;
    const FileSystemCode code = RecognizeBytes(bytes);
    if (code != FileSystemCode::None) name = FileSystemName(code);
    return code;
}

std::string VolumeIdText(mDisk& disk, std::uint64_t start) {
    // The serial lies in the boot sector, the first of the sectors read to
    // recognise the filesystem.
    std::array<std::uint8_t, kRecognitionSectors * kSectorSize> bytes{};
    if (disk.ReadSectors(bytes.data(), start, kRecognitionSectors) != 0) return std::string();
    const std::size_t at = SerialOffset(RecognizeBytes(bytes));
    if (at == 0) return std::string();
    return Format("%02X%02X-%02X%02X", bytes[at + 3], bytes[at + 2], bytes[at + 1], bytes[at]);
}

}  // namespace partam
