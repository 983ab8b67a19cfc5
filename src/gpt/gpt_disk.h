// The GPT of a disk with a protective MBR: both copies as checked, and the
// partitions whose type the catalogue names, from the copy that passed.
// Reading is pure over a table source; the writes (delete, restore) start
// from a copy that passed, go through the disk object and leave two copies
// that pass and agree.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/mbr_format.h"
#include "disk/partition_table.h"
#include "gpt/gpt_check.h"

namespace partam {

class mDisk;

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
    // A damaged GPT stops no command that does not work on it; those that
    // do ask WriteRefusal.
    int Problem() const override { return 0; }
    GptDisk* Gpt() override { return this; }

    // Both copies as read, with what was found wrong with each.
    const GptCopies& Copies() const { return copies_; }
    // The copy whose entries are listed and acted on: the primary when it
    // passes, else the backup when it passes; null when neither does.
    const GptCopy* Basis() const;
    bool BackupPasses() const { return copies_.backup.Passes(); }
    // 0 when a copy passes and a write can start from it; else what a write
    // answers: 200 when there is no GPT header at sector 1 at all, 202 when
    // there is one but neither copy passes.
    int WriteRefusal() const;
    // The basis in the form of a primary header: the primary as read, or
    // the backup turned round (at sector 1, naming the backup's place, its
    // entries from sector 2). Without a basis, sector 1 as read.
    GptHeader PrimaryHeader() const;
    // The basis's entry array (empty without a basis).
    const std::vector<std::uint8_t>& Entries() const;

    const std::vector<GptPartition>& Partitions() const { return records_; }

    // Deletes partition `number` (1-based) or all; entries the catalogue does
    // not name are kept. WriteRefusal when there is nothing to start from,
    // 202 when a write fails.
    [[nodiscard]] int DeleteEntry(mDisk& disk, int number);
    [[nodiscard]] int DeleteAll(mDisk& disk);
    // Writes a whole GPT: the entries with the headers that describe them,
    // checksums recomputed, the backup where the primary header says. Both
    // headers must pass every check with these entries on this disk, or
    // nothing is written (202). The order keeps one whole copy on the medium
    // whenever a write stops: backup array, backup header, flush, primary
    // array, primary header, stopping at the first failure (202).
    [[nodiscard]] int WriteTable(mDisk& disk, const GptHeader& primary,
                                 const std::vector<std::uint8_t>& entries);

private:
    friend std::unique_ptr<GptDisk> ReadGpt(const TableSource&, const FileSystemNamer&);
    void BuildRecords(const FileSystemNamer& namer);
    [[nodiscard]] int Delete(mDisk& disk, const std::vector<std::uint32_t>& entryIndexes);

    GptCopies copies_;
    std::vector<GptPartition> records_;
};

// Reads and checks the GPT through source.readRun. Never refused: what is
// wrong stays with the copies. namer names the filesystem at each
// partition's start (none: no names).
std::unique_ptr<GptDisk> ReadGpt(const TableSource& source, const FileSystemNamer& namer = {});

}  // namespace partam
