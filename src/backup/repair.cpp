#include "backup/repair.h"

#include <algorithm>

#include "base/result_codes.h"

namespace partam {

Sector WithBootCode(SectorView sector0, const std::array<std::uint8_t, 4>& signature,
                    const BootCodeImage& image) {
    Sector out{};
    std::copy(sector0.begin(), sector0.end(), out.begin());
    std::copy(image.begin(), image.begin() + kDiskSignatureOffset, out.begin());
    std::copy(signature.begin(), signature.end(), out.begin() + kDiskSignatureOffset);
    out[kDiskSignatureOffset + 4] = 0;
    out[kDiskSignatureOffset + 5] = 0;
    SetBootSignature(out);
    return out;
}

int RepairBootCode(mDisk& disk, const BootCodeImage& image) {
    // Sector 0 is read anew rather than taken from the copy made when the
    // disk was selected: the table written back must be the one on the disk
    // now. One that cannot be read is left alone, since writing the image
    // over zeros would cost the disk its table.
    Sector current{};
    if (disk.ReadSectors(current.data(), 0, 1) != 0) {
        disk.SetError(kMbrReadFailed, 0);
        return kMbrReadFailed;
    }
    const std::array<std::uint8_t, 4> signature =
        HasBootSignature(current) ? DiskSignatureBytes(current) : std::array<std::uint8_t, 4>{};
    return disk.WriteSector0(WithBootCode(current, signature, image));
}

}  // namespace partam
