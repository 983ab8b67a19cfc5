// The branch of /repair=: the boot code images (modes 1 and 2) and the
// table rebuilt from the system's view (mode 3).
#include "backup/repair.h"
#include "base/result_codes.h"
#include "cli/branches.h"

namespace partam {

void RepairBranch(RunContext& run) {
    RunOptions& o = run.options;
    switch (o.firstSector) {
        case 1:
        case 2: {
            const BootCodeImage& image = o.firstSector == 1 ? kBootCodeXp : kBootCodeWin7;
            // The write's own outcome, /ignore or not: a sector 0 that was
            // not written is never reported as repaired.
            RecordTableEdit(run, CommandId::Repair, RepairBootCode(*run.disk, image));
            break;
        }
        case 3:
            RecordTableEdit(run, CommandId::Repair, RebuildTableFromLayout(*run.disk));
            break;
        default:
            o.badSwitchText = o.valueText;
            RecordResult(run, CommandId::Repair, kInvalidParameter);
            break;
    }
    DebugTrace(run, "Repair", o.result);
}

}  // namespace partam
