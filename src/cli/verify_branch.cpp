// The branch of /verify.
#include <cinttypes>
#include <string>
#include <vector>

#include "base/result_codes.h"
#include "base/text.h"
#include "cli/branches.h"
#include "report/verify.h"
#include "report/verify_vmdk.h"

namespace partam {

namespace {

const char* SeverityText(Severity severity) {
    switch (severity) {
        case Severity::Warning:
            return "warning: ";
        case Severity::Note:
            return "note: ";
        case Severity::Problem:
            break;
    }
    return "";
}

// The findings of one disk, then how many of them are problems.
std::size_t Report(RunContext& run, const std::string& disk, const std::vector<Finding>& findings) {
    for (const Finding& f : findings)
        run.Print(" Disk " + disk + ", " + f.where + ": " + SeverityText(f.severity) + f.what + "\n");
    const std::size_t problems = ProblemCount(findings);
    if (problems == 0)
        run.Print(" No problems found on disk " + disk + ".\n");
    else
        run.Print(Format(" %" PRIu64 " problem%s found on disk ", static_cast<std::uint64_t>(problems),
                         problems == 1 ? "" : "s") +
                  disk + ".\n");
    return problems;
}

// The table of the disk selected, whatever its kind.
std::vector<Finding> TableFindings(mDisk& disk) {
    if (disk.MediaPresent() && !disk.Sector0Read()) return {{Severity::Problem, "MBR", "cannot be read"}};
    VerifiedDisk v;
    v.read = [&disk](std::uint64_t lba, std::uint8_t* sector) {
        return disk.ReadSectors(sector, lba, 1) == 0;
    };
    v.readRun = [&disk](std::uint64_t lba, std::uint32_t count, std::uint8_t* bytes) {
        return disk.ReadSectors(bytes, lba, count) == 0;
    };
    v.sector0 = disk.Sector0();
    v.totalSectors = disk.TotalSectors();
    v.heads = disk.Geometry().tracksPerCylinder;
    v.sectorsPerTrack = disk.Geometry().sectorsPerTrack;
    if (!disk.IsGpt()) return VerifyMbr(v);
    std::vector<Finding> findings = VerifyProtectiveMbr(v);
    for (Finding& f : VerifyGpt(v)) findings.push_back(std::move(f));
    return findings;
}

std::size_t VerifyIndex(RunContext& run, int index) {
    if (const int code = run.disk->Use(index, true); code != 0) {
        RecordResult(run, CommandId::None, code);
        return 0;
    }
    return Report(run, Format("%d", index), TableFindings(*run.disk));
}

// A virtual disk: its extents first, then, when it opens as a disk, its
// table. One that does not open though no finding says why is a finding
// of its own.
std::size_t VerifyVirtual(RunContext& run) {
    const std::string& path = run.options.diskFileName;
    if (!FileExists(run.platform, path)) {
        RecordResult(run, CommandId::None, kVdiskFileMissing);
        return 0;
    }
    const VmdkPlan plan = PlanVmdk(run.platform, path);
    if (plan.code != 0) {
        RecordResult(run, CommandId::None, plan.code);
        return 0;
    }
    std::vector<Finding> findings = VerifyVmdkExtents(run.platform, plan);
    const int opened = run.disk->UseVirtual(path);
    if (opened == 0) {
        for (Finding& f : TableFindings(*run.disk)) findings.push_back(std::move(f));
    } else if (ProblemCount(findings) == 0) {
        findings.push_back(
            {Severity::Problem, "virtual disk", Format("does not open as a disk (%d)", opened)});
    }
    return Report(run, path, findings);
}

}  // namespace

void VerifyBranch(RunContext& run) {
    const RunOptions& o = run.options;
    run.Print("\n");
    std::size_t problems = 0;
    if (o.disk == kVirtualDisk) {
        problems = VerifyVirtual(run);
    } else if (o.disk == kAllDisks) {
        for (int i = 0; i < run.disk->DiskCount(); ++i) problems += VerifyIndex(run, i);
    } else {
        problems = VerifyIndex(run, o.disk);
    }
    RecordResult(run, CommandId::Verify, problems != 0 ? kTableCorrupt : 0);
}

}  // namespace partam
