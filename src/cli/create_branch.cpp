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

// A number read from the command line; ReadDecimal saturates rather than
// wraps, so a huge one stays huge and is refused as too large.
std::uint64_t Number(const std::string& text) { return static_cast<std::uint64_t>(ReadDecimal(text)); }

// A value that names nothing the command can use is a bad switch (105),
// named in the message as it was typed.
[[noreturn]] void RefuseSwitch(RunContext& run, const std::string& argument) {
    run.options.badSwitchText = argument;
    throw kInvalidSwitch;
}

// The parameters as the argument list holds them (the first of each name).
// A /start= that is neither a sector nor "freespace", and a /type= that is
// no type from 1 to 255, are refused before the disk is looked at: a
// partition at sector 0, or of type 0 (an empty slot) or of a type cut to
// its low byte, is never what was asked for. /align= and /size= texts are
// judged where the command comes to them.
CreateRequest ReadRequest(RunContext& run) {
    ArgumentList& arguments = run.arguments;
    CreateRequest request;
    if (arguments.Find("/start")) {
        const std::string value = arguments.Value();
        if (StartsWithDigit(value))
            request.start = Number(value);
        else if (!EqualsNoCase(value, "freespace"))
            RefuseSwitch(run, arguments.Text());
    }
    if (arguments.Find("/align")) {
        const std::string value = arguments.Value();
        request.alignKiB = StartsWithDigit(value) ? Number(value) : 0;
    }
    if (arguments.Find("/size")) {
        const std::string value = arguments.Value();
        using S = CreateRequest::Size;
        if (StartsWithDigit(value)) {
            request.size = S::KiB;
            request.sizeKiB = Number(value);
        } else {
            request.size = EqualsNoCase(value, "max") ? S::Max : S::Invalid;
        }
    }
    if (arguments.Find("/type")) {
        const std::string value = arguments.Value();
        const std::uint64_t type = StartsWithDigit(value) ? Number(value) : 0;
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
