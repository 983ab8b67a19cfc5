// The program from start to end: set-up, parsing, banner, the command or
// the help page, the closing message, shutdown and the exit code.
#include "cli/driver.h"

#include <memory>
#include <optional>
#include <string>

#include "base/result_codes.h"
#include "base/text.h"
#include "cli/banner.h"
#include "cli/commands.h"
#include "cli/elevation.h"
#include "cli/executor.h"
#include "cli/help.h"
#include "cli/messages.h"
#include "cli/switches.h"
#include "fs/file_system.h"
#include "fs/volume_label.h"
#include "gpt/gpt_disk.h"
#include "mbr/partition_list.h"
#include "report/json_report.h"
#include "vdisk/open_vmdk.h"

namespace partam {

namespace {

bool Matches(const mPart& part, VolumeKind kind, const std::string& text) {
    switch (kind) {
        case VolumeKind::System:
            return part.driveLetter == text[0];
        case VolumeKind::Boot:
            return part.active != 0;
        case VolumeKind::Diagnostic:
            return part.type == 0x12 || part.type == 0xDE;
        case VolumeKind::Label:
            return EqualsNoCase(part.volumeLabel, text);
        case VolumeKind::DriveLetter:
            return ToUpperAscii(text[0]) == ToUpperAscii(part.driveLetter);
    }
    return false;
}

bool NeedsText(VolumeKind kind) { return kind != VolumeKind::Boot && kind != VolumeKind::Diagnostic; }

// The switches from the command line or the options file; true when the
// command is to be carried out.
// The trace of the switches is held until all are read: a /json after
// /debug still keeps the document the whole output.
bool ReadSwitches(RunContext& run, int argc, const char* const* argv) {
    RunOptions& o = run.options;
    run.heldTrace.emplace();
    const bool fromFile = argc <= 1 && ReadOptionsFile(run);
    if (argc > 1) ParseCommandLine(run, argc, argv);
    if (argc > 1 || fromFile) CheckJsonSwitch(run);
    const std::string trace = std::move(*run.heldTrace);
    run.heldTrace.reset();
    if (!o.json) run.Print(trace);
    if (fromFile) return true;
    if (argc <= 1) {
        RecordResult(run, kNoParameters, kNoParameters);
        o.badSwitch = 1;
        return false;
    }
    return o.badSwitch == 0 && o.command != CommandId::None && o.help == 0;
}

struct VolumeSwitch {
    VolumeKind kind;
    int failure;
};

std::optional<VolumeSwitch> VolumeSwitchOf(int part) {
    switch (part) {
        case kPartSystem:
            return VolumeSwitch{VolumeKind::System, kNoSystemPartition};
        case kPartBoot:
            return VolumeSwitch{VolumeKind::Boot, kNoBootPartition};
        case kPartDiagnostic:
            return VolumeSwitch{VolumeKind::Diagnostic, kNoUtilityPartition};
        case kPartLabel:
            return VolumeSwitch{VolumeKind::Label, kNoLabelledPartition};
        case kPartDriveLetter:
            return VolumeSwitch{VolumeKind::DriveLetter, kNoLetteredPartition};
        default:
            return std::nullopt;
    }
}

// A volume switch names a disk and a partition, which replace the numbers
// given.
void ResolveVolumeSwitch(RunContext& run) {
    RunOptions& o = run.options;
    const auto volume = VolumeSwitchOf(o.part);
    if (!volume) return;
    std::optional<std::string> text;
    if (volume->kind == VolumeKind::System)
        text = run.platform.GetEnv("systemdrive");
    else if (run.arguments.Find("/Vol"))
        text = run.arguments.Value();
    if (!ResolveVolume(run, volume->kind, text, o.resolvedDisk, o.resolvedPart))
        RecordResult(run, CommandId::None, volume->failure);
    if (o.resolvedDisk >= 0 && o.resolvedPart >= 1) {
        o.disk = o.resolvedDisk;
        o.part = o.resolvedPart;
    }
}

void CarryOut(RunContext& run) {
    RunOptions& o = run.options;
    DebugTrace(run, "StartDoingIt", 0);
    // A command that only reads opens the disks for reading; one that writes
    // opens each disk it selects as its one writer. No disk is selected
    // before the command selects its own: a writer would hold one it does
    // not work on.
    const DriveAccess access = EffectOf(o) == DiskEffect::ReadsOnly ? DriveAccess::Read : DriveAccess::Write;
    run.disk = std::make_unique<mDisk>(run.platform, -1, StandardTableReaders(), OpenVmdk, access);
    run.sizeFormatter = std::make_unique<SizeFormatter>(run.platform);
    DebugTrace(run, "Diskcount", run.disk->DiskCount());
    // Only a machine without disks stops the run here.
    if (run.disk->Problem() == kNoDisk) RecordResult(run, CommandId::None, kNoDisk);
    ResolveVolumeSwitch(run);
    ProcessSwitches2(run);
    RunAfterFrame(run);
    DebugTrace(run, "ShowMessages", 0);
    ShowMessages(run);
    DebugTrace(run, "FinishedDoingIt", 0);
}

// The commands that answer through the exit code. The number of disks is
// always known once the disk object exists; a flag or count of "the selected
// disk" only when the disk asked about was selected, else the run ends with
// why it was not.
void ApplyExitValue(RunContext& run) {
    RunOptions& o = run.options;
    if (o.command == CommandId::Status) o.result = o.result != 0 ? -o.result : o.statusByte;
    if (!run.disk) return;
    switch (o.command) {
        case CommandId::IsFixed:
            if (run.targetSelected) o.result = run.disk->IsRemovable() ? 0 : 1;
            break;
        case CommandId::DiskCount:
            // No disk at all is the failure the run ended with (515), not a
            // count of 0.
            if (run.disk->DiskCount() > 0 || o.result == 0) o.result = run.disk->DiskCount();
            break;
        case CommandId::PartCount:
            if (run.targetSelected) o.result = run.disk->PartitionCount(0);
            break;
        default:
            break;
    }
}

// The one document /json prints: the disks the report found, the run's
// error (null on success) and, with /result, the exit code.
void PrintJsonDocument(RunContext& run, int code) {
    JsonValue document = JsonValue::Object();
    document.Add("disks", std::move(run.jsonDisks));
    document.Add("error", code != 0 ? JsonError(code, ResultWords(run, code)) : JsonValue());
    if (run.options.showResult) document.Add("result", run.options.result);
    run.Print(document.Text() + "\n");
}

}  // namespace

TableReaders StandardTableReaders() {
    TableReaders readers;
    readers.mbr = MbrTableReader();
    // A GPT partition is named by the filesystem its first sectors hold.
    readers.gpt = [](const TableSource& source) -> std::unique_ptr<PartitionTable> {
        const SectorRunReader read = source.readRun;
        return ReadGpt(source, [read](std::uint64_t start) {
            std::array<std::uint8_t, kRecognitionSectors * kSectorSize> bytes{};
            if (!read || !read(start, kRecognitionSectors, bytes.data())) return NamedFileSystem{};
            const FileSystemCode code = RecognizeBytes(bytes);
            return NamedFileSystem{static_cast<std::uint32_t>(code), FileSystemName(code)};
        });
    };
    readers.label = VolumeLabelReader();
    return readers;
}

bool ResolveVolume(RunContext& run, VolumeKind kind, const std::optional<std::string>& text, int& diskOut,
                   int& partOut) {
    if (NeedsText(kind) && (!text || text->empty())) return false;
    const std::string wanted = text.value_or(std::string());
    mDisk scan(run.platform, 0, StandardTableReaders(), {}, DriveAccess::Read);
    for (int d = 0; d < scan.DiskCount(); ++d) {
        scan.Use(d);
        const int count = scan.PartitionCount(0);
        for (int p = 1; p <= count; ++p) {
            const mPart* part = scan.GetPartition(p, false);
            if (part && Matches(*part, kind, wanted)) {
                diskOut = d;
                partOut = p;
                return true;
            }
        }
    }
    return false;
}

int RunProgram(Platform& platform, int argc, const char* const* argv) {
    RunContext run(platform);
    RunOptions& o = run.options;
    if (!HasDiskRights(platform)) RecordResult(run, CommandId::None, kNoDiskRights);
    const std::uint32_t codePage = platform.OutputCodePage();
    run.frame = SetFrameStyle(FrameStyleForCodePage(codePage), codePage);

    const bool doIt = ReadSwitches(run, argc, argv);
    if (!o.silent && !o.json) {
        run.Printf("\n%s for %s\n", kBanner, kPlatformName);
        run.Printf("  %s\n", kBannerSecondLine);
    }
    DebugTrace(run, "DoIt", doIt ? 1 : 0);

    if (doIt) {
        CarryOut(run);
    } else if (o.badSwitch == 1) {
        ShowMessages(run);
    } else if (o.shutdownMode == 0) {
        DebugTrace(run, "NotDoingIt", 0);
        ShowHelp(run);
    }
    if (o.shutdownMode != 0 && (o.result == 0 || o.ignoreErrors)) ShutdownSystem(platform, o.shutdownMode);
    const int code = o.result;
    ApplyExitValue(run);
    if (o.json)
        PrintJsonDocument(run, code);
    else if (o.showResult)
        run.Printf(o.silent ? "\n%d\n" : "\n Result: %d\n", o.result);
    return o.result;
}

}  // namespace partam
