// Reads the name of an NTFS volume straight from its master file table, for
// a volume the system has a drive letter for but cannot read itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk.h"
#include "fs/ntfs_format.h"

namespace partam {

class NtfsVolumeReader {
public:
    // What ReadLabel found. The label is taken whatever the status; none of
    // these is reported to the user.
    enum Status : int {
        kFound = 0,               // also: a read failed, or the record ended before the name
        kNotNtfs = 15,            // no NTFS boot sector at the start
        kNotFileRecord = 87,      // record 3 is not a file record
        kNotVolumeRecord = 1200,  // record 3 is not named "$Volume"
        kDamaged = 13,            // a record or value that does not fit itself or the volume
        kValueReadFailed = 30,    // a value outside the record could not be read
    };

    // A value larger than this is damage: a $FILE_NAME value is at most 576
    // bytes, a $VOLUME_NAME value 256.
    static constexpr std::uint64_t kMaxValueBytes = 64u << 10;

    // The volume starts at sector start of the disk and, when sectors is not
    // 0, ends within that many sectors. Reads the volume's record 3
    // ($Volume) and its $VOLUME_NAME.
    int ReadLabel(mDisk& disk, std::uint64_t start, std::uint64_t sectors);
    const std::string& Label() const { return label_; }

private:
    int ReadVolumeRecord(std::uint64_t mftCluster);
    // The value of an attribute, read from the volume when it lies outside
    // the record; status kFound when it was read.
    int ReadValue(const NtfsAttribute& attribute, std::vector<std::uint8_t>& value);
    bool ReadBytes(std::uint64_t volumeOffset, std::uint8_t* out, std::uint64_t count);

    mDisk* disk_ = nullptr;
    std::uint64_t start_ = 0;
    std::uint64_t volumeBytes_ = 0;
    NtfsGeometry geometry_;
    std::string label_;
};

}  // namespace partam
