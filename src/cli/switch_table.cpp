#include "cli/switch_table.h"

#include <initializer_list>
#include <limits>

#include "base/result_codes.h"
#include "base/text.h"
#include "cli/run.h"
#include "report/frame.h"

namespace partam {

namespace {

using enum SwitchOutcome;

// A number is digits and nothing else: /target=x30 is no sector 0, nor
// /target=3O sector 3. A value that does not fit its field is refused rather
// than wrapped: /disk=4294967297 must not select disk 1, nor
// /sector=4294967296 sector 0.
template <class Field>
SwitchOutcome ReadNumber(const std::string& value, Field& out) {
    const std::optional<std::uint64_t> number = ParseDecimal(value);
    if (!number || *number > static_cast<std::uint64_t>(std::numeric_limits<Field>::max())) return Invalid;
    out = static_cast<Field>(*number);
    return Applied;
}

struct AreaName {
    const char* name;
    AreaKind area;
};

SwitchOutcome LookUpArea(const std::string& value, std::initializer_list<AreaName> names, AreaKind& area) {
    for (const AreaName& n : names) {
        if (EqualsNoCase(value, n.name)) {
            area = n.area;
            return Applied;
        }
    }
    return Invalid;
}

SwitchOutcome Disk(RunContext& run, const std::string&, const std::string& value) {
    RunOptions& o = run.options;
    if (!value.empty() && value[0] == '*') {
        o.disk = kAllDisks;
        return Applied;
    }
    if (StartsWithDigit(value)) return ReadNumber(value, o.disk);
    // Anything else names a virtual disk file, an empty value included.
    o.disk = kVirtualDisk;
    o.diskFileName = value;
    return Applied;
}

SwitchOutcome Part(RunContext& run, const std::string& argument, const std::string& value) {
    RunOptions& o = run.options;
    o.partSwitchText = argument;
    if (value == "*") {
        o.part = kAllParts;
    } else if (value.size() < 3 && ParseDecimal(value)) {
        o.part = static_cast<std::int32_t>(*ParseDecimal(value));
    } else if (EqualsNoCase(value, "system")) {
        o.part = kPartSystem;
    } else if (EqualsNoCase(value, "boot")) {
        o.part = kPartBoot;
    } else if (EqualsNoCase(value, "diag") || EqualsNoCase(value, "dell") || EqualsNoCase(value, "utility")) {
        o.part = kPartDiagnostic;
    } else {
        return Invalid;
    }
    return Applied;
}

SwitchOutcome Option(RunContext& run, const std::string&, const std::string& value) {
    return LookUpArea(value,
                      {{"head", AreaKind::Head},
                       {"mbr", AreaKind::MbrOption},
                       {"gpt", AreaKind::Gpt},
                       {"disk", AreaKind::Disk}},
                      run.options.area);
}

SwitchOutcome Sector(RunContext& run, const std::string&, const std::string& value) {
    if (StartsWithDigit(value)) return ReadNumber(value, run.options.sector);
    if (!EqualsNoCase(value, "disk")) return Invalid;
    run.options.sector = kSectorDisk;
    return Applied;
}

SwitchOutcome Vol(RunContext& run, const std::string&, const std::string& value) {
    if (value.empty()) return Invalid;
    const char letter = ToUpperAscii(value[0]);
    const bool driveLetter = value.size() == 2 && value[1] == ':' && letter >= 'A' && letter <= 'Z';
    run.options.part = driveLetter ? kPartDriveLetter : kPartLabel;
    return Applied;
}

SwitchOutcome Repair(RunContext& run, const std::string&, const std::string& value) {
    run.options.firstSector = KeywordNumber(value);
    return Applied;
}

SwitchOutcome Save(RunContext& run, const std::string&, const std::string& value) {
    return LookUpArea(value,
                      {{"head", AreaKind::Head},
                       {"mbr", AreaKind::Mbr},
                       {"gpt", AreaKind::Gpt},
                       {"disk", AreaKind::Disk},
                       {"vbr", AreaKind::Vbr},
                       {"range", AreaKind::Range}},
                      run.options.area);
}

// A number is the sector the file's data goes to; "range" sends it back to
// the sectors it was saved from.
SwitchOutcome Restore(RunContext& run, const std::string&, const std::string& value) {
    if (StartsWithDigit(value)) {
        run.options.area = AreaKind::Range;
        return ParseDecimal(value) ? Applied : Invalid;
    }
    return LookUpArea(value,
                      {{"head", AreaKind::Head},
                       {"mbr", AreaKind::Mbr},
                       {"gpt", AreaKind::Gpt},
                       {"disk", AreaKind::Disk},
                       {"vbr", AreaKind::Vbr},
                       {"range", AreaKind::OwnRange}},
                      run.options.area);
}

// A bad wipe area is not a bad switch: the command stays selected and the
// executor stops it on the recorded 117, so the run names the parameter.
SwitchOutcome Wipe(RunContext& run, const std::string& argument, const std::string& value) {
    const SwitchOutcome outcome = LookUpArea(value,
                                             {{"head", AreaKind::Head},
                                              {"mbr", AreaKind::Mbr},
                                              {"gpt", AreaKind::Gpt},
                                              {"disk", AreaKind::Disk},
                                              {"range", AreaKind::Range}},
                                             run.options.area);
    if (outcome == Invalid) RecordSwitchError(run, CommandId::Wipe, kInvalidParameter, argument);
    return Applied;
}

// Together with /create the type belongs to the create command, which reads
// "/type" from the argument list itself.
SwitchOutcome Type(RunContext& run, const std::string&, const std::string& value) {
    if (run.arguments.Find("/create") != nullptr) return Applied;
    if (value.empty()) return Invalid;
    const char last = value.back();
    const std::int64_t code = (last == 'd' || last == 'D') ? ReadDecimal(value) : ReadHex(value);
    // The table takes only the low byte, which the narrowing keeps.
    run.options.typeCode = static_cast<std::int32_t>(code);
    run.options.command = CommandId::Type;
    return Applied;
}

SwitchOutcome Source(RunContext& run, const std::string&, const std::string& value) {
    return ReadNumber(value, run.options.firstSector);
}

SwitchOutcome Target(RunContext& run, const std::string&, const std::string& value) {
    return ReadNumber(value, run.options.lastSector);
}

// "a-b": both ends numbers. A value without a second end is left to the
// command, which names the range as incomplete (111).
SwitchOutcome Range(RunContext&, const std::string&, const std::string& value) {
    const std::size_t dash = value.find('-', 1);
    const bool ends = ParseDecimal(value.substr(0, dash)) &&
                      (dash == std::string::npos || ParseDecimal(value.substr(dash + 1)));
    return ends ? Applied : Invalid;
}

// The number is judged against its range (116) by the command's own check.
SwitchOutcome Number(RunContext&, const std::string&, const std::string& value) {
    return ParseDecimal(value) ? Applied : Invalid;
}

// /start= and /size= of /create: a number, or the word that stands for one
// the command finds itself.
SwitchOutcome Start(RunContext&, const std::string&, const std::string& value) {
    return ParseDecimal(value) || EqualsNoCase(value, "freespace") ? Applied : Invalid;
}

SwitchOutcome Size(RunContext&, const std::string&, const std::string& value) {
    return ParseDecimal(value) || EqualsNoCase(value, "max") ? Applied : Invalid;
}

// An alignment is a number of KiB that letters may follow (/align=4k is 4).
SwitchOutcome Align(RunContext&, const std::string&, const std::string& value) {
    return LeadingDecimal(value) ? Applied : Invalid;
}

// The value chooses the signature command, so that each has a row of its
// own: a read writes nothing. Any other value stays /signature=, which
// refuses it (120) once the disk is selected.
SwitchOutcome Signature(RunContext& run, const std::string&, const std::string& value) {
    static constexpr struct {
        const char* name;
        CommandId command;
    } kModes[] = {{"read", CommandId::ReadSignature},
                  {"zero", CommandId::ZeroSignature},
                  {"generate", CommandId::GenerateSignature},
                  {"write", CommandId::WriteSignature}};
    for (const auto& mode : kModes)
        if (EqualsNoCase(value, mode.name)) run.options.command = mode.command;
    return Applied;
}

// /volumeid=read reads; any other value stays /volumeid=, refused with 124.
SwitchOutcome VolumeId(RunContext& run, const std::string&, const std::string& value) {
    if (EqualsNoCase(value, "read")) run.options.command = CommandId::ReadVolumeID;
    return Applied;
}

SwitchOutcome Msg(RunContext& run, const std::string&, const std::string& value) {
    return ReadNumber(value, run.options.messageLevel);
}

SwitchOutcome Shutdown(RunContext& run, const std::string&, const std::string& value) {
    return ReadNumber(value, run.options.shutdownMode);
}

SwitchOutcome Json(RunContext& run, const std::string& argument, const std::string&) {
    run.options.json = 1;
    run.options.jsonSwitchText = argument;
    return Applied;
}

SwitchOutcome PlainText(RunContext& run, const std::string&, const std::string&) {
    run.frame = SetFrameStyle(3, run.platform.OutputCodePage());
    return Applied;
}

using M = MatchMode;
using C = CommandId;
using R = RunOptions;

// Tried in this order; the first row that matches decides, so a short
// abbreviation selects the earliest row it fits (/s sorts, /d deletes).
// Count rows compare as many characters as the keyword has and ignore the
// rest (/freespaceXYZ is /freespace). A valued switch written without a
// value is refused by the match itself; but /create, which the help page
// shows bare, selects its command whole. It is never abbreviated: /type=
// knows it is create's only from a "/create" in the argument list.
const SwitchRule kRules[] = {
    {.keywords = {"list"}, .command = C::List},
    {.keywords = {"tablist"}, .command = C::TabList},
    {.keywords = {"freespace"}, .mode = M::Count, .flag = &R::freeSpace},
    {.keywords = {"extended", "logical"}, .mode = M::Count, .flag = &R::extendedOnly},
    {.keywords = {"disk="}, .mode = M::Count, .effect = Disk},
    {.keywords = {"part="}, .mode = M::Count, .effect = Part},
    {.keywords = {"option="}, .mode = M::Count, .effect = Option},
    {.keywords = {"sector="}, .mode = M::Count, .effect = Sector},
    {.keywords = {"vol="}, .mode = M::Count, .effect = Vol},
    {.keywords = {"Filename="}, .mode = M::Count, .destination = &R::fileName},
    {.keywords = {"repair="},
     .mode = M::Valued,
     .command = C::Repair,
     .destination = &R::valueText,
     .effect = Repair},
    {.keywords = {"FlashMBR"}, .command = C::FlashMBR},
    {.keywords = {"save="},
     .mode = M::Valued,
     .command = C::Save,
     .destination = &R::valueText,
     .effect = Save},
    {.keywords = {"restore="},
     .mode = M::Valued,
     .command = C::Restore,
     .destination = &R::valueText,
     .effect = Restore},
    {.keywords = {"show="}, .mode = M::Valued, .command = C::Show, .destination = &R::valueText},
    {.keywords = {"FILE"}},
    {.keywords = {"wipe="},
     .mode = M::Valued,
     .command = C::Wipe,
     .destination = &R::valueText,
     .effect = Wipe},
    {.keywords = {"range="}, .mode = M::Valued, .destination = &R::valueText, .effect = Range},
    {.keywords = {"sort"}, .command = C::Sort},
    {.keywords = {"issorted"}, .command = C::IsSorted},
    {.keywords = {"result"}, .flag = &R::showResult},
    {.keywords = {"hide"}, .command = C::Hide},
    {.keywords = {"unhide"}, .command = C::UnHide},
    {.keywords = {"active"}, .command = C::Active},
    {.keywords = {"inactive"}, .command = C::Inactive},
    {.keywords = {"type="}, .mode = M::Valued, .destination = &R::valueText, .effect = Type},
    {.keywords = {"del"}, .command = C::Del},
    {.keywords = {"copy"}, .command = C::Copy},
    {.keywords = {"source="}, .mode = M::Valued, .destination = &R::valueText, .effect = Source},
    {.keywords = {"target="}, .mode = M::Valued, .effect = Target},
    {.keywords = {"status"}, .command = C::Status},
    {.keywords = {"status="},
     .mode = M::Valued,
     .command = C::WriteStatus,
     .destination = &R::valueText,
     .effect = Number},
    {.keywords = {"create"}, .mode = M::Whole, .command = C::Create},
    {.keywords = {"create="}, .mode = M::Valued, .command = C::Create, .destination = &R::valueText},
    {.keywords = {"format"}, .command = C::Format},
    {.keywords = {"signature="},
     .mode = M::Valued,
     .command = C::Signature,
     .destination = &R::valueText,
     .effect = Signature},
    {.keywords = {"volumeid="},
     .mode = M::Valued,
     .command = C::VolumeID,
     .destination = &R::valueText,
     .effect = VolumeId},
    {.keywords = {"value="}, .mode = M::Valued},
    {.keywords = {"align="}, .mode = M::Valued, .effect = Align},
    {.keywords = {"start="}, .mode = M::Valued, .effect = Start},
    {.keywords = {"size="}, .mode = M::Valued, .effect = Size},
    {.keywords = {"bootmenu"}, .command = C::BootMenu},
    {.keywords = {"info"}, .command = C::Info},
    {.keywords = {"writeini="}, .mode = M::Valued, .command = C::WriteIni, .destination = &R::valueText},
    {.keywords = {"ignore"}, .flag = &R::ignoreErrors},
    {.keywords = {"msg="}, .mode = M::Valued, .destination = &R::scratchText, .effect = Msg},
    {.keywords = {"confirm"}, .flag = &R::autoConfirm},
    {.keywords = {"debug"}, .flag = &R::debug},
    {.keywords = {"text"}, .effect = PlainText},
    {.keywords = {"isfixed"}, .command = C::IsFixed},
    {.keywords = {"diskcount"}, .command = C::DiskCount},
    {.keywords = {"partcount"}, .command = C::PartCount},
    {.keywords = {"silent"}, .flag = &R::silent},
    {.keywords = {"nohdr"}, .flag = &R::noHeader},
    {.keywords = {"asciimap"}, .flag = &R::asciiMap},
    {.keywords = {"verify"}, .command = C::Verify},
    {.keywords = {"shutdown="}, .mode = M::Valued, .destination = &R::scratchText, .effect = Shutdown},
    {.keywords = {"json"}, .effect = Json},
    {.keywords = {"?"}, .flag = &R::help},
};

}  // namespace

std::span<const SwitchRule> SwitchRules() { return kRules; }

void RecordSwitchError(RunContext& run, CommandId command, int code, const std::string& argument) {
    if (run.options.result == 0) run.options.badSwitchText = argument;
    RecordResult(run, command, code);
}

}  // namespace partam
