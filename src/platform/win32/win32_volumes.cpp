// Volumes, system messages and randomness through the Win32 calls.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <ntsecapi.h>

#include <string>

#include "platform/win32/win32_platform.h"

namespace partam::win32 {

std::optional<std::string> Win32Platform::VolumeLabel(const std::string& rootPath) {
    char label[MAX_PATH + 1] = {};
    if (!GetVolumeInformationA(rootPath.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0))
        return std::nullopt;
    return std::string(label);
}

std::uint32_t Win32Platform::LastErrorCode() { return GetLastError(); }

std::string Win32Platform::SystemErrorText(std::uint32_t code) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, LANG_USER_DEFAULT, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n > 0 && text ? std::string(text, n) : std::string();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return message;
}

// No owner window and an empty caption: the box belongs to no window of
// the program, which has none.
void Win32Platform::ShowMessageBox(const std::string& text) { MessageBoxA(nullptr, text.c_str(), "", MB_OK); }

std::uint32_t Win32Platform::RandomNumber() {
    ULONG value = 0;
    if (RtlGenRandom(&value, sizeof value)) return static_cast<std::uint32_t>(value);
    // A system that refuses it: the clock and the process still differ
    // from one run to the next.
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<std::uint32_t>(counter.QuadPart) ^ (GetCurrentProcessId() << 7);
}

}  // namespace partam::win32
