// /format: a partition handed to the system's format engine.

#include "base/result_codes.h"
#include "cli/branches.h"
#include "fs/formatter.h"

namespace partam {

namespace {

constexpr char kFormatLabel[] = "MYLABEL";
// 4,096-byte clusters.
constexpr std::uint32_t kFormatClusterCode = 12;

}  // namespace

void FormatBranch(RunContext& run) {
    mDisk& disk = *run.disk;
    PartitionTable* table = disk.Table();
    // Only an MBR's primary partitions are looked up; /part= counted every
    // partition, so a number past the primaries is no partition here.
    const bool mbr = table && table->Mbr();
    const mPart* partition = mbr ? disk.GetPartition(run.options.part, false) : nullptr;
    if (mbr && !partition) {
        RecordResult(run, CommandId::Format, kInvalidPartition);
        return;
    }
    // A GPT disk, a virtual disk, a type no filesystem is mounted from: the
    // system has no volume to format, and an empty root must never reach
    // the engine, which would read it as the current drive.
    if (!partition || disk.IsVirtual() || !disk.IsMountableType(partition->type)) {
        RecordResult(run, CommandId::Format, kVolumeNotFound);
        return;
    }
    Formatter formatter(run.platform);
    const FormatTarget target{partition->volumeName, partition->start, partition->sectors};
    const bool formatted = FormatVolume(formatter, disk, target, kFormatLabel, kFormatClusterCode);
    if (formatter.Refused()) {
        RecordResult(run, CommandId::Format, kVolumeNotFound);
    } else if (!formatted) {
        // A script must not read a failed format as done.
        run.resultText = formatter.StatusText();
        RecordResult(run, CommandId::Format, kWipeFailed);
    } else {
        RecordResult(run, CommandId::Format, 0);
    }
}

}  // namespace partam
