// The result codes of a run: 0 for success, 101-149 for command-level
// failures, 200-205 from the GPT reader, 300-305 from the virtual-disk
// reader and 501-569 for disk-level failures. Codes travel as plain integers;
// only partition creation throws its refusals, as values of this type.
#pragma once

#include <cstdint>

namespace partam {

enum MBRERRORS : std::int32_t {
    kSuccess = 0,

    // Command level.
    kInvalidPartitionId = 101,
    kNoParameters = 102,
    kIniWriteFailed = 104,
    kInvalidSwitch = 105,
    kInvalidPartition = 106,
    kMissingTarget = 109,
    kFileWithoutMbr = 110,
    kMissingRange = 111,
    kInvalidOption = 112,
    kAllDisksNeedAllParts = 113,
    kStatusOutOfRange = 116,
    kInvalidParameter = 117,
    kMissingParameter = 118,
    kBadSignatureValue = 119,
    kBadSignatureOption = 120,
    kUnnamedFailure = 121,
    kMissingSource = 122,
    kBadVolumeIdOption = 124,
    kAlreadySorted = 125,
    kMustBeSorted = 126,
    kAllPartsNotAllowed = 127,
    kAllDisksNotAllowed = 128,
    kUserCancelled = 129,
    kNotGptDisk = 131,
    kBadFileName = 133,
    kFileNotFound = 134,
    kFileOpenFailed = 135,
    kNoDiskRights = 136,
    kStartAssigned = 137,
    kSizeTooLarge = 138,
    kBadAlign = 139,
    kBadSize = 141,
    kNoFreeSpace = 142,
    kTableFull = 143,
    kNoSystemPartition = 144,
    kNoBootPartition = 145,
    kNoUtilityPartition = 146,
    kNoLabelledPartition = 147,
    kNoLetteredPartition = 148,
    kUnsupportedBootRecord = 149,

    // GPT reader.
    kInvalidEfiDisk = 200,
    kGptSaveFailed = 202,
    kGptFileReadFailed = 203,
    kGptFileOpenFailed = 204,
    kGptBadBackupFile = 205,

    // Virtual-disk reader.
    kVdiskNotVmware = 300,
    kVdiskNotVmware2 = 302,
    kVdiskExtentOpenFailed = 303,
    kVdiskUnknownType = 304,
    kVdiskNoMbr = 305,

    // Disk level.
    kInvalidDevice = 501,
    kDeviceReadFailed = 502,
    kMbrCorrupt = 503,
    kInvalidBootEntry = 504,
    kSectorWriteFailed = 505,
    kMbrReadFailed = 506,
    kBackupWriteFailed = 507,
    kBackupReadFailed = 508,
    kBackupWithoutMbr = 509,
    kNoMbrHere = 510,
    kInvalidDisk = 511,
    kInvalidPartitionSelected = 512,
    kTableCorrupt = 513,
    kBiosCountMismatch = 514,
    kNoDisk = 515,
    kWipeFailed = 516,
    kCreateWithoutMbr = 518,
    kVolumeNotFound = 550,
    kVolumeMounted = 551,
    kVolumeNotMounted = 552,
    kMountFailed = 553,
    kDismountFailed = 554,
    kLetterAssigned = 555,
    kLabelFailed = 556,
    kBadSignatureMode = 557,
    kCannotHideType = 558,
    kRemovableRefused = 559,
    kFileSizeMismatch = 560,
    kFileWithoutValidMbr = 561,
    kBadPath = 562,
    kCannotOverwrite = 563,
    kFileMissing = 564,
    kVdiskFileMissing = 565,
    kVdiskNotVmwareFile = 566,
    kVdiskUnknownFormat = 567,
    kVdiskNoParameters = 568,
    kVdiskLocked = 569,
};

}  // namespace partam
