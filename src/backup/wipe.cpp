#include "backup/wipe.h"

#include <algorithm>
#include <vector>

#include "backup/sector_range.h"
#include "base/result_codes.h"

namespace partam {

int WipeSectors(mDisk& disk, std::uint64_t first, std::uint64_t last, ProgressFigure* progress) {
    if (first > last) return 0;
    const std::uint64_t total = disk.TotalSectors();
    if (first >= total) return kSectorWriteFailed;
    const bool pastEnd = last >= total;
    const std::uint64_t count = (pastEnd ? total - 1 : last) - first + 1;
    // One buffer for the whole wipe: a disk of any size is wiped in 1 MiB.
    const std::vector<std::uint8_t> zeros(std::min<std::uint64_t>(count, kChunkSectors) * kSectorSize, 0);
    int failed = 0;
    for (std::uint64_t done = 0; done < count;) {
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(count - done, kChunkSectors));
        const std::uint64_t lba = first + done;
        // A transfer that fails is tried again sector by sector, so that one
        // bad sector leaves the others wiped; the wipe fails all the same.
        if (disk.WriteSectors(zeros.data(), lba, n) != 0) {
            for (std::uint32_t i = 0; i < n; ++i)
                if (const int code = disk.WriteSectors(zeros.data(), lba + i, 1); failed == 0) failed = code;
        }
        done += n;
        if (progress) progress->Show(ProgressFigure::Percent(done, count - 1, done == count));
    }
    if (pastEnd && failed == 0) failed = kSectorWriteFailed;
    return failed;
}

int CopySector(mDisk& disk, std::uint64_t source, std::uint64_t target) {
    Sector sector{};
    if (disk.ReadSectors(sector.data(), source, 1) != 0) return kMbrReadFailed;
    return disk.WriteSectors(sector.data(), target, 1);
}

}  // namespace partam
