// What each command is, one row per command: how far it may reach, whether
// it changes a disk, what it asks before it does, its branch and what it
// says when it succeeded. The executor and the closing messages read only
// this table; a new command is a new row and a branch.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "cli/run.h"

namespace partam {

// When the executor refuses a partition number the selected disk lacks (106).
enum class PartCheck {
    Always,     // the command works on a partition
    WhenGiven,  // only when /part= or /vol= named one: the command is about the disk
    Never,      // the command checks the number itself
};

// What a command does to the disks.
enum class DiskEffect {
    ReadsOnly,
    // Writes only what lies within a partition (a format).
    WritesData,
    // Changes a table or sector 0, or may: every disk's MBR is copied aside
    // first (the safety copies).
    ChangesTable,
};

// What a prompt is built from.
struct PromptFacts {
    const RunOptions& options;
    int diskIndex;  // the disk selected when the prompt is asked
    bool virtualDisk;
};

struct CommandRow {
    CommandId id = CommandId::None;
    bool allDisks = false;  // /disk=* allowed
    bool allParts = false;  // /part=* allowed
    PartCheck partCheck = PartCheck::Always;
    DiskEffect effect = DiskEffect::ReadsOnly;
    // The effect when the options decide it; effect otherwise.
    DiskEffect (*effectOf)(const RunOptions&) = nullptr;
    // The command works on the disk's sectors, not on its partitions: a
    // table found damaged (513) does not stop it, so that a disk whose chain
    // loops can still be saved, restored, wiped and mended.
    bool sectorsOnly = false;
    // Without /disk= the command is about every disk: a disk that may not
    // be used (see mDisk::Use) is left out, not the end of the run.
    bool everyDisk = false;
    // The action of "Preparing to <action>, are you sure? (Y/N): "; no
    // function, or an empty action, asks nothing.
    std::string (*prompt)(const PromptFacts&) = nullptr;
    // A check of the command's own parameters, after the shared ones and
    // before the prompt; it records what it refuses.
    void (*precheck)(RunContext&) = nullptr;
    // The command selects its disks itself: the executor selects none.
    bool selectsDisks = false;
    // The command's work; none for result variants and for the commands the
    // driver answers through the exit code.
    void (*branch)(RunContext&) = nullptr;
    // The command's work when it comes after the executor rather than within
    // it: the driver takes this step once the executor has printed its
    // closing line, and only when no result is recorded yet. The boot menu
    // is one: its question is then the last line on the screen.
    void (*afterFrame)(RunContext&) = nullptr;
    // The success message, shown when the run's message command is this one
    // (a "%s" in it shows the run's value text); successOf chooses one by
    // the options.
    const char* success = nullptr;
    std::string (*successOf)(const RunOptions&) = nullptr;
    // A closing message of its own, shown instead when this is the run's
    // command and it succeeded.
    void (*closing)(RunContext&) = nullptr;
    // /json may go with it: its branch then builds the run's JSON disks.
    bool json = false;
};

std::span<const CommandRow> CommandRows();
// What the run's command does to the disks, by its row and the options.
DiskEffect EffectOf(const RunOptions& options);
// The row of a command; a row with no effect for an id without one.
const CommandRow& CommandRowOf(CommandId id);

// The prompt's action for the run's command on the selected disk.
std::string PromptAction(const RunContext& run);
// The success message of a command, before its "%s" is filled.
std::optional<std::string> SuccessText(const RunOptions& options, CommandId command);

}  // namespace partam
