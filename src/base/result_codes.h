// The result codes of a run: 0 for success, 101-149 for command-level
// failures, 200-205 from the GPT reader, 300-305 from the virtual-disk
// reader and 501-569 for disk-level failures. Codes travel as plain integers;
// only partition creation throws its refusals, as values of this type.
//
// The list is written once, below; the enumeration and the list of every
// code (which the messages are checked against) are both made from it.
#pragma once

#include <array>
#include <cstdint>

namespace partam {

#define PARTAM_RESULT_CODES(X)        \
    X(kSuccess, 0)                    \
    /* Command level. */              \
    X(kInvalidPartitionId, 101)       \
    X(kNoParameters, 102)             \
    X(kIniWriteFailed, 104)           \
    X(kInvalidSwitch, 105)            \
    X(kInvalidPartition, 106)         \
    X(kMissingTarget, 109)            \
    X(kFileWithoutMbr, 110)           \
    X(kMissingRange, 111)             \
    X(kInvalidOption, 112)            \
    X(kAllDisksNeedAllParts, 113)     \
    X(kStatusOutOfRange, 116)         \
    X(kInvalidParameter, 117)         \
    X(kMissingParameter, 118)         \
    X(kBadSignatureValue, 119)        \
    X(kBadSignatureOption, 120)       \
    X(kUnnamedFailure, 121)           \
    X(kMissingSource, 122)            \
    X(kBadVolumeIdOption, 124)        \
    X(kAlreadySorted, 125)            \
    X(kMustBeSorted, 126)             \
    X(kAllPartsNotAllowed, 127)       \
    X(kAllDisksNotAllowed, 128)       \
    X(kUserCancelled, 129)            \
    X(kNotGptDisk, 131)               \
    X(kBadFileName, 133)              \
    X(kFileNotFound, 134)             \
    X(kFileOpenFailed, 135)           \
    X(kNoDiskRights, 136)             \
    X(kStartAssigned, 137)            \
    X(kSizeTooLarge, 138)             \
    X(kBadAlign, 139)                 \
    X(kBadSize, 141)                  \
    X(kNoFreeSpace, 142)              \
    X(kTableFull, 143)                \
    X(kNoSystemPartition, 144)        \
    X(kNoBootPartition, 145)          \
    X(kNoUtilityPartition, 146)       \
    X(kNoLabelledPartition, 147)      \
    X(kNoLetteredPartition, 148)      \
    X(kUnsupportedBootRecord, 149)    \
    /* GPT reader. */                 \
    X(kInvalidEfiDisk, 200)           \
    X(kGptSaveFailed, 202)            \
    X(kGptFileReadFailed, 203)        \
    X(kGptFileOpenFailed, 204)        \
    X(kGptBadBackupFile, 205)         \
    /* Virtual-disk reader. */        \
    X(kVdiskNotVmware, 300)           \
    X(kVdiskNotVmware2, 302)          \
    X(kVdiskExtentOpenFailed, 303)    \
    X(kVdiskUnknownType, 304)         \
    X(kVdiskNoMbr, 305)               \
    /* Disk level. */                 \
    X(kInvalidDevice, 501)            \
    X(kDeviceReadFailed, 502)         \
    X(kMbrCorrupt, 503)               \
    X(kInvalidBootEntry, 504)         \
    X(kSectorWriteFailed, 505)        \
    X(kMbrReadFailed, 506)            \
    X(kBackupWriteFailed, 507)        \
    X(kBackupReadFailed, 508)         \
    X(kBackupWithoutMbr, 509)         \
    X(kNoMbrHere, 510)                \
    X(kInvalidDisk, 511)              \
    X(kInvalidPartitionSelected, 512) \
    X(kTableCorrupt, 513)             \
    X(kBiosCountMismatch, 514)        \
    X(kNoDisk, 515)                   \
    X(kWipeFailed, 516)               \
    X(kCreateWithoutMbr, 518)         \
    X(kVolumeNotFound, 550)           \
    X(kVolumeMounted, 551)            \
    X(kVolumeNotMounted, 552)         \
    X(kMountFailed, 553)              \
    X(kDismountFailed, 554)           \
    X(kLetterAssigned, 555)           \
    X(kLabelFailed, 556)              \
    X(kBadSignatureMode, 557)         \
    X(kCannotHideType, 558)           \
    X(kRemovableRefused, 559)         \
    X(kFileSizeMismatch, 560)         \
    X(kFileWithoutValidMbr, 561)      \
    X(kBadPath, 562)                  \
    X(kCannotOverwrite, 563)          \
    X(kFileMissing, 564)              \
    X(kVdiskFileMissing, 565)         \
    X(kVdiskNotVmwareFile, 566)       \
    X(kVdiskUnknownFormat, 567)       \
    X(kVdiskNoParameters, 568)        \
    X(kVdiskLocked, 569)

enum MBRERRORS : std::int32_t {
#define PARTAM_ENUMERATOR(name, value) name = value,
    PARTAM_RESULT_CODES(PARTAM_ENUMERATOR)
#undef PARTAM_ENUMERATOR
};

// Every code above, in order.
inline constexpr auto kAllResultCodes = std::to_array<MBRERRORS>({
#define PARTAM_LISTED(name, value) name,
    PARTAM_RESULT_CODES(PARTAM_LISTED)
#undef PARTAM_LISTED
});

}  // namespace partam
