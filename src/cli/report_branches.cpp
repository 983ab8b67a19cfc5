// The branches of the reports that are commands of their own: /writeini=,
// /info and the boot menu.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/result_codes.h"
#include "base/text.h"
#include "cli/banner.h"
#include "cli/branches.h"
#include "cli/messages.h"
#include "mbr/edits.h"
#include "report/disk_info.h"
#include "report/ini_report.h"
#include "report/json_report.h"

namespace partam {

namespace {

ReportContext ReportOf(RunContext& run) {
    return ReportContext{run.platform, *run.disk, run.frame, *run.sizeFormatter};
}

// The disk the command line named, selected again after a report that went
// through every disk.
void SelectCommandLineDisk(RunContext& run) {
    const RunOptions& o = run.options;
    if (o.disk == kVirtualDisk)
        run.disk->UseVirtual(o.diskFileName);
    else
        run.disk->Use(o.disk);
}

}  // namespace

void WriteIniBranch(RunContext& run) {
    RunOptions& o = run.options;
    const IniTitle title{kBanner, kPlatformName, kVersionDateText, kBannerSecondLine};
    const int code = WriteIniReport(*run.disk, o.valueText, title);
    SelectCommandLineDisk(run);
    RecordResult(run, CommandId::WriteIni, code);
    DebugTrace(run, "WriteIni", o.result);
}

void InfoBranch(RunContext& run) {
    if (run.options.json) {
        run.jsonDisks = JsonEveryDisk(*run.disk, run.options.freeSpace != 0, ErrorText);
    } else {
        ReportContext report = ReportOf(run);
        ShowInfo(report);
    }
    DebugTrace(run, "ShowInfo", run.options.result);
}

void BootMenuStep(RunContext& run) {
    mDisk& disk = *run.disk;
    if (disk.IsGpt()) {
        RecordResult(run, CommandId::BootMenu, kNotGptDisk);
        return;
    }
    ReportContext report = ReportOf(run);
    const std::vector<int> shown = ShowBootMenu(report);
    // Nothing to choose from: nothing is asked.
    if (shown.empty()) return;
    run.Print("\n\n Select the partition id to set active: ");
    // The number at the start of the line ("1abc" is 1). An input that is
    // closed or redirected and used up answers nothing, which is 0: no
    // partition, and nothing is changed.
    std::string line;
    const std::int64_t answer = run.platform.ReadLine(line) ? ReadDecimal(line) : 0;
    if (std::find(shown.begin(), shown.end(), answer) == shown.end()) {
        RecordResult(run, CommandId::BootMenu, kInvalidPartitionId);
        return;
    }
    const int number = static_cast<int>(answer);
    const int code = SetActive(disk, number, true);
    // The success message names the partition through the value text.
    run.options.valueText = Format("%d", number);
    RecordResult(run, CommandId::BootMenu, code);
}

}  // namespace partam
