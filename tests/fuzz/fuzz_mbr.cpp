// The MBR and its chains of extended boot records, read by the table reader,
// by the layout an image drive reports and by the view the Linux kernel
// takes. The flags choose no medium, removable media, a super-floppy probe
// and the system's view of the slots; see fuzz_input.h for the input.
#include "fuzz/fuzz_input.h"
#include "mbr/partition_list.h"
#include "platform/image_drive.h"
#include "platform/posix/kernel_table.h"
#include "report/verify.h"

using namespace partam;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::SparseDisk disk(data, size);
    const SectorReader read = disk.Reader();
    const std::uint8_t flags = disk.Flags();
    const ComputedLayout computed = ComputeDriveLayout(read, disk.TotalSectors());
    posix::KernelView(read, disk.TotalSectors());

    TableSource source;
    source.read = read;
    source.sector0 = disk.At(0);
    source.totalSectors = disk.TotalSectors();
    source.mediaPresent = (flags & 1) == 0;
    source.removable = (flags & 2) != 0;
    if (flags & 4) source.superFloppy = ProbeBootFileSystem(source.sector0);
    if (flags & 8) {
        // The system's view of the slots, as an image drive answers it.
        DriveLayout layout(0, kNoFile);
        for (std::size_t s = 0; s < 4 && s < computed.answer.entries.size(); ++s) {
            const LayoutEntry& e = computed.answer.entries[s];
            layout.slots[s] = {e.partitionType != 0, e.partitionType, e.startingOffset, e.partitionLength,
                               e.partitionNumber,    e.hiddenSectors, e.bootIndicator};
        }
        source.layout = layout;
    }
    const std::unique_ptr<PartitionList> list = ReadMbrTable(source);
    std::vector<mPart*> ascending;
    list->CheckOrder(&ascending);
    for (int n = 1; n <= list->PartitionCount(2) + 1; ++n) list->GetPartition(n, true);

    // The verifier walks the same sectors its own way; it only reads.
    VerifiedDisk verified;
    verified.read = read;
    verified.sector0 = source.sector0;
    verified.totalSectors = disk.TotalSectors();
    verified.heads = 255;
    verified.sectorsPerTrack = 63;
    VerifyMbr(verified);
    VerifyProtectiveMbr(verified);
    return 0;
}
