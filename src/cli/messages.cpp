#include "cli/messages.h"

#include <cstdint>

#include "base/text.h"

namespace partam {

namespace {

struct CodeText {
    int code;
    const char* text;
};

constexpr CodeText kCodeTexts[] = {
    {200, "Invalid EFI Disk"},
    {202, "Unable to Save changes to the GPT"},
    {203, "Unable to Read from File"},
    {204, "Unable to Open File"},
    {205, "Invalid Partamer Backup File"},
    {300, "Specified file is not a VMware disk file"},
    {302, "Specified file is not a VMware disk file"},
    {303, "Unable to open a required file for the specified virtual disk"},
    {304, "Unable to determine the specific virtual disk type"},
    {305, "Unable to locate a valid MBR in the virtual disk file"},
    {501, "An invalid/missing disk device was detected"},
    {502, "Could not read from the device number"},
    {503, "The MBR is missing or corrupt"},
    {504, "An invalid entry was located in the boot record "},
    {505, "Unable to save the specified sectors to the selected disk"},
    {506, "Unable to read the MBR from selected disk"},
    {507, "An error ocurred writing the backup file"},
    {508, "An error ocurred reading the backup file"},
    {509, "The file does not contain a copy of a valid MBR"},
    {510, "Unable to locate a valid MBR at this location"},
    {511, "Invalid Disk selected"},
    {512, "Invalid Partition selected"},
    {513, "Partition table is corrupt"},
    {514, "Discrepancy between Bios Disk Count and Actual Disk Count"},
    {515, "No Disk Identified or Insufficient User Privileges"},
    {516, "Unable to complete disk wipe"},
    {518, "Unable to create partition, invalid or missing MBR"},
    {550, "Unable to locate specified volume"},
    {551, "Specified volume is already mounted"},
    {552, "Specified volume is not mounted"},
    {553, "Unable to mount the selected volume"},
    {554, "Unable to dismount the selected volume"},
    {555, "Specified Drive Letter already assigned"},
    {556, "Unable to assign label to selected volume"},
    {557, "Invalid mode or signature specified"},
    {558, "Unable to hide this partition type"},
    {559, "Unable to modify removable disk partitions"},
    {560, "File size does not match requested command"},
    {561, "File does not contain a valid MBR\n"},
    {562, "Invalid path or filename specified"},
    {563, "Unable to overwrite existing file. Check permissions and attributes."},
    {564, "Unable to locate specified file"},
    {565, "Unable to locate the specified virtual disk file"},
    {566, "Specified file is not a VMware disk file"},
    {567, "Unable to identify format of VMDK file"},
    {568, "Unable to identify virtual disk parameters"},
    {569, "Virtual disk file locked, or insufficient privileges"},
};

constexpr const char* kFourBlanks = "    ";

// What fills the "%s" of a command-level line.
enum class Fill { None, ValueText, BadSwitch, VolArgument };

struct CommandLine {
    int code;
    const char* pattern;  // "%d" is the code, "%s" the fill
    Fill fill;
};

constexpr CommandLine kCommandLines[] = {
    {101, "\n Error %d: Invalid partition ID specified\n", Fill::None},
    {102, "\n Error %d: No command line parameters specified \n", Fill::None},
    {104, " Error %d: Unable to write MBR information to file %s.\n", Fill::ValueText},
    {105, "\n Error %d: Invalid or incomplete switch: %s\n", Fill::BadSwitch},
    {106, " Error %d: Invalid Partition specified.\n", Fill::None},
    {109, " Error %d: Missing or invalid /Target=x command, required with copy\n", Fill::None},
    {110, " Error %d: The specified file does not contain the MBR signature\n", Fill::None},
    {111, " Error %d: Missing or incomplete Range specified for the operation\n", Fill::None},
    {112, " Error %d: Invalid option specified.\n", Fill::None},
    {113, " Error %d: All disks can only be used with all partitions\n", Fill::None},
    {116, " Error %d: Status must be between 0 and 254\n", Fill::None},
    {117, " Error %d: Invalid Parameter: %s\n", Fill::BadSwitch},
    {118, " Error %d: Missing or Incomplete Parameter: %s\n", Fill::BadSwitch},
    {119, " Error %d: /Value must include an 8 character hex string, eg. AC67AC67\n", Fill::None},
    {120, " Error %d: Invalid or missing option required with /Signature\n", Fill::None},
    {122, " Error %d: Missing or invalid /Source=x command, required with /copy\n", Fill::None},
    {124, " Error %d: Invalid or missing option required with /VolumeID\n", Fill::None},
    {125, " Partition entries already sorted. No changes have been made.\n", Fill::None},
    {126, " Error %d: Partition table must be sorted before performing this operation \n", Fill::None},
    {127, " Error %d: All Partitions command not allowed with this operation\n", Fill::None},
    {128, " Error %d: All Disks command not allowed with this operation\n", Fill::None},
    {129, " Error %d: User cancelled process\n", Fill::None},
    {131, " Error %d: Unable to perform GPT operations on Non-GPT Disks\n", Fill::None},
    {133, " Error %d: Invalid or missing filename\n", Fill::None},
    {134, " Error %d: Unable to locate the specified file\n", Fill::None},
    {135, " Error %d: Unable to open the specified file\n", Fill::None},
    {136,
     "Error %d: Partamer is unable to access the disk(s) with current permissions,\n"
     "          please restart as Administrator.\n",
     Fill::None},
    {137, " Error %d: The specified start sector is currently assigned\n", Fill::None},
    {138, " Error %d: The specified size extends into unavailable space \n", Fill::None},
    {139, " Error %d: Invalid value specified for align parameter\n", Fill::None},
    {141, " Error %d: Missing or invalid size parameter specified\n", Fill::None},
    {142, " Error %d: Unable to locate available freepace for new partition \n", Fill::None},
    {143, " Error %d: Partition table is full, unable to create new partitions \n", Fill::None},
    {144, " Error %d: Unable to locate the System partition \n", Fill::None},
    {145, " Error %d: Unable to locate the Boot partition \n", Fill::None},
    {146, " Error %d: Unable to locate a utility / recovery partition \n", Fill::None},
    {147, " Error %d: Unable to locate the specifed partition: '%s' \n", Fill::VolArgument},
    {148, " Error %d: Unable to locate the partition assigned to drive letter: %s \n", Fill::VolArgument},
    {149, " Error %d: Unsupported partition boot record for\n", Fill::None},
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

const char* AreaName(AreaKind area) {
    switch (area) {
        case AreaKind::Vbr:
            return "volume boot record";
        case AreaKind::Gpt:
            return "GPT";
        case AreaKind::Disk:
            return "disk";
        case AreaKind::Head:
            return "first head";
        case AreaKind::Mbr:
            return "MBR";
        default:
            return "specified sector range";
    }
}

const char* WipeText(const std::string& what) {
    if (what == "mbr") return "MBR successfully cleared";
    if (what == "head") return "Entire first head successfully cleared";
    if (what == "disk") return "Disk successfully cleared";
    return "Specified sectors successfully cleared";
}

// The closing message of a run that succeeded.
void ShowSuccess(RunContext& run) {
    const RunOptions& o = run.options;
    switch (o.command) {
        case CommandId::Save:
            run.Printf(" The %s was successfully saved to %s\n", AreaName(o.area), o.fileName.c_str());
            return;
        case CommandId::Restore:
            run.Printf(" The %s was successfully restored from %s\n", AreaName(o.area), o.fileName.c_str());
            return;
        case CommandId::IsSorted:
            run.Printf(" Partition entries are %ssorted \n", o.entriesSorted == 0 ? "not " : "");
            return;
        case CommandId::Status:
            run.Printf(" Status read successfully as %d  \n", o.statusByte);
            return;
        case CommandId::ReadSignature: {
            const std::uint8_t* s = o.signatureBytes;
            if (o.silent)
                run.Printf("%-2.2X%-2.2X%-2.2X%-2.2X", s[0], s[1], s[2], s[3]);
            else
                run.Printf(" Disk %d signature: 0x%-2.2X%-2.2X%-2.2X%-2.2X  \n", o.disk, s[0], s[1], s[2],
                           s[3]);
            return;
        }
        case CommandId::ReadVolumeID:
            if (o.silent)
                run.Print(o.volumeIdText);
            else
                run.Printf(" Disk %d Part %d VolumeID: %s  \n", o.disk, o.part, o.volumeIdText.c_str());
            return;
        case CommandId::List:
        case CommandId::Show:
            return;
        default:
            break;
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

const char* ErrorText(RunContext& run, int code) {
    const char* text = ErrorText(code);
    if (run.disk) run.disk->errorText = text;
    return text;
}

std::optional<std::string> SuccessText(const RunOptions& options, CommandId command) {
    switch (command) {
        case CommandId::Repair:
            return options.sector == 0 ? "MBR successfully repaired"
                                       : "Specified sectors successfully restored";
        case CommandId::Wipe:
            return WipeText(options.valueText);
        case CommandId::Sort:
            return "Partition entries successfully sorted";
        case CommandId::Active:
            return "Partition successfully set to active";
        case CommandId::Hide:
            return "Partition(s) successfully hidden";
        case CommandId::Inactive:
            return "Partition successfully set inactive";
        case CommandId::UnHide:
            return "Partition(s) successfully unhidden";
        case CommandId::Del:
            return "Partition successfully deleted";
        case CommandId::DeleteAll:
            return "All Partitions successfully deleted";
        case CommandId::Type:
            return "Partition type successfully changed";
        case CommandId::Copy:
            return "Sector was successfully copied";
        case CommandId::WriteIni:
            return "MBR information was successfully written to %s";
        case CommandId::BootMenu:
            return "\n Partition %s successfully set to active";
        case CommandId::WriteStatus:
            return "Status written successfully";
        case CommandId::Create:
            return "Partition created successfully";
        case CommandId::WriteSignature:
            return "Disk signature was successfully updated";
        case CommandId::GenerateSignature:
            return "Disk signature was successfully generated";
        case CommandId::ZeroSignature:
            return "Disk signature was successfully Zeroed out";
        default:
            return std::nullopt;
    }
}

std::string ResultLine(RunContext& run, int code) {
    if (const CommandLine* line = FindCommandLine(code))
        return FillPattern(line->pattern, code, FillText(run, line->fill));
    return FillPattern(" Error %d: %s\n\n", code, ErrorText(run, code));
}

void ShowMessages(RunContext& run) {
    const RunOptions& o = run.options;
    if (o.messageLevel == 1) return;
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
