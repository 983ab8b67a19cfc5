#include <cstdarg>

#include "base/text.h"
#include "cli/run.h"

namespace partam {

void RunContext::Printf(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    platform.Write(FormatV(format, args));
    va_end(args);
}

int RecordResult(RunContext& run, CommandId command, int code) {
    RunOptions& o = run.options;
    if (code == 0) {
        o.messageCommand = command;
    } else if (o.result == 0) {
        o.result = code;
        DebugTrace(run, "ReturnCodeError", static_cast<int>(command), code);
    }
    return o.result;
}

int DiskProblem(const RunContext& run) {
    return run.options.ignoreErrors != 0 || !run.disk ? 0 : run.disk->Problem();
}

void DebugTrace(RunContext& run, const char* label, int number, int extra) {
    // The trace would break the one document /json prints.
    if (!run.options.debug || run.options.json) return;
    std::string text = Format("\nDebug: %02d %s ", number, label);
    if (extra != 0) text += Format("%d", extra);
    if (run.heldTrace)
        *run.heldTrace += text;
    else
        run.Print(text);
}

}  // namespace partam
