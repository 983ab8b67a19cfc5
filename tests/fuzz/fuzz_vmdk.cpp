// A VMDK virtual disk over in-memory files: the descriptor (a text file, or
// the one a sparse extent carries), the sparse header, the grain directory
// and tables, and the device's mapping of the disk's sectors onto the
// extents, read and written. The input holds the files, cut at
// fuzz::kFileSeparator: the disk's own file first, then the extent files
// "1.vmdk", "2.vmdk", ... beside it.
#include <string>

#include "fuzz/fuzz_input.h"
#include "support/fake_platform.h"
#include "report/verify_vmdk.h"
#include "vdisk/open_vmdk.h"

using namespace partam;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FakePlatform platform;
    const std::vector<fuzz::Bytes> files = fuzz::SplitFiles(data, size);
    for (std::size_t i = 0; i < files.size(); ++i)
        platform.AddFile(i == 0 ? "C:\\vm\\disk.vmdk" : "C:\\vm\\" + std::to_string(i) + ".vmdk", files[i]);
    // The verifier reads every table of every extent and writes nothing.
    const std::size_t writes = platform.writes.size();
    VerifyVmdkExtents(platform, PlanVmdk(platform, "C:\\vm\\disk.vmdk"));
    if (platform.writes.size() != writes) __builtin_trap();

    VirtualDiskOpening opening = OpenVmdk(platform, "C:\\vm\\disk.vmdk");
    if (!opening.device) return 0;
    SectorDevice& device = *opening.device;
    GeometryResult g;
    device.QueryGeometry(g);
    const std::uint64_t total = g.totalSectors;

    // The head of the disk in one transfer, then sectors spread over it.
    std::vector<std::uint8_t> buffer(64 * kSectorSize);
    device.ReadSectors(buffer.data(), 0, static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 64)));
    for (std::uint64_t k = 0; k < 16 && total > 0; ++k)
        device.ReadSectors(buffer.data(), std::min(total - 1, total / 16 * k + k), 1);
    // Where data lies, asked as a save asks.
    std::uint64_t next = 0;
    for (std::uint64_t at = 0, k = 0; k < 8 && at < total && device.NextData(at, next); ++k) {
        if (next < at || next > total) __builtin_trap();
        at = next + 2048;
    }
    // A sector written reads back as written.
    Sector written, back;
    written.fill(0xA5);
    const std::uint64_t lba = total / 3;
    if (total > 0 && device.WriteSectors(written.data(), lba, 1)) {
        if (!device.ReadSectors(back.data(), lba, 1) || back != written) __builtin_trap();
    }
    device.Flush();
    return 0;
}
