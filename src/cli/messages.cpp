#include "cli/messages.h"

#include <cstdint>

#include "base/text.h"
#include "cli/commands.h"

namespace partam {

namespace {

struct CodeText {
    MBRERRORS code;
    const char* text;
};

constexpr CodeText kCodeTexts[] = {
    {kInvalidEfiDisk, "Invalid EFI Disk"},
    {kGptSaveFailed, "Unable to Save changes to the GPT"},
    {kGptFileReadFailed, "Unable to Read from File"},
    {kGptFileOpenFailed, "Unable to Open File"},
    {kGptBadBackupFile, "Invalid Partamer Backup File"},
    {kVdiskNotVmware, "Specified file is not a VMware disk file"},
    {kVdiskNotVmware2, "Specified file is not a VMware disk file"},
    {kVdiskExtentOpenFailed, "Unable to open a required file for the specified virtual disk"},
    {kVdiskUnknownType, "Unable to determine the specific virtual disk type"},
    {kVdiskNoMbr, "Unable to locate a valid MBR in the virtual disk file"},
    {kInvalidDevice, "An invalid/missing disk device was detected"},
    {kDeviceReadFailed, "Could not read from the device number"},
    {kMbrCorrupt, "The MBR is missing or corrupt"},
    {kInvalidBootEntry, "An invalid entry was located in the boot record "},
    {kSectorWriteFailed, "Unable to save the specified sectors to the selected disk"},
    {kMbrReadFailed, "Unable to read the MBR from selected disk"},
    {kBackupWriteFailed, "An error ocurred writing the backup file"},
    {kBackupReadFailed, "An error ocurred reading the backup file"},
    {kBackupWithoutMbr, "The file does not contain a copy of a valid MBR"},
    {kNoMbrHere, "Unable to locate a valid MBR at this location"},
    {kInvalidDisk, "Invalid Disk selected"},
    {kInvalidPartitionSelected, "Invalid Partition selected"},
    {kTableCorrupt, "Partition table is corrupt"},
    {kBiosCountMismatch, "Discrepancy between Bios Disk Count and Actual Disk Count"},
    {kNoDisk, "No Disk Identified or Insufficient User Privileges"},
    {kWipeFailed, "Unable to complete disk wipe"},
    {kCreateWithoutMbr, "Unable to create partition, invalid or missing MBR"},
    {kVolumeNotFound, "Unable to locate specified volume"},
    {kVolumeMounted, "Specified volume is already mounted"},
    {kVolumeNotMounted, "Specified volume is not mounted"},
    {kMountFailed, "Unable to mount the selected volume"},
    {kDismountFailed, "Unable to dismount the selected volume"},
    {kLetterAssigned, "Specified Drive Letter already assigned"},
    {kLabelFailed, "Unable to assign label to selected volume"},
    {kBadSignatureMode, "Invalid mode or signature specified"},
    {kCannotHideType, "Unable to hide this partition type"},
    {kRemovableRefused, "Unable to modify removable disk partitions"},
    {kFileSizeMismatch, "File size does not match requested command"},
    {kFileWithoutValidMbr, "File does not contain a valid MBR\n"},
    {kBadPath, "Invalid path or filename specified"},
    {kCannotOverwrite, "Unable to overwrite existing file. Check permissions and attributes."},
    {kFileMissing, "Unable to locate specified file"},
    {kVdiskFileMissing, "Unable to locate the specified virtual disk file"},
    {kVdiskNotVmwareFile, "Specified file is not a VMware disk file"},
    {kVdiskUnknownFormat, "Unable to identify format of VMDK file"},
    {kVdiskNoParameters, "Unable to identify virtual disk parameters"},
    {kVdiskLocked, "Virtual disk file locked, or insufficient privileges"},
};

constexpr const char* kFourBlanks = "    ";

// What fills the "%s" of a command-level line.
enum class Fill { None, ValueText, BadSwitch, VolArgument };

struct CommandLine {
    MBRERRORS code;
    const char* pattern;  // "%d" is the code, "%s" the fill
    Fill fill;
};

constexpr CommandLine kCommandLines[] = {
    {kInvalidPartitionId, "\n Error %d: Invalid partition ID specified\n", Fill::None},
    {kNoParameters, "\n Error %d: No command line parameters specified \n", Fill::None},
    {kIniWriteFailed, " Error %d: Unable to write MBR information to file %s.\n", Fill::ValueText},
    {kInvalidSwitch, "\n Error %d: Invalid or incomplete switch: %s\n", Fill::BadSwitch},
    {kInvalidPartition, " Error %d: Invalid Partition specified.\n", Fill::None},
    {kMissingTarget, " Error %d: Missing or invalid /Target=x command, required with copy\n", Fill::None},
    {kFileWithoutMbr, " Error %d: The specified file does not contain the MBR signature\n", Fill::None},
    {kMissingRange, " Error %d: Missing or incomplete Range specified for the operation\n", Fill::None},
    {kInvalidOption, " Error %d: Invalid option specified.\n", Fill::None},
    {kAllDisksNeedAllParts, " Error %d: All disks can only be used with all partitions\n", Fill::None},
    {kStatusOutOfRange, " Error %d: Status must be between 0 and 254\n", Fill::None},
    {kInvalidParameter, " Error %d: Invalid Parameter: %s\n", Fill::BadSwitch},
    {kMissingParameter, " Error %d: Missing or Incomplete Parameter: %s\n", Fill::BadSwitch},
    {kBadSignatureValue, " Error %d: /Value must include an 8 character hex string, eg. AC67AC67\n",
     Fill::None},
    {kBadSignatureOption, " Error %d: Invalid or missing option required with /Signature\n", Fill::None},
    {kMissingSource, " Error %d: Missing or invalid /Source=x command, required with /copy\n", Fill::None},
    {kBadVolumeIdOption, " Error %d: Invalid or missing option required with /VolumeID\n", Fill::None},
    {kAlreadySorted, " Partition entries already sorted. No changes have been made.\n", Fill::None},
    {kMustBeSorted, " Error %d: Partition table must be sorted before performing this operation \n",
     Fill::None},
    {kAllPartsNotAllowed, " Error %d: All Partitions command not allowed with this operation\n", Fill::None},
    {kAllDisksNotAllowed, " Error %d: All Disks command not allowed with this operation\n", Fill::None},
    {kUserCancelled, " Error %d: User cancelled process\n", Fill::None},
    {kNotGptDisk, " Error %d: Unable to perform GPT operations on Non-GPT Disks\n", Fill::None},
    {kBadFileName, " Error %d: Invalid or missing filename\n", Fill::None},
    {kFileNotFound, " Error %d: Unable to locate the specified file\n", Fill::None},
    {kFileOpenFailed, " Error %d: Unable to open the specified file\n", Fill::None},
    {kNoDiskRights,
     "Error %d: Partamer is unable to access the disk(s) with current permissions,\n"
     "          please restart as Administrator.\n",
     Fill::None},
    {kStartAssigned, " Error %d: The specified start sector is currently assigned\n", Fill::None},
    {kSizeTooLarge, " Error %d: The specified size extends into unavailable space \n", Fill::None},
    {kBadAlign, " Error %d: Invalid value specified for align parameter\n", Fill::None},
    {kBadSize, " Error %d: Missing or invalid size parameter specified\n", Fill::None},
    {kNoFreeSpace, " Error %d: Unable to locate available freepace for new partition \n", Fill::None},
    {kTableFull, " Error %d: Partition table is full, unable to create new partitions \n", Fill::None},
    {kNoSystemPartition, " Error %d: Unable to locate the System partition \n", Fill::None},
    {kNoBootPartition, " Error %d: Unable to locate the Boot partition \n", Fill::None},
    {kNoUtilityPartition, " Error %d: Unable to locate a utility / recovery partition \n", Fill::None},
    {kNoLabelledPartition, " Error %d: Unable to locate the specifed partition: '%s' \n", Fill::VolArgument},
    {kNoLetteredPartition, " Error %d: Unable to locate the partition assigned to drive letter: %s \n",
     Fill::VolArgument},
    {kUnsupportedBootRecord, " Error %d: Unsupported partition boot record for\n", Fill::None},
};

// Replaces the first "%d" with the code and the first "%s" with text. The
// patterns are fixed, but the fill comes from the user: substituting by hand
// keeps a "%" in a file name from ever being read as a conversion.
std::string FillPattern(const char* pattern, int code, const std::string& text) {
    std::string out;
    bool codeDone = false, textDone = false;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 'd' && !codeDone) {
            out += Format("%d", code);
            codeDone = true;
            ++p;
        } else if (p[0] == '%' && p[1] == 's' && !textDone) {
            out += text;
            textDone = true;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

const CommandLine* FindCommandLine(int code) {
    for (const CommandLine& line : kCommandLines)
        if (line.code == code) return &line;
    return nullptr;
}

std::string FillText(RunContext& run, Fill fill) {
    switch (fill) {
        case Fill::ValueText:
            return run.options.valueText;
        case Fill::BadSwitch:
            return run.options.badSwitchText;
        case Fill::VolArgument:
            return run.arguments.Find("/Vol") ? run.arguments.Value() : std::string();
        case Fill::None:
            break;
    }
    return std::string();
}

// The closing message of a run that succeeded: the command's own closing
// message, or the success message of the command the result names.
void ShowSuccess(RunContext& run) {
    const RunOptions& o = run.options;
    if (const CommandRow& row = CommandRowOf(o.command); row.closing) {
        row.closing(run);
        return;
    }
    // The message is printed through " %s \n" and then as a format whose one
    // argument is valueText, so a "%s" in it shows valueText.
    if (auto text = SuccessText(o, o.messageCommand))
        run.Print(FillPattern((" " + *text + " \n").c_str(), 0, o.valueText));
}

}  // namespace

const char* const kNoParametersHelp =
    "\n  Partamer is a command line application, but no command line parameters\n"
    "  were specified. Please make certain to start Partamer from a command\n"
    "  prompt.  For example, the following will display available app options:\n\n"
    "  partam /?\n\n"
    "  Press any key to exit . . .\n";

const char* ErrorText(int code) {
    for (const CodeText& entry : kCodeTexts)
        if (entry.code == code) return entry.text;
    return kFourBlanks;
}

std::string ResultLine(RunContext& run, int code) {
    if (const CommandLine* line = FindCommandLine(code))
        return FillPattern(line->pattern, code, FillText(run, line->fill));
    const char* text = ErrorText(code);
    return FillPattern(" Error %d: %s\n\n", code, run.resultText.empty() ? text : run.resultText);
}

std::string ResultWords(RunContext& run, int code) {
    std::string line = ResultLine(run, code);
    const std::string lead = Format("Error %d: ", code);
    if (const auto at = line.find(lead); at != std::string::npos) line.erase(0, at + lead.size());
    return line;
}

void ShowMessages(RunContext& run) {
    const RunOptions& o = run.options;
    // The JSON document carries the result instead.
    if (o.messageLevel == 1 || o.json) return;
    if (o.result == 0) {
        if (o.messageLevel != 3) ShowSuccess(run);
        return;
    }
    if (o.messageLevel == 3) return;
    run.Print(ResultLine(run, o.result));
    if (o.result == kNoParameters) {
        run.Print(kNoParametersHelp);
        run.platform.ReadKey(false);
    }
    if (o.shutdownMode != 0 && !o.ignoreErrors) run.Print(" Shutdown aborted due to previous error!\n");
}

}  // namespace partam
