#include "platform/posix/mkntfs.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/posix/block_devices.h"

namespace partam::posix {

namespace fs = std::filesystem;

namespace {

bool IsProgram(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::uint64_t> ReadNumber(const fs::path& file) {
    const auto text = ReadSmallFile(file.string(), 64);
    return text ? ParseUnsigned(*text) : std::nullopt;
}

// The device's name as the kernel gives it in its uevent file; the folder's
// name where that file says nothing.
std::string DeviceName(const fs::path& folder) {
    const auto uevent = ReadSmallFile((folder / "uevent").string(), 4096);
    constexpr std::string_view kKey = "DEVNAME=";
    if (uevent) {
        std::string_view text = *uevent;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            const std::string_view line = text.substr(0, end);
            if (line.substr(0, kKey.size()) == kKey) return std::string(TrimBlanks(line.substr(kKey.size())));
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        }
    }
    return folder.filename().string();
}

}  // namespace

std::optional<std::string> FindMkntfs(const char* variable, const char* searchPath) {
    if (variable) return IsProgram(variable) ? std::optional<std::string>(variable) : std::nullopt;
    std::string folders = searchPath ? searchPath : "";
    folders += ":/usr/sbin:/sbin";
    std::string_view rest = folders;
    while (!rest.empty()) {
        const std::size_t end = rest.find(':');
        const std::string_view folder = rest.substr(0, end);
        // An empty entry is the current folder, as the shell reads it.
        const std::string candidate = (folder.empty() ? std::string(".") : std::string(folder)) + "/mkntfs";
        if (IsProgram(candidate)) return candidate;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return std::nullopt;
}

std::vector<std::string> MkntfsArguments(const FormatJob& job, const std::string& target, bool standIn) {
    std::vector<std::string> args{"mkntfs"};
    if (standIn) {
        args.push_back("--force");
        args.push_back("--quick");
    }
    // The partition's place and the drive's geometry, which Windows needs in
    // the boot sector to start from the volume; mkntfs cannot learn them
    // from a file.
    args.insert(args.end(), {"--sector-size", "512", "--partition-start", std::to_string(job.start)});
    if (job.heads != 0 && job.sectorsPerTrack != 0)
        args.insert(args.end(), {"--heads", std::to_string(job.heads), "--sectors-per-track",
                                 std::to_string(job.sectorsPerTrack)});
    if (job.clusterBytes != 0) args.insert(args.end(), {"--cluster-size", std::to_string(job.clusterBytes)});
    args.insert(args.end(), {"--label", job.label, target});
    return args;
}

std::vector<std::uint32_t> MkntfsProgress::Feed(std::string_view piece) {
    std::vector<std::uint32_t> figures;
    for (const char c : piece) {
        if (c >= '0' && c <= '9') {
            // A longer run of digits than a percentage has is no figure.
            if (digits_.size() < 4) digits_ += c;
            continue;
        }
        if (c == '%' && !digits_.empty() && digits_.size() <= 3) {
            const std::uint32_t figure = static_cast<std::uint32_t>(std::stoul(digits_));
            if (figure <= 100) figures.push_back(figure);
        }
        digits_.clear();
    }
    return figures;
}

std::vector<std::string> MkntfsComplaints(std::string_view errorText, const std::string& standIn) {
    std::vector<std::string> lines;
    while (!errorText.empty()) {
        const std::size_t end = errorText.find('\n');
        const std::string line(errorText.substr(0, end));
        errorText = end == std::string_view::npos ? std::string_view() : errorText.substr(end + 1);
        if (!standIn.empty() && (line == standIn + " is not a block device." || line == "mkntfs forced anyway."))
            continue;
        if (!TrimBlanks(line).empty()) lines.push_back(line);
    }
    return lines;
}

std::optional<std::string> PartitionNode(const SystemRoots& roots, DevNumber disk, std::uint64_t start,
                                         std::uint64_t sectors) {
    const std::string folder = SysFolderOf(roots, disk);
    if (folder.empty()) return std::nullopt;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path part = it->path();
        if (!fs::exists(part / "partition", ec)) continue;
        // The kernel counts both in 512-byte sectors, whatever the device's.
        if (ReadNumber(part / "start") == start && ReadNumber(part / "size") == sectors)
            return roots.dev + "/" + DeviceName(part);
    }
    return std::nullopt;
}

}  // namespace partam::posix
