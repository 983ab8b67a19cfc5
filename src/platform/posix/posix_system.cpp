// Process, system, console and locale on Linux.

#include <langinfo.h>
#include <locale.h>
#include <spawn.h>
#include <sys/reboot.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/console_input.h"
#include "platform/locale_format.h"
#include "platform/number_format.h"
#include "platform/posix/posix_platform.h"
#include "platform/system_platform.h"

extern char** environ;

namespace partam {

std::unique_ptr<Platform> CreateSystemPlatform() { return std::make_unique<posix::PosixPlatform>(); }

namespace posix {

namespace {

constexpr std::size_t kMaxTextFile = 1 << 20;

// One byte of standard input; kEndOfInput at its end or on an error.
int ReadInputByte() {
    unsigned char c = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n == 1) return c;
        if (n < 0 && errno == EINTR) continue;
        return kEndOfInput;
    }
}

// A key from a terminal without waiting for the line: the terminal neither
// buffers nor echoes it. Enter reads as CR, as on the Windows console.
int ReadTerminalKey() {
    termios saved{};
    if (::tcgetattr(STDIN_FILENO, &saved) != 0) return ReadInputByte();
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_iflag &= static_cast<tcflag_t>(~ICRNL);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    const int key = ReadInputByte();
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    return key;
}

// Runs a program found on PATH, without a shell; true when it exited 0.
bool RunProgram(std::vector<const char*> argv) {
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv.data()), environ) != 0)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool PosixPlatform::ReadRegistryValue(const std::string&, const std::string&, std::uint32_t,
                                      std::vector<std::uint8_t>&) {
    errno = ENOENT;  // there is no registry
    return false;
}

// Linux is no Windows version: the record is filled from the kernel release
// for what it is worth, but the NT-family flag stays clear. The platform id
// and major version still place it "Vista or later", and the process counts
// as elevated: whether the drives may be opened shows when they are opened.
OsVersion PosixPlatform::GetOsVersion() {
    OsVersion version;
    utsname name{};
    if (::uname(&name) != 0) return version;
    unsigned major = 0, minor = 0;
    if (std::sscanf(name.release, "%u.%u", &major, &minor) < 1) return version;
    version.ok = true;
    version.platformId = 2;
    version.major = major;
    version.minor = minor;
    version.ntFamily = false;
    return version;
}

Elevation PosixPlatform::GetElevation() { return Elevation{true, true}; }

// Forced modes (4 set) power off or restart at once, after flushing the
// disks; the polite ones ask the service manager, or the old shutdown
// command, to do it. Without the right to, nothing happens and false is
// returned.
bool PosixPlatform::ShutdownSystem(std::uint32_t flags) {
    const bool reboot = (flags & 3) == 2;
    if ((flags & 3) != 1 && !reboot) return false;
    std::fflush(stdout);
    if (flags & 4) {
        ::sync();
        return ::reboot(reboot ? RB_AUTOBOOT : RB_POWER_OFF) == 0;
    }
    if (RunProgram({"systemctl", reboot ? "reboot" : "poweroff"})) return true;
    return RunProgram({"shutdown", reboot ? "-r" : "-h", "now"});
}

std::string PosixPlatform::ProgramFolder() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink((roots_.proc + "/self/exe").c_str(), path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return "./";
    path.resize(static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

std::optional<std::string> PosixPlatform::TempFolder() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder && *folder ? folder : "/tmp";
    if (path.back() != '/') path += '/';
    return path;
}

std::optional<std::string> PosixPlatform::GetEnv(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

std::optional<std::string> PosixPlatform::ReadTextFile(const std::string& path) {
    return ReadSmallFile(path, kMaxTextFile);
}

// A progress figure ends with a carriage return, not a line feed, which a
// terminal's line buffer would hold back: on a terminal, text without a line
// feed goes out at once.
void PosixPlatform::Write(std::string_view text) {
    static const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (terminal && text.find('\n') == std::string_view::npos) std::fflush(stdout);
}

void PosixPlatform::WriteErrorLine(std::string_view line) {
    std::fflush(stdout);
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

int PosixPlatform::ReadKey(bool echo) {
    std::fflush(stdout);
    const int key = ::isatty(STDIN_FILENO) ? ReadTerminalKey() : ReadInputByte();
    if (echo && key != kEndOfInput) {
        const char c = static_cast<char>(key);
        Write(std::string_view(&c, 1));
        std::fflush(stdout);
    }
    return key;
}

bool PosixPlatform::ReadLine(std::string& line) {
    std::fflush(stdout);
    return ReadBoundedLine(ReadInputByte, line);
}

std::uint32_t PosixPlatform::OutputCodePage() {
    if (!::isatty(STDOUT_FILENO)) return 0;
    const locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) return 0;
    const bool utf8 = std::strcmp(::nl_langinfo_l(CODESET, locale), "UTF-8") == 0;
    ::freelocale(locale);
    return utf8 ? 65001 : 0;
}

// A terminal saves and restores its cursor itself (DEC save and restore
// cursor); anything else cannot go back.
bool PosixPlatform::SaveCursorPosition() {
    if (!::isatty(STDOUT_FILENO)) return false;
    Write("\0337");
    return true;
}

bool PosixPlatform::RestoreCursorPosition() {
    if (!::isatty(STDOUT_FILENO)) return false;
    Write("\0338");
    return true;
}

SystemTime PosixPlatform::UtcTime() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    ::gmtime_r(&now.tv_sec, &utc);
    SystemTime t;
    t.year = static_cast<std::uint16_t>(utc.tm_year + 1900);
    t.month = static_cast<std::uint16_t>(utc.tm_mon + 1);
    t.dayOfWeek = static_cast<std::uint16_t>(utc.tm_wday);
    t.day = static_cast<std::uint16_t>(utc.tm_mday);
    t.hour = static_cast<std::uint16_t>(utc.tm_hour);
    t.minute = static_cast<std::uint16_t>(utc.tm_min);
    t.second = static_cast<std::uint16_t>(utc.tm_sec);
    t.milliseconds = static_cast<std::uint16_t>(now.tv_nsec / 1000000);
    return t;
}

std::optional<std::string> PosixPlatform::ComputerName(std::size_t maxLength) {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return std::nullopt;
    const std::string text(name);
    if (text.size() > maxLength) return std::nullopt;
    return text;
}

// The user's numeric conventions are read from a locale object of their
// own, so the process locale, which printf uses, stays "C".
std::optional<std::string> PosixPlatform::FormatLocaleNumber(const std::string& numberText,
                                                             unsigned decimals) {
    NumberFormat format;
    const locale_t locale = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (locale != static_cast<locale_t>(0)) {
        format = NumberFormatOfLocale(::nl_langinfo_l(RADIXCHAR, locale), ::nl_langinfo_l(THOUSEP, locale),
                                      ::nl_langinfo_l(GROUPING, locale));
        ::freelocale(locale);
    }
    std::optional<std::string> text =
        ApplyNumberFormat(numberText, DecimalsToShow(numberText, decimals), format);
    if (!text) errno = EINVAL;
    return text;
}

std::string PosixPlatform::LastErrorText() { return std::strerror(errno); }

}  // namespace posix
}  // namespace partam
