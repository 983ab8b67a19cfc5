// Formatting a partition. The program writes no filesystem itself: it hands
// the partition to the system's format engine and shows on the console what
// the engine reports through its callback.
#pragma once

#include <cstdint>
#include <string>

#include "disk/disk.h"
#include "platform/platform.h"

namespace partam {

enum class FormatFileSystem : std::uint32_t { Ntfs = 0, Fat32 = 1 };

// The cluster size a cluster code asks for: 0 the filesystem's default (0
// bytes), 1 512 bytes, 10 to 18 two to the power of the code (1,024 to
// 262,144 bytes); any other code 4,096 bytes.
std::uint32_t ClusterBytes(std::uint32_t clusterCode);

// A partition of the selected disk to format, and the system's name of its
// volume (empty when it gave it none).
struct FormatTarget {
    std::string volumeName;
    std::uint64_t start = 0;
    std::uint64_t sectors = 0;
};

// One format, from the engine's loading to its verdict. The engine's
// callback carries no context, so the formatter constructed last is the one
// it reaches, until that formatter is destroyed: one format at a time.
class Formatter {
public:
    explicit Formatter(Platform& platform);
    ~Formatter();
    Formatter(const Formatter&) = delete;
    Formatter& operator=(const Formatter&) = delete;

    bool ProgressSeen() const { return progressSeen_; }
    bool InProgress() const { return inProgress_; }
    bool Success() const { return success_; }
    // The system had no volume for the partition: nothing was handed over.
    bool Refused() const { return refused_; }
    // What the last notable event said; the percentage while it formats.
    const std::string& StatusText() const { return statusText_; }

    // The engine's callback: acts on the event for the formatter in use and
    // always lets the engine go on.
    static std::uint8_t PARTAM_ENGINE_CALL FormatCallback(std::uint32_t event, std::uint32_t subCode,
                                                          void* argument);

private:
    friend bool FormatDrive(Formatter& formatter, mDisk& disk, FormatFileSystem fileSystem,
                            const FormatTarget& target, const std::string& label, std::uint32_t clusterCode);
    void OnEvent(std::uint32_t event, void* argument);

    Platform& platform_;
    bool progressSeen_ = false;
    bool inProgress_ = false;
    bool success_ = false;
    bool refused_ = false;
    std::string statusText_;
};

// Formats the partition with the filesystem and label through the system's
// engine, as a full format; true when the engine's verdict was success. An
// engine that builds the volume apart from the partition writes it there
// through the disk object, never past the partition's end.
bool FormatDrive(Formatter& formatter, mDisk& disk, FormatFileSystem fileSystem, const FormatTarget& target,
                 const std::string& label, std::uint32_t clusterCode);

// FormatDrive as NTFS.
inline bool FormatVolume(Formatter& formatter, mDisk& disk, const FormatTarget& target,
                         const std::string& label, std::uint32_t clusterCode) {
    return FormatDrive(formatter, disk, FormatFileSystem::Ntfs, target, label, clusterCode);
}

}  // namespace partam
