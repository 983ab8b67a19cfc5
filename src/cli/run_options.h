// The parsed command line: what one run is asked to do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace partam {

// The numbers of the commands. Ids marked "variant" are never set by a
// switch: the executor or a command sets them so that the closing message
// names what was done.
enum class CommandId : std::int32_t {
    None = 0,
    Save = 1,
    Repair = 2,
    Restore = 3,
    Show = 4,
    Wipe = 5,
    Sort = 6,
    IsSorted = 7,
    List = 8,
    TabList = 9,
    Active = 10,
    Hide = 11,
    Inactive = 12,
    UnHide = 13,
    Del = 14,
    DeleteAll = 15,  // variant of Del
    Type = 16,
    Copy = 17,
    WriteIni = 19,
    BootMenu = 20,
    Status = 25,
    WriteStatus = 26,
    Create = 27,
    Format = 28,
    FlashMBR = 29,
    Signature = 30,
    ReadSignature = 31,      // variant of Signature
    WriteSignature = 32,     // variant of Signature
    GenerateSignature = 33,  // variant of Signature
    ZeroSignature = 34,      // variant of Signature
    VolumeID = 35,
    ReadVolumeID = 36,  // variant of VolumeID
    Info = 38,
    DiskCount = 39,
    PartCount = 40,
    IsFixed = 41,
    Verify = 42,
};

// What save, restore and wipe work on.
enum class AreaKind : std::int32_t {
    NotGiven = -9999,
    MbrOption = 0,  // "mbr" given to option=
    Mbr = -1,
    Head = -2,
    Disk = -3,
    Gpt = -4,
    Vbr = -5,
    Range = -6,     // "range" to save= and wipe=; a sector number to restore=
    OwnRange = -7,  // "range" to restore=: back to the sectors the file was saved from
};

inline constexpr std::int32_t kNotGiven = -9999;
inline constexpr std::int32_t kAllDisks = -1;
inline constexpr std::int32_t kVirtualDisk = 999;
inline constexpr std::int32_t kPartNotGiven = 1000;
inline constexpr std::int32_t kAllParts = -1;
inline constexpr std::int32_t kPartSystem = 1001;
inline constexpr std::int32_t kPartBoot = 1002;
inline constexpr std::int32_t kPartDiagnostic = 1003;
inline constexpr std::int32_t kPartLabel = 1004;
inline constexpr std::int32_t kPartDriveLetter = 1005;
inline constexpr std::int32_t kSectorDisk = -3;

// The longest text a value buffer holds; longer values are refused.
inline constexpr std::size_t kTextBufferLimit = 1023;

struct RunOptions {
    CommandId command = CommandId::None;
    std::int32_t disk = kNotGiven;
    std::int32_t diskGiven = 1;
    std::int32_t part = kPartNotGiven;
    std::string partSwitchText;
    std::int32_t sector = kNotGiven;
    AreaKind area = AreaKind::NotGiven;
    std::int32_t typeCode = -2;
    std::int64_t firstSector = kNotGiven;
    std::int64_t lastSector = kNotGiven;
    std::int32_t resolvedDisk = -1;
    std::int32_t resolvedPart = -1;
    std::string diskFileName;
    std::string valueText;
    std::string fileName;
    std::string scratchText;
    std::int32_t badSwitch = 0;
    std::string badSwitchText;
    std::int32_t result = 0;
    CommandId messageCommand = CommandId::None;
    std::int32_t help = 0;
    std::int32_t showResult = 0;
    std::int32_t ignoreErrors = 0;
    std::int32_t autoConfirm = 0;
    std::int32_t debug = 0;
    std::int32_t silent = 0;
    std::int32_t noHeader = 0;
    std::int32_t asciiMap = 0;
    std::int32_t freeSpace = 0;
    std::int32_t extendedOnly = 0;
    std::int32_t messageLevel = 0;
    std::int32_t shutdownMode = 0;
    std::uint8_t statusByte = 0;
    std::uint8_t signatureBytes[4] = {0, 0, 0, 0};
    std::string volumeIdText;
    std::int32_t entriesSorted = 0;
    // /json: the report as one JSON document, and the switch as typed.
    std::int32_t json = 0;
    std::string jsonSwitchText;
};

}  // namespace partam
