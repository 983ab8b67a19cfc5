// Temporary folders and environment settings for the platform tests, both
// undone when the test ends, whichever way it ends; reads and writes at an
// offset through the platform.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "platform/platform.h"
#include "support/images.h"

namespace partam::test {

class ScratchFolder {
public:
    ScratchFolder() { std::filesystem::create_directories(path_); }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::string& data) const {
        const std::string path = Path(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << data;
        return path;
    }
    std::string Write(const std::string& name, const Bytes& data) const {
        return Write(name, std::string(data.begin(), data.end()));
    }
    static Bytes Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path path_ = std::filesystem::temp_directory_path() /
                                  ("partam-platform-" + std::to_string(std::random_device()()));
};

// Sets (or, with nothing, removes) an environment variable for a scope.
struct ScopedEnv {
    ScopedEnv(const char* variable, const std::optional<std::string>& value) : name(variable) {
        if (const char* old = std::getenv(variable)) saved = old;
        Set(value);
    }
    ~ScopedEnv() { Set(saved); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    void Set(const std::optional<std::string>& value) {
        value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
    std::string name;
    std::optional<std::string> saved;
};

// One read or write at an offset; a short or failed write is false.
inline Bytes ReadAt(Platform& p, FileId f, std::int64_t offset, SeekOrigin origin, std::uint32_t count) {
    Bytes b(count);
    std::uint32_t done = 0;
    EXPECT_TRUE(p.SeekFile(f, offset, origin) && p.ReadFile(f, b.data(), count, done));
    b.resize(done);
    return b;
}

inline bool WriteAt(Platform& p, FileId f, std::int64_t offset, const Bytes& data) {
    std::uint32_t done = 0;
    return p.SeekFile(f, offset, SeekOrigin::Begin) &&
           p.WriteFile(f, data.data(), static_cast<std::uint32_t>(data.size()), done) && done == data.size();
}

}  // namespace partam::test
