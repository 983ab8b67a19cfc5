// The format engine on Linux: mkntfs, run without a shell. A partition of a
// block device is formatted through its own device node. A partition of an
// image is formatted as a stand-in file of its size in the temporary folder,
// whose sectors are then written into the partition through the caller's
// writer: no loop device, and no rights beyond those on the image.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/posix/mkntfs.h"
#include "platform/posix/mount_guard.h"
#include "platform/posix/posix_platform.h"

extern char** environ;

namespace partam::posix {

namespace {

// What mkntfs may say on standard error before it ends is kept up to this.
constexpr std::size_t kMaxErrorText = 16 * 1024;
// The stand-in is copied into the partition 1 MiB at a time.
constexpr std::uint32_t kCopySectors = 2048;

// The engine's events, as Windows' engine sends them. Partam's callback
// never asks the engine to stop, so its answer is not looked at.
class Events {
public:
    explicit Events(FormatEngineCallback callback) : callback_(callback) {}
    void Progress(std::uint32_t percent) {
        if (percent == shown_) return;
        shown_ = percent;
        callback_(kFormatProgress, 0, &percent);
    }
    void Output(const std::string& line) {
        const std::string text = line + "\n";
        FormatTextOutput output{1, text.c_str()};
        callback_(kFormatOutput, 0, &output);
    }
    void Done(bool success) {
        std::uint8_t verdict = success ? 1 : 0;
        callback_(kFormatDone, 0, &verdict);
    }

private:
    FormatEngineCallback callback_;
    std::uint32_t shown_ = ~0u;
};

// A file descriptor closed when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Runs mkntfs, its progress reported as it comes; true when it ended well.
// What it said on standard error, when it failed, becomes output lines.
bool RunMkntfs(const std::string& program, const std::vector<std::string>& args, const std::string& standIn,
               Events& events) {
    Descriptor out[2], err[2];
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    out[0].fd = fds[0], out[1].fd = fds[1];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    err[0].fd = fds[0], err[1].fd = fds[1];

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1].fd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1].fd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    ::close(out[1].fd), out[1].fd = -1;
    ::close(err[1].fd), err[1].fd = -1;

    MkntfsProgress progress;
    std::string errorText;
    pollfd polled[2] = {{out[0].fd, POLLIN, 0}, {err[0].fd, POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        if (::poll(polled, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (pollfd& p : polled) {
            if (p.fd < 0 || p.revents == 0) continue;
            const ssize_t n = ::read(p.fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                p.fd = -1;  // its end is closed with its descriptor
                --open;
            } else if (&p == &polled[0]) {
                for (const std::uint32_t figure : progress.Feed(std::string_view(buffer, static_cast<std::size_t>(n))))
                    events.Progress(figure);
            } else if (errorText.size() < kMaxErrorText) {
                errorText.append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    const bool ended = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ended)
        for (const std::string& line : MkntfsComplaints(errorText, standIn)) events.Output(line);
    return ended;
}

// Every sector of the stand-in into the partition, its progress reported.
bool CopyInto(int file, const FormatJob& job, Events& events) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(kCopySectors) * 512);
    for (std::uint64_t done = 0; done < job.sectors;) {
        const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(kCopySectors, job.sectors - done));
        const std::size_t bytes = static_cast<std::size_t>(count) * 512;
        std::size_t got = 0;
        while (got < bytes) {
            const ssize_t n = ::pread(file, buffer.data() + got, bytes - got, static_cast<off_t>(done * 512 + got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            got += static_cast<std::size_t>(n);
        }
        if (!job.writeSectors(done, buffer.data(), count)) return false;
        done += count;
        events.Progress(static_cast<std::uint32_t>(done * 100 / job.sectors));
    }
    return true;
}

// Formats a stand-in file of the partition's size and copies it into the
// partition. The file goes, whatever happens.
bool FormatThroughStandIn(const std::string& program, const std::string& folder, const FormatJob& job,
                          Events& events) {
    std::string path = folder + "partam-format-XXXXXX";
    Descriptor file;
    file.fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (file.fd < 0) return false;
    const bool formatted = ::ftruncate(file.fd, static_cast<off_t>(job.sectors * 512)) == 0 &&
                           RunMkntfs(program, MkntfsArguments(job, path, true), path, events) &&
                           CopyInto(file.fd, job, events);
    ::unlink(path.c_str());
    return formatted;
}

}  // namespace

FormatStart PosixPlatform::RunFormatEngine(const FormatJob& job, FormatEngineCallback callback) {
    const std::optional<std::string> drive = DrivePath(job.driveNumber);
    struct stat st;
    if (!drive || job.sectors == 0 || ::stat(drive->c_str(), &st) != 0) return FormatStart::NoVolume;
    const DevNumber disk{major(st.st_rdev), minor(st.st_rdev)};
    std::optional<std::string> node;
    if (S_ISBLK(st.st_mode))
        node = PartitionNode(roots_, disk, job.start, job.sectors);
    if (S_ISBLK(st.st_mode) ? !node : !S_ISREG(st.st_mode) || !job.writeSectors) return FormatStart::NoVolume;
    // mkntfs makes NTFS alone: for another filesystem there is no engine.
    const std::optional<std::string> program =
        job.fileSystem == "NTFS" ? FindMkntfs(std::getenv(kMkntfsVariable), std::getenv("PATH")) : std::nullopt;
    if (!program) return FormatStart::NotLoaded;

    Events events(callback);
    if (!node) {
        const std::optional<std::string> folder = TempFolder();
        events.Done(folder && FormatThroughStandIn(*program, *folder, job, events));
        return FormatStart::Ran;
    }
    // A partition the running system uses is refused, as every write into
    // it is, before mkntfs sees it.
    if (!WriteAllowed(InspectDevice(roots_, disk), job.start * 512, job.sectors * 512)) {
        events.Output(*node + " is in use by the system.");
        events.Done(false);
        return FormatStart::Ran;
    }
    events.Done(RunMkntfs(*program, MkntfsArguments(job, *node, false), std::string(), events));
    return FormatStart::Ran;
}

}  // namespace partam::posix
