// The /create branch: its parameters read from the argument list, the
// partition created on the selected disk, and the refusals, thrown on the
// way, caught as the run's result.
#include <string>

#include "base/result_codes.h"
#include "base/text.h"
#include "cli/branches.h"
#include "mbr/create.h"

namespace partam {

namespace {

// A value that names nothing the command can use is a bad switch (105),
// named in the message as it was typed.
[[noreturn]] void RefuseSwitch(RunContext& run, const std::string& argument) {
    run.options.badSwitchText = argument;
    throw kInvalidSwitch;
}

// The parameters as the argument list holds them (the first of each name).
// A /start= that is neither a sector nor "freespace", a /size= that is
// neither a number nor "max", an /align= that does not begin with a number
// and a /type= that is no type from 1 to 255 are refused before the disk is
// looked at: a partition at sector 0, or of type 0 (an empty slot) or of a
// type cut to its low byte, is never what was asked for. Numbers up to
// 2^64 - 1 are taken as they are and judged where the command comes to them.
CreateRequest ReadRequest(RunContext& run) {
    ArgumentList& arguments = run.arguments;
    CreateRequest request;
    if (arguments.Find("/start") && !EqualsNoCase(arguments.Value(), "freespace")) {
        request.start = ParseDecimal(arguments.Value());
        if (!request.start) RefuseSwitch(run, arguments.Text());
    }
    if (arguments.Find("/align")) {
        request.alignKiB = LeadingDecimal(arguments.Value());
        if (!request.alignKiB) RefuseSwitch(run, arguments.Text());
    }
    if (arguments.Find("/size")) {
        const std::optional<std::uint64_t> size = ParseDecimal(arguments.Value());
        if (EqualsNoCase(arguments.Value(), "max")) {
            request.size = CreateRequest::Size::Max;
        } else if (size) {
            request.size = CreateRequest::Size::KiB;
            request.sizeKiB = *size;
        } else {
            RefuseSwitch(run, arguments.Text());
        }
    }
    if (arguments.Find("/type")) {
        const std::uint64_t type = ParseDecimal(arguments.Value()).value_or(0);
        if (type < 1 || type > 255) RefuseSwitch(run, arguments.Text());
        request.type = static_cast<std::uint8_t>(type);
    }
    return request;
}

}  // namespace

void CreateBranch(RunContext& run) {
    RunCatchingRefusals(run, CommandId::Create, [&run] {
        const CreateRequest request = ReadRequest(run);
        RecordResult(run, CommandId::Create, CreatePartition(*run.disk, request));
    });
}

}  // namespace partam
