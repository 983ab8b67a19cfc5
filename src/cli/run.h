// One run of the program: its context, the rule that records its result,
// the debug trace, and the program entry.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/run_options.h"
#include "disk/disk.h"
#include "platform/platform.h"
#include "report/formatters.h"
#include "report/frame.h"
#include "report/json.h"

namespace partam {

// Everything one run owns. Tests run the program many times in one process,
// so nothing of a run lives outside its context.
struct RunContext {
    explicit RunContext(Platform& p) : platform(p) {}

    Platform& platform;
    RunOptions options;
    ArgumentList arguments;
    std::unique_ptr<mDisk> disk;
    std::unique_ptr<SizeFormatter> sizeFormatter;
    FrameChars frame;
    // The executor selected the disk the command asked for (a disk index or
    // a virtual disk file); answers about "the selected disk" need it.
    bool targetSelected = false;
    // The disks whose MBR the safety copies copied aside, in order.
    std::vector<int> safetyCopies;
    // A command's own words for the failure it recorded, shown in the
    // general error line in place of the code's text.
    std::string resultText;
    // The debug trace while it is held back rather than printed.
    std::optional<std::string> heldTrace;
    // What a /json report found, for the document the run ends with.
    JsonValue jsonDisks = JsonValue::Array();

    void Print(const std::string& text) { platform.Write(text); }
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void
    Printf(const char* format, ...);
};

// Records the run's result: 0 names the command whose success message is
// shown; any other code is kept only while no result is recorded yet.
int RecordResult(RunContext& run, CommandId command, int code);
inline int RecordResult(RunContext& run, int command, int code) {
    return RecordResult(run, static_cast<CommandId>(command), code);
}

// What loading the selected disk found (see mDisk::Problem), as it counts
// for the run: /ignore lets a command go on past what it read. It never
// covers a write: each write's result is recorded as it is.
int DiskProblem(const RunContext& run);

// "\nDebug: %02d %s " with the number, then the extra number when not 0;
// only under /debug.
void DebugTrace(RunContext& run, const char* label, int number, int extra = 0);

// The readers that build a disk's partition table, by table kind.
TableReaders StandardTableReaders();

// The program: parses argv, carries out the one command, returns the exit
// code.
int RunProgram(Platform& platform, int argc, const char* const* argv);

}  // namespace partam
