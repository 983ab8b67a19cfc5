// The GPT of a disk with a protective MBR: its primary header, whether the
// backup header is where the primary says, and the partitions whose type
// the catalogue names. Reading is pure over a table source; the writes
// (delete, restore) go through the disk object and always leave a GPT whose
// checksums hold and whose backup agrees with its primary.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/mbr_format.h"
#include "disk/partition_table.h"

namespace partam {

class mDisk;

inline constexpr std::uint32_t kGptEntrySize = 128;
// More entries than any GPT holds; a header that claims more is damaged.
inline constexpr std::uint32_t kMaxGptEntries = 16384;

// The filesystem found at a partition's first sector: its code (0 for none)
// and its name.
struct NamedFileSystem {
    std::uint32_t code = 0;
    std::string name;
};
using FileSystemNamer = std::function<NamedFileSystem(std::uint64_t startSector)>;

struct GptPartition {
    mPart part;  // what every table offers: start, sectors, bytes, number, label
    std::uint32_t fileSystemCode = 0;
    std::string fileSystemName;
    int catalogueId = 0;
    std::string typeGuid;
    std::string shortName;
    std::string description;
    std::uint32_t entryIndex = 0;
    std::uint8_t attributeBits = 0;  // the low byte of the attributes, bits 2 to 5
    std::array<std::uint8_t, kGptEntrySize> rawEntry{};
};

class GptDisk : public PartitionTable {
public:
    std::int32_t PartitionCount(int kind) const override;
    mPart* GetPartition(int number, bool byPosition) override;
    // A damaged GPT keeps its own error state; it stops no command that
    // does not work on it.
    int Problem() const override { return 0; }
    GptDisk* Gpt() override { return this; }

    // The primary header was found and its backup too.
    bool Valid() const { return valid_; }
    bool HeaderFound() const { return headerFound_; }
    // The primary header and the whole entry array were read: what the GPT
    // says can be acted on (a missing backup is made whole by any write).
    bool Usable() const { return headerFound_ && error_ != 200 && error_ != 203; }
    // 200 to 205 by the first-error rule; 1 clears.
    int Error() const { return error_; }
    int SetError(int code);

    std::uint8_t RevisionMajor() const { return primary_[10]; }
    std::uint8_t RevisionMinor() const { return primary_[11]; }
    std::string DiskGuidText() const;
    std::uint64_t FirstUsableLba() const;
    std::uint64_t LastUsableLba() const;
    std::uint64_t EntryArrayLba() const;
    std::uint32_t EntryCount() const;
    // The sectors the entry array takes.
    std::uint32_t EntrySectors() const;
    const std::vector<GptPartition>& Partitions() const { return records_; }
    // The entry array as read, every entry whether used or not and whether
    // its type is catalogued or not; empty when it could not be read.
    const std::vector<std::uint8_t>& EntryArray() const { return entries_; }

    // Deletes partition `number` (1-based) or all; entries the catalogue does
    // not name are kept. 202 when a write fails.
    int DeleteEntry(mDisk& disk, int number);
    int DeleteAll(mDisk& disk);
    // Writes a whole GPT: the entries with the headers that describe them,
    // checksums recomputed, in the order backup array, backup header,
    // primary array, primary header, stopping at the first failure (202).
    // The primary header says where everything goes.
    int WriteTable(mDisk& disk, const Sector& primary, const std::vector<std::uint8_t>& entries);

private:
    friend std::unique_ptr<GptDisk> ReadGpt(const TableSource&, const FileSystemNamer&);
    void BuildRecords(const FileSystemNamer& namer);
    int Delete(mDisk& disk, const std::vector<std::uint32_t>& entryIndexes);

    Sector primary_{};
    bool headerFound_ = false;
    bool valid_ = false;
    std::uint64_t totalSectors_ = 0;
    std::vector<std::uint8_t> entries_;
    std::vector<GptPartition> records_;
    int error_ = 0;
};

// Reads the GPT through source.read. Never refused: what is wrong stays in
// the GPT's error state and validity. namer names the filesystem at each
// partition's start (none: no names).
std::unique_ptr<GptDisk> ReadGpt(const TableSource& source, const FileSystemNamer& namer = {});

// The sectors an entry array of this many entries takes.
std::uint32_t GptEntrySectors(std::uint32_t entries);

// What a header must hold before its numbers are used: "EFI PART", a header
// size of 92 to 512, entries of 128 bytes, at most kMaxGptEntries of them,
// and an entry array that ends within the disk (when its size is known).
bool GptHeaderUsable(SectorView header, std::uint64_t totalSectors);

// Sets the header's checksum over its header size, with the field zeroed.
void SealGptHeader(SectorSpan header);

}  // namespace partam
