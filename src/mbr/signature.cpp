#include "mbr/signature.h"

#include "base/boot_sector.h"
#include "base/result_codes.h"

namespace partam {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A source that keeps drawing 0 is broken; a few draws tell.
constexpr int kDraws = 16;

std::optional<std::uint32_t> NewSignature(const RandomSource& random) {
    for (int i = 0; i < kDraws; ++i)
        if (const std::uint32_t value = random(); value != 0) return value;
    return std::nullopt;
}

// Sector 0 read anew, when a change may be written into it: an MBR, never
// the boot sector of a filesystem that fills the disk or another system's
// label, whose bytes at 434 and 440 belong to them.
int LoadWritableMbr(mDisk& disk) {
    if (const int code = LoadMbr(disk); code != 0) return code;
    return HoldsPartitionTable(disk.Sector0()) ? 0 : static_cast<int>(kNoMbrHere);
}

}  // namespace

int LoadMbr(mDisk& disk) { return disk.LoadTableFrom(0); }

int ReadDiskSignature(mDisk& disk, std::array<std::uint8_t, 4>& out) {
    out = {};
    if (const int code = LoadMbr(disk); code != 0) return code;
    const auto b = DiskSignatureBytes(disk.Sector0());
    out = {b[3], b[2], b[1], b[0]};
    return 0;
}

std::optional<std::uint32_t> ParseSignatureText(std::string_view text) {
    if (text.size() != 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

int SetDiskSignature(mDisk& disk, int mode, std::string_view text, const RandomSource& random) {
    std::optional<std::uint32_t> signature;
    switch (static_cast<SignatureMode>(mode)) {
        case SignatureMode::Zero:
            signature = 0;
            break;
        case SignatureMode::Write:
            signature = ParseSignatureText(text);
            break;
        case SignatureMode::Generate:
            break;
        default:
            return kBadSignatureMode;
    }
    if (mode == static_cast<int>(SignatureMode::Write) && !signature) return kBadSignatureMode;
    if (const int code = LoadWritableMbr(disk); code != 0) return code;
    if (mode == static_cast<int>(SignatureMode::Generate) && !(signature = NewSignature(random)))
        return kBadSignatureMode;
    Sector mbr = disk.Sector0();
    StoreLe32(&mbr[kDiskSignatureOffset], *signature);
    return disk.WriteSector0(mbr);
}

int ReadStatusByte(mDisk& disk, std::uint8_t& out) {
    out = 0;
    if (const int code = LoadMbr(disk); code != 0) return code;
    out = disk.Sector0()[kStatusByteOffset];
    return 0;
}

int WriteStatusByte(mDisk& disk, std::uint8_t value) {
    if (const int code = LoadWritableMbr(disk); code != 0) return code;
    Sector mbr = disk.Sector0();
    mbr[kStatusByteOffset] = value;
    return disk.WriteSector0(mbr);
}

}  // namespace partam
