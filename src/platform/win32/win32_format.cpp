// The system's format engine: FormatEx of fmifs.dll, loaded when a format
// is asked for, so that the program starts on a system without it.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "platform/win32/win32_platform.h"

namespace partam::win32 {

namespace {

// FormatEx (volume root, media type, filesystem name, label, quick format,
// cluster bytes, callback). It returns nothing: its verdict comes through
// the callback's done event.
using FormatExEntry = void(WINAPI*)(const wchar_t* root, DWORD mediaType, const wchar_t* fileSystem,
                                    const wchar_t* label, BOOL quick, DWORD clusterBytes,
                                    FormatEngineCallback callback);

// The texts in the program's code page (UTF-8, by its manifest) as UTF-16.
std::wstring Wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), n);
    return wide;
}

}  // namespace

FormatStart Win32Platform::RunFormatEngine(const FormatJob& job, FormatEngineCallback callback) {
    // An empty root would be the current drive's to the engine.
    if (job.volumeName.empty()) return FormatStart::NoVolume;
    const HMODULE engine = LoadLibraryA("fmifs.dll");
    if (!engine) return FormatStart::NotLoaded;
    const FARPROC address = GetProcAddress(engine, "FormatEx");
    if (!address) {
        FreeLibrary(engine);
        return FormatStart::NotLoaded;
    }
    // Through the generic function type, which converts to any other
    // without a warning about the types.
    const auto formatEx = reinterpret_cast<FormatExEntry>(reinterpret_cast<void (*)()>(address));
    // The engine keeps pointers to these while it runs; they stay
    // terminated, whatever their length.
    const std::wstring root = Wide(job.volumeName);
    const std::wstring fileSystem = Wide(job.fileSystem);
    const std::wstring label = Wide(job.label);
    formatEx(root.c_str(), job.mediaType, fileSystem.c_str(), label.c_str(), job.quick ? TRUE : FALSE,
             job.clusterBytes, callback);
    FreeLibrary(engine);
    return FormatStart::Ran;
}

}  // namespace partam::win32
