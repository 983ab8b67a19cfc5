// Registry, process and system, console and locale through the Win32 calls.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <conio.h>
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/console_input.h"
#include "platform/locale_format.h"
#include "platform/system_platform.h"
#include "platform/win32/win32_platform.h"

namespace partam {

std::unique_ptr<Platform> CreateSystemPlatform() { return std::make_unique<win32::Win32Platform>(); }

namespace win32 {

namespace {

constexpr DWORD kMaxTextFile = 1 << 20;
constexpr DWORD kVersionRecordSize = 148;
static_assert(sizeof(OSVERSIONINFOA) == kVersionRecordSize, "the version record the system expects");

// One byte of standard input, whatever it is (console, pipe, file);
// kEndOfInput when it is closed, exhausted or missing.
int ReadInputByte() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return kEndOfInput;
    unsigned char c = 0;
    DWORD n = 0;
    if (!::ReadFile(input, &c, 1, &n, nullptr) || n != 1) return kEndOfInput;
    return c;
}

bool InputIsConsole() {
    DWORD mode = 0;
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    return input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode) != 0;
}

// A locale value read into a small buffer, as a text.
std::string LocaleText(LCTYPE type) {
    char buffer[9] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

UINT LocaleNumber(LCTYPE type) { return static_cast<UINT>(std::atoi(LocaleText(type).c_str())); }

}  // namespace

std::vector<std::string> Win32Platform::LogicalDriveRoots() {
    std::vector<std::string> roots;
    const DWORD needed = GetLogicalDriveStringsA(0, nullptr);
    if (needed == 0) return roots;
    std::string list(needed + 1, '\0');
    const DWORD length = GetLogicalDriveStringsA(static_cast<DWORD>(list.size()), list.data());
    if (length == 0 || length > list.size()) return roots;
    for (std::size_t at = 0; at < length && list[at] != '\0';) {
        const std::size_t end = list.find('\0', at);
        roots.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return roots;
}

std::optional<std::string> Win32Platform::VolumeNameForMountPoint(const std::string& root) {
    char name[1024] = {};
    if (!GetVolumeNameForVolumeMountPointA(root.c_str(), name, sizeof name)) return std::nullopt;
    name[sizeof name - 1] = '\0';
    return std::string(name);
}

bool Win32Platform::ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                                      std::uint32_t maxBytes, std::vector<std::uint8_t>& data) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return false;
    }
    std::vector<std::uint8_t> value(maxBytes + 1);
    DWORD type = 0, size = maxBytes;
    status = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, value.data(), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return false;
    }
    value.resize(std::min<DWORD>(size, maxBytes));
    if (type == REG_SZ || type == REG_EXPAND_SZ)
        while (!value.empty() && value.back() == 0) value.pop_back();
    data = std::move(value);
    return true;
}

OsVersion Win32Platform::GetOsVersion() {
    OsVersion version;
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = kVersionRecordSize;
    if (!GetVersionExA(&info)) return version;
    version.ok = true;
    version.platformId = info.dwPlatformId;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.ntFamily = (GetVersion() & 0x80000000u) == 0;
    return version;
}

Elevation Win32Platform::GetElevation() {
    Elevation elevation;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return elevation;
    TOKEN_ELEVATION answer{};
    DWORD size = 0;
    if (GetTokenInformation(token, TokenElevation, &answer, sizeof answer, &size)) {
        elevation.ok = true;
        elevation.elevated = answer.TokenIsElevated != 0;
    }
    CloseHandle(token);
    return elevation;
}

bool Win32Platform::ShutdownSystem(std::uint32_t flags) {
    std::fflush(stdout);
    if ((GetVersion() & 0x80000000u) == 0) {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
            return false;
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        const DWORD error = GetLastError();
        CloseHandle(token);
        if (error != ERROR_SUCCESS) return false;
    }
    return ExitWindowsEx(flags, 0) != 0;
}

std::string Win32Platform::ProgramFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return ".\\";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return ".\\";
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::optional<std::string> Win32Platform::TempFolder() {
    char path[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathA(sizeof path, path);
    if (n == 0 || n >= sizeof path) return std::nullopt;
    return std::string(path, n);
}

// The value is read as UTF-16 and converted to the active code page here,
// as GetEnvironmentVariableA would do: wine's GetEnvironmentVariableA counts
// the value in UTF-16 units rather than bytes, and so cuts short any value
// whose ANSI form is longer (under UTF-8, every name outside ASCII).
std::optional<std::string> Win32Platform::GetEnv(const std::string& name) {
    std::wstring wideName(name.size(), L'\0');
    const int nameLength = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()),
                                               wideName.data(), static_cast<int>(wideName.size()));
    wideName.resize(static_cast<std::size_t>(std::max(nameLength, 0)));
    std::wstring value(256, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n =
            GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        if (n < value.size()) {
            value.resize(n);
            break;
        }
        value.resize(n);
    }
    const int bytes = WideCharToMultiByte(CP_ACP, 0, value.data(), static_cast<int>(value.size()), nullptr, 0,
                                          nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, value.data(), static_cast<int>(value.size()), text.data(), bytes, nullptr,
                        nullptr);
    return text;
}

std::optional<std::string> Win32Platform::ReadTextFile(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string text(kMaxTextFile, '\0');
    DWORD total = 0, n = 0;
    bool ok = true;
    while (total < kMaxTextFile) {
        ok = ::ReadFile(file, text.data() + total, kMaxTextFile - total, &n, nullptr) != 0;
        if (!ok || n == 0) break;
        total += n;
    }
    CloseHandle(file);
    if (!ok) return std::nullopt;
    text.resize(total);
    return text;
}

void Win32Platform::Write(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void Win32Platform::WriteErrorLine(std::string_view line) {
    std::fflush(stdout);
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

int Win32Platform::ReadKey(bool echo) {
    std::fflush(stdout);
    if (InputIsConsole()) return echo ? _getche() : _getch();
    const int key = ReadInputByte();
    if (echo && key != kEndOfInput) {
        const char c = static_cast<char>(key);
        Write(std::string_view(&c, 1));
        std::fflush(stdout);
    }
    return key;
}

bool Win32Platform::ReadLine(std::string& line) {
    std::fflush(stdout);
    return ReadBoundedLine(ReadInputByte, line);
}

std::uint32_t Win32Platform::OutputCodePage() { return GetConsoleOutputCP(); }

bool Win32Platform::SaveCursorPosition() {
    std::fflush(stdout);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return false;
    savedCursorX_ = info.dwCursorPosition.X;
    savedCursorY_ = info.dwCursorPosition.Y;
    return true;
}

bool Win32Platform::RestoreCursorPosition() {
    std::fflush(stdout);
    return SetConsoleCursorPosition(GetStdHandle(STD_OUTPUT_HANDLE), COORD{savedCursorX_, savedCursorY_}) !=
           0;
}

SystemTime Win32Platform::UtcTime() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    return SystemTime{now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
                      now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
}

// The name is asked for with room for maxLength characters; a longer name
// does not fit and is not taken.
std::optional<std::string> Win32Platform::ComputerName(std::size_t maxLength) {
    std::string name(maxLength + 1, '\0');
    DWORD size = static_cast<DWORD>(name.size());
    if (!GetComputerNameA(name.data(), &size)) return std::nullopt;
    name.resize(size);
    return name;
}

std::optional<std::string> Win32Platform::FormatLocaleNumber(const std::string& numberText,
                                                             unsigned decimals) {
    std::string decimalSeparator = LocaleText(LOCALE_SDECIMAL);
    std::string thousandSeparator = LocaleText(LOCALE_STHOUSAND);
    NUMBERFMTA format{};
    format.NumDigits = DecimalsToShow(numberText, decimals);
    format.LeadingZero = LocaleNumber(LOCALE_ILZERO);
    format.Grouping = LocaleNumber(LOCALE_SGROUPING);
    format.lpDecimalSep = decimalSeparator.data();
    format.lpThousandSep = thousandSeparator.data();
    format.NegativeOrder = LocaleNumber(LOCALE_INEGNUMBER);
    std::string out(3 * numberText.size() + 100, '\0');
    const int n = GetNumberFormatA(LOCALE_USER_DEFAULT, 0, numberText.c_str(), &format, out.data(),
                                   static_cast<int>(out.size()));
    if (n <= 0) return std::nullopt;
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

std::string Win32Platform::LastErrorText() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, LANG_USER_DEFAULT, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n > 0 && text ? std::string(text, n) : "Error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return message;
}

}  // namespace win32
}  // namespace partam
