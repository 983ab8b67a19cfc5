// The two copies of a GPT, each checked before anything it says is used.
// A GPT is a header at sector 1 with its entry array, and a backup header
// at the disk's last sector with an array of its own; either copy alone
// describes the partitions. Reading checks each copy's header and entries
// separately and keeps what it found wrong with each, in the words a
// verifier prints ("header CRC mismatch"), so that a command can both pick
// the copy to trust and say what is wrong with the other.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/mbr_format.h"

namespace partam {

inline constexpr std::uint32_t kGptEntrySize = 128;
// More entries than any GPT holds; a header that claims more is damaged.
inline constexpr std::uint32_t kMaxGptEntries = 16384;

// The sectors an entry array of this many entries takes.
std::uint32_t GptEntrySectors(std::uint32_t entries);

// A GPT header as its 512 bytes, read and changed through its fields.
class GptHeader {
public:
    GptHeader() = default;
    explicit GptHeader(const std::uint8_t* bytes);
    const Sector& Bytes() const { return bytes_; }

    bool HasSignature() const;
    std::uint8_t RevisionMajor() const { return bytes_[10]; }
    std::uint8_t RevisionMinor() const { return bytes_[11]; }
    std::uint32_t HeaderSize() const { return LoadLe32(&bytes_[12]); }
    std::uint32_t StoredCrc() const { return LoadLe32(&bytes_[16]); }
    // Over the header size (kept within the sector), the CRC field zeroed.
    std::uint32_t ComputedCrc() const;
    std::uint64_t OwnLba() const { return LoadLe64(&bytes_[24]); }
    std::uint64_t AlternateLba() const { return LoadLe64(&bytes_[32]); }
    std::uint64_t FirstUsableLba() const { return LoadLe64(&bytes_[40]); }
    std::uint64_t LastUsableLba() const { return LoadLe64(&bytes_[48]); }
    const std::uint8_t* DiskGuid() const { return &bytes_[56]; }
    std::uint64_t EntryLba() const { return LoadLe64(&bytes_[72]); }
    std::uint32_t EntryCount() const { return LoadLe32(&bytes_[80]); }
    std::uint32_t EntrySize() const { return LoadLe32(&bytes_[84]); }
    std::uint32_t EntriesCrc() const { return LoadLe32(&bytes_[88]); }
    std::uint32_t EntrySectors() const { return GptEntrySectors(EntryCount()); }

    void SetOwnLba(std::uint64_t lba) { StoreLe64(&bytes_[24], lba); }
    void SetAlternateLba(std::uint64_t lba) { StoreLe64(&bytes_[32], lba); }
    void SetLastUsableLba(std::uint64_t lba) { StoreLe64(&bytes_[48], lba); }
    void SetEntryLba(std::uint64_t lba) { StoreLe64(&bytes_[72], lba); }
    void SetEntriesCrc(std::uint32_t crc) { StoreLe32(&bytes_[88], crc); }
    // Stores the header's CRC.
    void Seal();

private:
    Sector bytes_{};
};

// One entry of an array, read through its fields. Unused entries have an
// all-zero type GUID.
struct GptEntry {
    const std::uint8_t* bytes;
    bool Used() const;
    std::uint64_t FirstLba() const { return LoadLe64(bytes + 32); }
    std::uint64_t LastLba() const { return LoadLe64(bytes + 40); }
};

// What a check finds wrong with one header or one entry array.
enum class GptProblem : std::uint8_t {
    Unreadable,
    NotLocated,
    NoSignature,
    HeaderSize,
    HeaderCrc,
    OwnLba,
    AlternateLba,
    EntrySize,
    EntryCount,
    UsableArea,
    ArrayPlace,
    NotChecked,
    ArrayCrc,
    PartitionReversed,
    PartitionOutside,
};

struct GptFinding {
    GptProblem problem;
    std::uint32_t partition = 0;  // the entry's number (index + 1), for the partition problems
    friend bool operator==(const GptFinding&, const GptFinding&) = default;
};

// The finding in a few words, as one line of a verifier's report:
// "header CRC mismatch", "partition 3 outside the usable area".
std::string GptFindingText(const GptFinding& finding);

enum class GptCopyKind : std::uint8_t { Primary, Backup };

// One copy as read: where its header was looked for, the header, its entry
// array (read only under a header that passed), and what was found wrong
// with each. A copy passes when nothing was.
struct GptCopy {
    std::uint64_t headerLba = 0;
    GptHeader header;
    std::vector<std::uint8_t> entries;  // whole sectors
    std::vector<GptFinding> headerFindings;
    std::vector<GptFinding> entryFindings;
    bool Passes() const { return headerFindings.empty() && entryFindings.empty(); }
};

struct GptCopies {
    GptCopy primary;
    GptCopy backup;
};

// Reads and checks both copies: one read for each header, one for each
// entry array. The backup header is looked for where a primary that passed
// puts it, else at the disk's last sector. totalSectors 0: the disk's size
// is unknown, and nothing is checked against it.
GptCopies ReadGptCopies(const SectorRunReader& read, std::uint64_t totalSectors);

// What is wrong with a header read at lba as the given copy of a disk of
// totalSectors (0: unknown). A header passes when this is empty: its
// signature, size and CRC hold; it lies where it says and names the other
// header's place (the disk's last sector for a primary, sector 1 for a
// backup); its entries are 128 bytes, 1 to kMaxGptEntries of them; its
// usable area lies between room for both headers and both arrays; its own
// array lies in its room.
std::vector<GptFinding> CheckGptHeader(const GptHeader& header, GptCopyKind kind, std::uint64_t lba,
                                       std::uint64_t totalSectors);

// What is wrong with the entry array under a header that passed: its CRC,
// and every used entry, which must start no later than it ends and lie in
// the usable area.
std::vector<GptFinding> CheckGptEntries(const GptHeader& header, std::span<const std::uint8_t> entries);

}  // namespace partam
