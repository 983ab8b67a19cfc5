#include "fs/formatter.h"

#include "base/text.h"

namespace partam {

namespace {

// The formatter the engine's callback reaches. The callback has no context
// argument, so this pointer is the one thing of a run that lives outside its
// context; a formatter sets it when constructed and clears it when
// destroyed.
Formatter* activeFormatter = nullptr;

// The events that only leave a word for the status text.
struct EventText {
    std::uint32_t event;
    const char* text;
};
constexpr EventText kEventTexts[] = {
    {kFormatInsufficientRights, "Insufficient rights"},
    {kFormatWriteProtected, "Write protected"},
    {kFormatInvalidRoot, "Invalid drive root"},
};

constexpr char kNoEngineText[] = "Unable to instantiate format functionality";
constexpr char kUnknownErrorText[] = "Unknown error";
constexpr char kExceptionText[] = "Exception thrown";
constexpr char kWriteFailedText[] = "Unable to save the formatted sectors to the selected disk";
constexpr char kNoVolumeText[] = "Unable to locate specified volume";

const char* FileSystemName(FormatFileSystem fileSystem) {
    return fileSystem == FormatFileSystem::Fat32 ? "FAT32" : "NTFS";
}

}  // namespace

std::uint32_t ClusterBytes(std::uint32_t clusterCode) {
    if (clusterCode == 0) return 0;
    if (clusterCode == 1) return 512;
    if (clusterCode >= 10 && clusterCode <= 18) return 1u << clusterCode;
    return 4096;
}

Formatter::Formatter(Platform& platform) : platform_(platform) { activeFormatter = this; }

Formatter::~Formatter() {
    if (activeFormatter == this) activeFormatter = nullptr;
}

std::uint8_t PARTAM_ENGINE_CALL Formatter::FormatCallback(std::uint32_t event, std::uint32_t,
                                                          void* argument) {
    if (activeFormatter) activeFormatter->OnEvent(event, argument);
    return 1;
}

void Formatter::OnEvent(std::uint32_t event, void* argument) {
    switch (event) {
        case kFormatProgress: {
            if (!argument) return;
            progressSeen_ = true;
            inProgress_ = true;
            const std::uint32_t percent = *static_cast<const std::uint32_t*>(argument);
            statusText_ = Format("%u", percent);
            // The carriage return without a line feed lets the next figure
            // take this one's place on the console line.
            platform_.Write(Format("%u percent completed.\r", percent));
            return;
        }
        case kFormatDone:
            success_ = argument && *static_cast<const std::uint8_t*>(argument) != 0;
            inProgress_ = false;
            if (success_) return;
            // What is left of a progress figure says nothing of the failure.
            if (statusText_.size() < 4) statusText_ = kUnknownErrorText;
            platform_.Write("Unable to complete format.\n\n");
            return;
        case kFormatOutput: {
            const auto* output = static_cast<const FormatTextOutput*>(argument);
            // The engine's text is shown as it is, never read as a format.
            if (output && output->text) platform_.Write(output->text);
            return;
        }
        default:
            for (const EventText& entry : kEventTexts)
                if (entry.event == event) statusText_ = entry.text;
    }
}

bool FormatDrive(Formatter& formatter, mDisk& disk, FormatFileSystem fileSystem, const FormatTarget& target,
                 const std::string& label, std::uint32_t clusterCode) {
    formatter.progressSeen_ = false;
    formatter.success_ = false;
    formatter.refused_ = false;

    FormatJob job;
    job.volumeName = target.volumeName;
    job.driveNumber = disk.DriveNumberOf(disk.CurrentIndex());
    job.start = target.start;
    job.sectors = target.sectors;
    job.heads = disk.Geometry().tracksPerCylinder;
    job.sectorsPerTrack = disk.Geometry().sectorsPerTrack;
    job.fileSystem = FileSystemName(fileSystem);
    job.label = label;
    job.quick = false;
    job.clusterBytes = ClusterBytes(clusterCode);
    job.writeSectors = [&formatter, &disk, target](std::uint64_t first, const std::uint8_t* bytes,
                                                   std::uint32_t count) {
        if (first > target.sectors || count > target.sectors - first) return false;
        if (disk.WriteSectors(bytes, target.start + first, count) == 0) return true;
        formatter.statusText_ = kWriteFailedText;
        return false;
    };

    FormatStart start = FormatStart::Ran;
    try {
        start = formatter.platform_.RunFormatEngine(job, &Formatter::FormatCallback);
    } catch (...) {
        formatter.success_ = false;
        formatter.statusText_ = kExceptionText;
        return false;
    }
    switch (start) {
        case FormatStart::NotLoaded:
            formatter.statusText_ = kNoEngineText;
            return false;
        case FormatStart::NoVolume:
            formatter.statusText_ = kNoVolumeText;
            formatter.refused_ = true;
            return false;
        case FormatStart::Ran:
            break;
    }
    return formatter.success_;
}

}  // namespace partam
