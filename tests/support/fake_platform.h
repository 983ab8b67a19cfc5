// An in-memory platform for in-process tests: disks and files are byte
// vectors, the registry and the console are scripted, output is captured.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace partam {

// One in-memory file or drive.
struct FakeFile {
    std::string path;  // as it was added
    std::vector<std::uint8_t> data;
    bool isDrive = false;
    // Scripted control-code answers; nothing means the query fails.
    std::optional<DiskGeometry> geometry;
    std::optional<std::uint64_t> geometryEx;
    std::optional<PartitionInformation> partitionInfo;
    std::optional<DriveLayoutAnswer> layoutEx;
    std::optional<DriveLayoutAnswer> layout;
    std::optional<DriveIdentity> identity;
    // Byte offsets whose reads or writes fail (a transfer touching one fails).
    std::set<std::uint64_t> failReadAt;
    std::set<std::uint64_t> failWriteAt;
    // A write touching one of these offsets is torn there: the bytes before
    // it reach the file, then the write fails.
    std::set<std::uint64_t> tearWriteAt;
    bool readOnly = false;
    // Its 4 KiB blocks of zeros are holes, as a file system keeps them, and
    // NextData tells where data follows; without it the platform cannot tell.
    bool holes = false;
    int flushCount = 0;  // FlushFile calls on any handle of this file
    // Another program writes the drive: a writer's open finds it in use.
    bool heldByOtherWriter = false;
    int writerOpens = 0;  // opens of the drive to write it, whatever came of them
};

// One event the fake format engine sends: a progress figure or a verdict
// (value), a text (text), or any other event without an argument.
struct FakeFormatEvent {
    FakeFormatEvent(std::uint32_t e, std::uint32_t v = 0, std::string t = {}) : event(e), value(v), text(t) {}
    std::uint32_t event;
    std::uint32_t value;
    std::string text;
};

// One write that reached a file, whether it succeeded or not.
struct FakeWrite {
    std::string path;
    std::uint64_t offset = 0;
    std::uint32_t count = 0;
    std::uint32_t done = 0;  // bytes that reached the file
    bool ok = false;
    friend bool operator==(const FakeWrite&, const FakeWrite&) = default;
};

// One read asked of a file: where, and how many bytes.
struct FakeRead {
    std::string path;
    std::uint64_t offset = 0;
    std::uint32_t count = 0;
};

// One flush of a file: what it put on the medium are the writes logged before it.
struct FakeFlush {
    std::string path;
    std::size_t afterWrites = 0;
};

class FakePlatform : public Platform {
public:
    FakePlatform();

    // --- Scripting ---------------------------------------------------------
    // Adds drive number n ("\\.\PhysicalDrive<n>") of the given sectors with
    // fixed-disk answers (255 heads, 63 sectors per track); returns it.
    FakeFile& AddDrive(int driveNumber, std::uint64_t sectors);
    FakeFile& AddFile(const std::string& path, std::vector<std::uint8_t> data = {});
    FakeFile* FindFile(const std::string& path);
    void SetRegistryValue(const std::string& key, const std::string& name, const std::string& text);
    void SetRegistryBytes(const std::string& key, const std::string& name, std::vector<std::uint8_t> data);
    void QueueKeys(const std::string& keys) {
        for (char c : keys) keys_.push_back(static_cast<unsigned char>(c));
    }
    void QueueLine(const std::string& line) { lines_.push_back(line); }
    std::string TakeOutput() {
        std::string out;
        out.swap(output);
        return out;
    }

    std::string output;
    std::string errorOutput;  // the lines written on standard error
    std::map<std::string, std::string> env;
    std::string programFolder = "C:\\Tools\\";
    std::optional<std::string> tempFolder = "C:\\Temp\\";
    std::vector<std::string> driveRoots;             // "C:\\", ...
    std::map<std::string, std::string> volumeNames;  // root to volume GUID path
    std::uint32_t codePage = 437;
    OsVersion version{true, 2, 10, 0, true};
    Elevation elevation{true, true};
    std::vector<std::uint32_t> shutdownCalls;
    std::optional<std::string> failNumberFormat;  // the error text when set
    int keysRead = 0;
    bool consoleCursor = false;
    SystemTime now{2026, 12, 0, 6, 21, 9, 52, 123};
    std::optional<std::string> computerName = "TESTPC";
    // Every write to any file, in the order they came, and the number of
    // writes that had come at each flush of any file.
    std::vector<FakeWrite> writes;
    std::vector<FakeFlush> flushes;
    // Every read of any file, in the order they came.
    std::vector<FakeRead> reads;
    // Every read and write call, on any file, is counted; the call whose
    // number (from 1) is named here fails (0: none does).
    int readCalls = 0, writeCalls = 0;
    int failReadCall = 0, failWriteCall = 0;
    // The paths of the drives whose new table the system was told of, in
    // order; with announceFails set it could not be told.
    std::vector<std::string> announced;
    bool announceFails = false;
    // The paths of the drives the system was asked to read the properties of.
    std::vector<std::string> propertiesUpdated;
    // The labels of the volumes the system can read, by root path ("E:\\").
    std::map<std::string, std::string> volumeLabels;
    std::uint32_t lastError = 0;
    std::vector<std::string> messageBoxes;
    std::deque<std::uint32_t> randomNumbers;
    // The format engine, as on Windows: without formatEngine there is none,
    // and a job without a volume name is refused. It keeps each job, writes
    // formatSectors through the job's writer from the partition's sector
    // formatWriteAt on, then sends formatEvents.
    bool formatEngine = true;
    bool formatThrows = false;
    std::vector<FormatJob> formatJobs;
    std::vector<std::uint8_t> formatSectors;
    std::uint64_t formatWriteAt = 0;
    std::vector<FakeFormatEvent> formatEvents;

    // --- Platform ----------------------------------------------------------
    FileId OpenFile(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t attributes) override;
    bool ReadFile(FileId file, void* buffer, std::uint32_t count, std::uint32_t& done) override;
    bool WriteFile(FileId file, const void* buffer, std::uint32_t count, std::uint32_t& done) override;
    bool SeekFile(FileId file, std::int64_t offset, SeekOrigin origin) override;
    bool FileSize(FileId file, std::uint64_t& size) override;
    bool FlushFile(FileId file) override;
    void CloseFile(FileId file) override;
    bool NextData(FileId file, std::uint64_t from, std::uint64_t& next) override;
    bool AllowHoles(FileId file) override;
    bool SetFileSize(FileId file, std::uint64_t size) override;
    bool PathExists(const std::string& path) override;
    // A writer's open finds a drive in use at once, without waiting.
    DriveOpening OpenDrive(const std::string& path, DriveAccess access) override;
    bool RenameFile(const std::string& from, const std::string& to, bool durable) override;
    bool RemoveFile(const std::string& path) override;
    bool SameFile(const std::string& a, const std::string& b) override {
        return FindFile(a) && FindFile(a) == FindFile(b);
    }
    bool GetDriveGeometry(FileId drive, DiskGeometry& out) override;
    bool GetDriveGeometryEx(FileId drive, std::uint64_t& diskSize) override;
    bool GetPartitionInfo(FileId drive, PartitionInformation& out) override;
    bool GetDriveLayoutEx(FileId drive, std::uint32_t bufferBytes, DriveLayoutAnswer& out) override;
    bool GetDriveLayout(FileId drive, std::uint32_t bufferBytes, DriveLayoutAnswer& out) override;
    std::optional<DriveIdentity> IdentifyDrive(int driveNumber) override;
    std::vector<std::string> LogicalDriveRoots() override { return driveRoots; }
    std::optional<std::string> VolumeNameForMountPoint(const std::string& root) override {
        auto it = volumeNames.find(root);
        if (it == volumeNames.end()) return std::nullopt;
        return it->second;
    }
    bool AnnounceTableChange(FileId drive) override;
    bool UpdateDiskProperties(FileId drive) override;
    bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName, std::uint32_t maxBytes,
                           std::vector<std::uint8_t>& data) override;
    OsVersion GetOsVersion() override { return version; }
    Elevation GetElevation() override { return elevation; }
    bool ShutdownSystem(std::uint32_t flags) override {
        shutdownCalls.push_back(flags);
        return true;
    }
    std::string ProgramFolder() override { return programFolder; }
    std::optional<std::string> TempFolder() override { return tempFolder; }
    std::optional<std::string> GetEnv(const std::string& name) override;
    std::optional<std::string> ReadTextFile(const std::string& path) override;
    void Write(std::string_view text) override { output.append(text); }
    void WriteErrorLine(std::string_view line) override {
        errorOutput.append(line);
        errorOutput += '\n';
    }
    int ReadKey(bool echo) override;
    bool ReadLine(std::string& line) override;
    std::uint32_t OutputCodePage() override { return codePage; }
    // With consoleCursor set the console can go back: what is written after
    // a return to the saved position replaces what was written since.
    bool SaveCursorPosition() override {
        savedCursor_ = output.size();
        return consoleCursor;
    }
    bool RestoreCursorPosition() override {
        if (!consoleCursor) return false;
        output.resize(std::min(savedCursor_, output.size()));
        return true;
    }
    SystemTime UtcTime() override { return now; }
    std::optional<std::string> ComputerName(std::size_t maxLength) override {
        if (!computerName || computerName->size() > maxLength) return std::nullopt;
        return computerName;
    }
    std::optional<std::string> FormatLocaleNumber(const std::string& numberText, unsigned decimals) override;
    std::string LastErrorText() override {
        return failNumberFormat.value_or("The operation completed successfully.");
    }
    std::optional<std::string> VolumeLabel(const std::string& rootPath) override;
    std::uint32_t LastErrorCode() override { return lastError; }
    std::string SystemErrorText(std::uint32_t code) override {
        return "System error " + std::to_string(code);
    }
    void ShowMessageBox(const std::string& text) override { messageBoxes.push_back(text); }
    // The numbers queued first, then 1, 2, 3 ...
    std::uint32_t RandomNumber() override;
    FormatStart RunFormatEngine(const FormatJob& job, FormatEngineCallback callback) override;

    // Open handles, for tests that check nothing leaks.
    std::size_t OpenHandleCount() const { return handles_.size(); }

private:
    struct Handle {
        FakeFile* file;
        std::uint64_t position = 0;
        std::uint32_t access = 0;
        bool writer = false;  // opened as a drive's one writer
    };
    Handle* Find(FileId id);
    FakeFile* DriveOf(FileId id);

    std::map<std::string, std::unique_ptr<FakeFile>> files_;
    // Files renamed over or removed, kept for the handles still open on them.
    std::vector<std::unique_ptr<FakeFile>> gone_;
    std::map<FileId, Handle> handles_;
    FileId nextId_ = 3;
    std::map<std::string, std::vector<std::uint8_t>> registry_;
    std::deque<int> keys_;
    std::deque<std::string> lines_;
    std::size_t savedCursor_ = 0;
    std::uint32_t randomCount_ = 0;
};

// The path of drive number n.
std::string DrivePath(int driveNumber);

}  // namespace partam
