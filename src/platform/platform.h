// The one seam between Partam and the operating system.
//
// Everything the program asks of the system goes through a Platform: files
// and devices, disk control, the registry, the console, the process and the
// environment. Methods take and return plain C++ values; no system type
// crosses this line. Win32Platform and PosixPlatform are the real
// implementations; tests use FakePlatform (tests/support/).
//
// Adding a service means adding one method here and implementing it in the
// three platforms.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace partam {

// An open file or device, as the platform numbers it. kNoFile when closed.
using FileId = std::int64_t;
inline constexpr FileId kNoFile = -1;

// Access, share and creation values of a file open; the numbers are those of
// the Windows API so that callers can state them as documented.
inline constexpr std::uint32_t kGenericRead = 0x80000000u;
inline constexpr std::uint32_t kGenericWrite = 0x40000000u;
inline constexpr std::uint32_t kShareRead = 1;
inline constexpr std::uint32_t kShareWrite = 2;
// Creates the file and fails when the name exists in any form, a link
// included (which is never followed).
inline constexpr std::uint32_t kCreateNew = 1;
inline constexpr std::uint32_t kCreateAlways = 2;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kOpenAlways = 4;
inline constexpr std::uint32_t kAttributeNormal = 0x80;

enum class SeekOrigin : std::uint32_t { Begin = 0, Current = 1, End = 2 };

// How a command opens a drive: to read it, beside anyone, or to write it as
// its one writer.
enum class DriveAccess { Read, Write };

// How long a writer waits for another that holds the drive it opens.
inline constexpr std::uint32_t kWriterWaitMilliseconds = 5000;

struct DriveOpening {
    FileId file = kNoFile;
    // The drive is there, but another writer held it all the while.
    bool inUse = false;
};

// The answer of the basic geometry query.
struct DiskGeometry {
    std::int64_t cylinders = 0;
    std::uint32_t mediaType = 0;  // 11 = removable media, 12 = fixed media
    std::uint32_t tracksPerCylinder = 0;
    std::uint32_t sectorsPerTrack = 0;
    std::uint32_t bytesPerSector = 0;
};

// The answer of the partition information query (removable media size).
struct PartitionInformation {
    std::int64_t startingOffset = 0;
    std::int64_t partitionLength = 0;
};

// One entry of the system's drive layout, in either of its two forms.
struct LayoutEntry {
    bool styleMbr = true;  // extended form only: the entry is of MBR style
    std::uint8_t partitionType = 0;
    std::int64_t startingOffset = 0;
    std::int64_t partitionLength = 0;
    std::uint32_t partitionNumber = 0;
    std::uint32_t hiddenSectors = 0;
    bool bootIndicator = false;
};

struct DriveLayoutAnswer {
    std::uint32_t signature = 0;  // extended form only
    std::vector<LayoutEntry> entries;
};

// How the platform itself names a drive it knows better than any registry:
// a disk image or a Linux block device.
struct DriveIdentity {
    std::string bus;
    std::string description;
};

struct OsVersion {
    bool ok = false;
    std::uint32_t platformId = 0;  // 2 = the NT family
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    bool ntFamily = false;  // the high bit of the packed version is clear
};

struct Elevation {
    bool ok = false;  // the token could be asked
    bool elevated = false;
};

// A moment in UTC, in the fields the system reports it with.
struct SystemTime {
    std::uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    std::uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

// Key value returned at end of input.
inline constexpr int kEndOfInput = -1;

// --- The format engine -------------------------------------------------------

// The events the engine reports through its callback, numbered as Windows'
// format engine numbers them; an engine may send others.
inline constexpr std::uint32_t kFormatProgress = 0;            // argument: the percentage, uint32
inline constexpr std::uint32_t kFormatInsufficientRights = 6;  // no argument
inline constexpr std::uint32_t kFormatWriteProtected = 7;      // no argument
inline constexpr std::uint32_t kFormatInvalidRoot = 9;         // no argument
inline constexpr std::uint32_t kFormatDone = 11;               // argument: the verdict, one byte
inline constexpr std::uint32_t kFormatOutput = 14;             // argument: a FormatTextOutput

// The argument of kFormatOutput, laid out as Windows' engine passes it.
struct FormatTextOutput {
    std::uint32_t lines = 0;
    const char* text = nullptr;
};

// The engine calls the callback on the calling thread while it formats;
// true lets it go on. Windows' engine calls it with the system's calling
// convention, which on 32-bit x86 is stdcall, so that the callback can be
// handed to it as it is.
#if defined(_WIN32) && defined(__i386__)
#define PARTAM_ENGINE_CALL __attribute__((stdcall))
#else
#define PARTAM_ENGINE_CALL
#endif
using FormatEngineCallback = std::uint8_t(PARTAM_ENGINE_CALL*)(std::uint32_t event, std::uint32_t subCode,
                                                               void* argument);

// Writes count sectors into the partition being formatted, from its sector
// first (0 is the partition's first sector); false when they could not all
// be written or do not lie inside it.
using FormatSectorWriter =
    std::function<bool(std::uint64_t first, const std::uint8_t* bytes, std::uint32_t count)>;

// One format: which partition, and how.
struct FormatJob {
    // The system's name of the partition's volume (Windows: "\\?\Volume{...}\");
    // empty when it gave the partition none.
    std::string volumeName;
    // The partition as the disk sees it: the drive number, its first sector
    // and its size, and the drive's geometry, which the new boot sector records.
    int driveNumber = -1;
    std::uint64_t start = 0;
    std::uint64_t sectors = 0;
    std::uint32_t heads = 0;
    std::uint32_t sectorsPerTrack = 0;
    std::string fileSystem;  // "NTFS" or "FAT32"
    std::string label;
    std::uint32_t mediaType = 12;  // a fixed disk
    bool quick = false;
    std::uint32_t clusterBytes = 0;  // 0: the filesystem's default
    // How an engine that builds the volume apart from the partition puts its
    // sectors there.
    FormatSectorWriter writeSectors;
};

enum class FormatStart {
    Ran,        // the engine ran; its events told how it went
    NotLoaded,  // there is no engine, or it lacks its entry point
    NoVolume,   // the system has no volume for the partition: nothing was handed over
};

class Platform {
public:
    virtual ~Platform() = default;

    // --- Files and devices -------------------------------------------------
    // "\\.\PhysicalDrive%d" names drive number %d; when PARTAM_DISKS is set
    // its entries stand in for the machine's drives: opened as they are, never
    // created, and for reading alone when that is all they allow (their
    // writes then fail).
    virtual FileId OpenFile(const std::string& path, std::uint32_t access, std::uint32_t share,
                            std::uint32_t disposition, std::uint32_t attributes) = 0;
    virtual bool ReadFile(FileId file, void* buffer, std::uint32_t count, std::uint32_t& done) = 0;
    virtual bool WriteFile(FileId file, const void* buffer, std::uint32_t count, std::uint32_t& done) = 0;
    virtual bool SeekFile(FileId file, std::int64_t offset, SeekOrigin origin) = 0;
    // A read or write of count bytes at a byte offset, in one call where the
    // system has one; where the file position stands afterwards is not said.
    virtual bool ReadFileAt(FileId file, std::uint64_t offset, void* buffer, std::uint32_t count,
                            std::uint32_t& done) {
        done = 0;
        return SeekFile(file, static_cast<std::int64_t>(offset), SeekOrigin::Begin) &&
               ReadFile(file, buffer, count, done);
    }
    virtual bool WriteFileAt(FileId file, std::uint64_t offset, const void* buffer, std::uint32_t count,
                             std::uint32_t& done) {
        done = 0;
        return SeekFile(file, static_cast<std::int64_t>(offset), SeekOrigin::Begin) &&
               WriteFile(file, buffer, count, done);
    }
    virtual bool FileSize(FileId file, std::uint64_t& size) = 0;
    // What was written through this handle is on the device, not only in
    // the system's cache. False when that fails or the handle is unknown.
    virtual bool FlushFile(FileId file) = 0;
    virtual void CloseFile(FileId file) = 0;
    // Holes: the regions of a file that the file system keeps no blocks for,
    // which read as zeros. NextData gives the offset of the first byte at or
    // after `from` that may hold data: the bytes from `from` up to it read
    // as zeros, and it is the file's size when only a hole follows (from
    // itself when from lies at or past the end). False when the system
    // cannot tell (a device, a file system without the query): every byte
    // then counts as data.
    virtual bool NextData(FileId file, std::uint64_t from, std::uint64_t& next) = 0;
    // Prepares a file opened for writing to keep what its writer seeks past
    // as holes. True when it is a regular file, whose writer may then seek
    // past zeros instead of writing them and set its size at the end; false
    // for a device, a pipe or a console, which are given every byte.
    virtual bool AllowHoles(FileId file) = 0;
    // Cuts or extends a regular file to size bytes (what it gains reads as zeros).
    virtual bool SetFileSize(FileId file, std::uint64_t size) = 0;
    // True when the path names an existing file or folder.
    virtual bool PathExists(const std::string& path) = 0;
    // Opens a drive as OpenFile does (read and write, existing). A writer
    // holds every other writer off the drive until it closes it (Linux:
    // flock(LOCK_EX) on the image or block device, the convention of the
    // system's partitioning tools; Windows: a share mode that admits no
    // second writer), and waits up to kWriterWaitMilliseconds for one that
    // holds it now. A reader opens it for reading alone, and neither waits
    // for a writer nor holds one off.
    virtual DriveOpening OpenDrive(const std::string& path, DriveAccess access) = 0;
    // Gives the file from the name to, replacing what to names: a link
    // there is replaced itself, what it points at stays as it was. When
    // durable, the new name is put on the medium before it returns, where
    // the system can (which on some file systems waits for the file's data
    // too).
    virtual bool RenameFile(const std::string& from, const std::string& to, bool durable) = 0;
    // Removes a file (a link itself, never what it points at).
    virtual bool RemoveFile(const std::string& path) = 0;
    // True when both paths name one existing file, however each spells it.
    virtual bool SameFile(const std::string& a, const std::string& b) = 0;

    // --- Disk control (on an open drive) ----------------------------------
    virtual bool GetDriveGeometry(FileId drive, DiskGeometry& out) = 0;
    virtual bool GetDriveGeometryEx(FileId drive, std::uint64_t& diskSize) = 0;
    virtual bool GetPartitionInfo(FileId drive, PartitionInformation& out) = 0;
    // The layout queries fail when the answer needs more than bufferBytes:
    // 48 bytes and 144 per entry in the extended form, 8 and 32 in the old.
    virtual bool GetDriveLayoutEx(FileId drive, std::uint32_t bufferBytes, DriveLayoutAnswer& out) = 0;
    virtual bool GetDriveLayout(FileId drive, std::uint32_t bufferBytes, DriveLayoutAnswer& out) = 0;
    // Bus and description of drive number n when the platform names it
    // itself; nothing when the registry is the place to ask.
    virtual std::optional<DriveIdentity> IdentifyDrive(int driveNumber) = 0;
    // Tells the system that the partition table of an open drive changed,
    // so that it shows the partitions the drive holds now without a restart.
    // True when it was told or there is nothing to tell: an image file, a
    // device that keeps no partitions, or Windows, where a command that
    // needs the system to read a drive's layout again asks for it itself. A
    // system that could not be told is warned about on standard error; the
    // change on the drive stands.
    virtual bool AnnounceTableChange(FileId drive) = 0;
    // Has the system read a drive's size and partition layout again, so that
    // a partition just added to its table can be mounted without a restart
    // (IOCTL_DISK_UPDATE_PROPERTIES on Windows). True when it was asked or
    // there is nothing to ask: an image file, or Linux, where the
    // announcement of the new table already had the kernel read it.
    virtual bool UpdateDiskProperties(FileId drive) = 0;

    // --- Volumes -------------------------------------------------------------
    // The root paths of the logical drives ("C:\\", "D:\\", ...) in the
    // system's order; none where there are no drive letters.
    virtual std::vector<std::string> LogicalDriveRoots() = 0;
    // The volume GUID path ("\\\\?\\Volume{...}\\") mounted at a root.
    virtual std::optional<std::string> VolumeNameForMountPoint(const std::string& root) = 0;

    // --- Registry (HKEY_LOCAL_MACHINE, read only) --------------------------
    // Reads at most maxBytes of a value. Strings come without their NUL.
    virtual bool ReadRegistryValue(const std::string& keyPath, const std::string& valueName,
                                   std::uint32_t maxBytes, std::vector<std::uint8_t>& data) = 0;

    // --- Process and system ------------------------------------------------
    virtual OsVersion GetOsVersion() = 0;
    virtual Elevation GetElevation() = 0;
    // Shuts down or restarts with the Windows shutdown flags (1 shut down,
    // 2 reboot, 4 force). False when it was not permitted or failed.
    virtual bool ShutdownSystem(std::uint32_t flags) = 0;
    // The folder of the running program, ending in its path separator.
    virtual std::string ProgramFolder() = 0;
    // The folder for temporary files, ending in its path separator; nothing
    // when the system cannot say.
    virtual std::optional<std::string> TempFolder() = 0;
    virtual std::optional<std::string> GetEnv(const std::string& name) = 0;
    // Reads a whole small text file (the options file); nothing when it
    // cannot be opened.
    virtual std::optional<std::string> ReadTextFile(const std::string& path) = 0;

    // --- Console -----------------------------------------------------------
    virtual void Write(std::string_view text) = 0;
    // One line on standard error, after what was written so far; the line
    // end is added.
    virtual void WriteErrorLine(std::string_view line) = 0;
    // One key; kEndOfInput when standard input is closed or exhausted.
    virtual int ReadKey(bool echo) = 0;
    // One line without its line end; false at end of input.
    virtual bool ReadLine(std::string& line) = 0;
    // The console output code page; 0 when unknown.
    virtual std::uint32_t OutputCodePage() = 0;
    // Remembers where the cursor stands, so that text written from there can
    // be written over; false when the output is no console that can move
    // its cursor (redirected to a file or a pipe).
    virtual bool SaveCursorPosition() = 0;
    // Moves the cursor back to the position saved last.
    virtual bool RestoreCursorPosition() = 0;

    // --- Time and name -----------------------------------------------------
    virtual SystemTime UtcTime() = 0;
    // The computer's name when it has at most maxLength characters.
    virtual std::optional<std::string> ComputerName(std::size_t maxLength) = 0;

    // --- Locale ------------------------------------------------------------
    // A number text ("1234.500000") formatted by the user's locale with the
    // given count of decimals; nothing when the system refuses it.
    virtual std::optional<std::string> FormatLocaleNumber(const std::string& numberText,
                                                          unsigned decimals) = 0;
    // The system's message for the last failed call, without a line end.
    virtual std::string LastErrorText() = 0;

    // --- Volumes, messages and chance --------------------------------------
    // The label of the volume mounted at a root path ("E:\\"); nothing when
    // no volume is mounted there or the system cannot read it (a filesystem
    // it does not know). Without drive letters there is never one.
    virtual std::optional<std::string> VolumeLabel(const std::string& rootPath) = 0;
    // The code of the last failed system call; 0 when there is none.
    virtual std::uint32_t LastErrorCode() = 0;
    // The system's message for a code, without a line end.
    virtual std::string SystemErrorText(std::uint32_t code) = 0;
    // Shows a message the user must acknowledge: a message box with an OK
    // button where there are windows, a line on standard error elsewhere.
    virtual void ShowMessageBox(const std::string& text) = 0;
    // A number from the system's source of randomness, which needs no seed.
    virtual std::uint32_t RandomNumber() = 0;

    // --- Format engine -------------------------------------------------------
    // Formats a partition with the system's engine, loaded now: on Windows the
    // volume named by the job, through fmifs.dll's FormatEx; on Linux with
    // mkntfs. The engine reports through the callback until its done event.
    virtual FormatStart RunFormatEngine(const FormatJob& job, FormatEngineCallback callback) = 0;
};

}  // namespace partam
