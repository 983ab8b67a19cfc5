#include "cli/branches.h"

#include "base/result_codes.h"
#include "cli/messages.h"
#include "report/json_report.h"
#include "report/listing.h"

namespace partam {

void ListBranch(RunContext& run) {
    const RunOptions& o = run.options;
    DebugTrace(run, "List-Entry", o.result);
    ListingOptions listing;
    listing.disk = o.disk;
    listing.diskGiven = o.diskGiven;
    listing.diskFileName = o.diskFileName;
    listing.freeSpace = o.freeSpace != 0;
    listing.extendedOnly = o.extendedOnly != 0;
    listing.asciiMap = o.asciiMap != 0;
    if (o.json) {
        run.jsonDisks = JsonDisks(*run.disk, listing, ErrorText);
    } else {
        ReportContext report{run.platform, *run.disk, run.frame, *run.sizeFormatter};
        ShowMBR(report, listing);
    }
    RecordResult(run, CommandId::List, 0);
    DebugTrace(run, "List-Exit", o.result);
}

void FlashMbrBranch(RunContext& run) { RecordResult(run, CommandId::FlashMBR, DiskProblem(run)); }

void RecordTableEdit(RunContext& run, CommandId command, int code) {
    if (code == kCreateWithoutMbr && run.options.result == 0)
        run.resultText = "Sector 0 holds no MBR partition table, nothing was written";
    RecordResult(run, command, code);
}

void RunCatchingRefusals(RunContext& run, CommandId command, const std::function<void()>& branch) {
    try {
        branch();
    } catch (MBRERRORS refusal) {
        RecordResult(run, command, static_cast<int>(refusal));
    }
}

}  // namespace partam
