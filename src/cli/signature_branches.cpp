// The branches of /signature=, /status, /status= and /volumeid=: single
// fields of sector 0 and of a partition's boot sector.
#include <algorithm>
#include <array>

#include "base/result_codes.h"
#include "base/text.h"
#include "cli/branches.h"
#include "fs/file_system.h"
#include "mbr/signature.h"

namespace partam {

namespace {

// The status byte /status= asks for; 255 and above are refused.
constexpr std::int64_t kStatusLimit = 255;

}  // namespace

void SignatureOptionCheck(RunContext& run) {
    if (!run.arguments.Find("/Value")) {
        RecordResult(run, CommandId::WriteSignature, kBadSignatureOption);
        return;
    }
    // Anything but eight hexadecimal digits is refused before the disk is
    // touched: a pair that is no number must not become some byte.
    if (!ParseSignatureText(run.arguments.Value()))
        RecordResult(run, CommandId::WriteSignature, kBadSignatureValue);
}

void WriteStatusCheck(RunContext& run) {
    if (ReadDecimal(run.options.valueText) >= kStatusLimit)
        RecordResult(run, CommandId::WriteStatus, kStatusOutOfRange);
}

void SignatureBranch(RunContext& run) { RecordResult(run, CommandId::Signature, kBadSignatureOption); }

void ReadSignatureBranch(RunContext& run) {
    RunOptions& o = run.options;
    std::array<std::uint8_t, 4> bytes{};
    // Without 55 AA there is no signature to show, /ignore or not.
    const int code = ReadDiskSignature(*run.disk, bytes);
    std::copy(bytes.begin(), bytes.end(), o.signatureBytes);
    RecordResult(run, CommandId::ReadSignature, code);
    DebugTrace(run, "ReadSignature", o.result);
}

void ChangeSignatureBranch(RunContext& run) {
    const CommandId command = run.options.command;
    const int mode = command == CommandId::ZeroSignature       ? static_cast<int>(SignatureMode::Zero)
                     : command == CommandId::GenerateSignature ? static_cast<int>(SignatureMode::Generate)
                                                               : static_cast<int>(SignatureMode::Write);
    const std::string text = run.arguments.Find("/Value") ? run.arguments.Value() : std::string();
    Platform& platform = run.platform;
    // A change that did not happen is never reported as made, even where
    // /ignore kept its failure from being recorded.
    RecordResult(run, command,
                 SetDiskSignature(*run.disk, mode, text, [&platform] { return platform.RandomNumber(); }));
}

void StatusBranch(RunContext& run) {
    RunOptions& o = run.options;
    RecordResult(run, CommandId::Status, ReadStatusByte(*run.disk, o.statusByte));
    DebugTrace(run, "ReadStatus", o.result);
}

void WriteStatusBranch(RunContext& run) {
    RunOptions& o = run.options;
    const auto value = static_cast<std::uint8_t>(ReadDecimal(o.valueText));
    RecordResult(run, CommandId::WriteStatus, WriteStatusByte(*run.disk, value));
    DebugTrace(run, "WriteStatus", o.result);
}

void VolumeIdBranch(RunContext& run) { RecordResult(run, CommandId::VolumeID, kBadVolumeIdOption); }

void ReadVolumeIdBranch(RunContext& run) {
    RunOptions& o = run.options;
    const mPart* part = run.disk->GetPartition(o.part, false);
    if (!part) {
        RecordResult(run, CommandId::ReadVolumeID, kInvalidPartition);
        return;
    }
    o.volumeIdText = VolumeIdText(*run.disk, part->start);
    RecordResult(run, CommandId::ReadVolumeID, 0);
    DebugTrace(run, "ReadVolumeID", o.result);
}

}  // namespace partam
