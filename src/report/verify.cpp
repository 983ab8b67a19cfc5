#include "report/verify.h"

#include <algorithm>
#include <cinttypes>
#include <map>
#include <set>

#include "base/text.h"
#include "disk/partition.h"
#include "gpt/gpt_check.h"
#include "gpt/gpt_types.h"
#include "mbr/partition_list.h"

namespace partam {

namespace {

// CHS addresses reach 1024 cylinders; past that an entry's CHS fields hold
// whatever a tool puts there, and only its LBA fields count.
constexpr std::uint64_t kChsCylinders = 1024;
constexpr std::uint64_t kLastMbrSector = 0xFFFFFFFFu;
constexpr std::uint32_t kToolHeads = 255;
constexpr std::uint32_t kToolSectorsPerTrack = 63;

Finding Problem(std::string where, std::string what) {
    return {Severity::Problem, std::move(where), std::move(what)};
}

std::string ChsText(const Chs& c) { return Format("%u/%u/%u", c.cylinder, c.head, c.sector); }
bool SameChs(const Chs& a, const Chs& b) {
    return a.cylinder == b.cylinder && a.head == b.head && a.sector == b.sector;
}

class MbrVerifier {
public:
    explicit MbrVerifier(const VerifiedDisk& disk) : disk_(disk) {}

    std::vector<Finding> Run() {
        if (!HasBootSignature(disk_.sector0)) {
            findings_.push_back(Problem("MBR", "no boot signature (55 AA) at its end"));
            return std::move(findings_);
        }
        int number = 0, active = 0;
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const PartitionEntry e = ReadSlot(disk_.sector0, slot);
            if (e.TypeByte() == 0) continue;
            const std::string name = Format("partition %d", ++number);
            if (IsActiveStatus(e.Status())) ++active;
            CheckEntry(name, e, e.Start());
            if (e.Start() == 0) findings_.push_back(Problem(name, "starts at sector 0, the MBR's own"));
            primaries_.push_back({name, e.Start(), e.Sectors()});
            if (IsExtendedType(e.TypeByte()))
                WalkChain(e.Start(), e.Sectors());
            else
                data_.push_back({name, e.Start(), e.Sectors()});
        }
        if (active > 1)
            findings_.push_back(Problem("MBR", Format("%d partitions are marked active", active)));
        CheckChs();
        FindOverlaps(primaries_, findings_);
        // Logical partitions against each other and against the primaries
        // that hold data; two primaries were compared above.
        FindOverlaps(data_, findings_, [](const PartitionExtent& a, const PartitionExtent& b) {
            return a.logical || b.logical;
        });
        return std::move(findings_);
    }

private:
    // What every entry, primary or logical, must hold; start is absolute.
    void CheckEntry(const std::string& name, const PartitionEntry& e, std::uint64_t start) {
        if (e.Status() != 0 && e.Status() != kActiveStatus)
            findings_.push_back(
                Problem(name, Format("status byte 0x%02X is neither 0x00 nor 0x80", e.Status())));
        if (e.Sectors() == 0)
            findings_.push_back(Problem(name, Format("type 0x%02X with no sectors", e.TypeByte())));
        const std::uint64_t total = disk_.totalSectors;
        if (total != 0 && start >= total) {
            findings_.push_back(Problem(name, Format("starts past the end of the disk (sector %" PRIu64
                                                     "; the disk has %" PRIu64 " sectors)",
                                                     start, total)));
        } else if (total != 0 && e.Sectors() > total - start) {
            findings_.push_back(Problem(name, Format("reaches past the end of the disk (to sector %" PRIu64
                                                     "; the disk has %" PRIu64 " sectors)",
                                                     start + e.Sectors() - 1, total)));
        }
        if (e.Sectors() != 0) {
            addresses_.push_back({name, "start", StartChs(e), start});
            addresses_.push_back({name, "end", EndChs(e), start + e.Sectors() - 1});
        }
    }

    // The CHS fields agree with the LBA fields under one geometry: the
    // disk's, or the 255 heads of 63 sectors every partitioning tool uses
    // for a disk it knows no geometry of (a table written for an image that
    // became a virtual disk of another geometry is sound). Only addresses
    // within CHS reach count.
    struct ChsAddress {
        std::string name;
        const char* end;
        Chs stored;
        std::uint64_t lba;
    };

    std::vector<Finding> ChsMismatches(std::uint32_t heads, std::uint32_t sectorsPerTrack) const {
        std::vector<Finding> out;
        const std::uint64_t reach = kChsCylinders * heads * sectorsPerTrack;
        for (const ChsAddress& a : addresses_) {
            if (a.lba >= reach) continue;
            const Chs wanted = LbaToChs(static_cast<std::uint32_t>(a.lba), heads, sectorsPerTrack);
            if (!SameChs(a.stored, wanted))
                out.push_back({Severity::Warning, a.name,
                               Format("CHS %s %s does not match LBA %" PRIu64 " (%s)", a.end,
                                      ChsText(a.stored).c_str(), a.lba, ChsText(wanted).c_str())});
        }
        return out;
    }

    void CheckChs() {
        std::vector<Finding> mismatches = ChsMismatches(disk_.heads, disk_.sectorsPerTrack);
        if (mismatches.empty() || ChsMismatches(kToolHeads, kToolSectorsPerTrack).empty()) return;
        for (Finding& f : mismatches) findings_.push_back(std::move(f));
    }

    // Links count from the extended partition's start and must stay inside
    // it; the walk ends where the chain ends or goes wrong, as a reader's
    // would, so what it cannot follow is one finding, not a cascade.
    void WalkChain(std::uint64_t first, std::uint64_t sectors) {
        const std::uint64_t end = first + sectors;
        if (disk_.totalSectors != 0 && first >= disk_.totalSectors) return;  // said of the partition
        std::set<std::uint64_t> visited;
        std::uint64_t current = first;
        for (;;) {
            const std::string where = Format("EBR at sector %" PRIu64, current);
            visited.insert(current);
            Sector ebr{};
            if (!disk_.read || !disk_.read(current, ebr.data())) {
                findings_.push_back(Problem(where, "cannot be read"));
                return;
            }
            if (!HasBootSignature(ebr)) {
                findings_.push_back(Problem(where, "no boot signature (55 AA) at its end"));
                return;
            }
            AddLogical(ReadSlot(ebr, 0), current, first, end);
            const PartitionEntry link = ReadSlot(ebr, 1);
            if (link.IsAllZero()) return;
            const std::uint64_t next = first + link.Start();
            std::string wrong;
            if (disk_.totalSectors != 0 && next >= disk_.totalSectors)
                wrong = Format("links to sector %" PRIu64 ", outside the disk", next);
            else if (next < first || next >= end)
                wrong = Format("links to sector %" PRIu64 ", outside its extended partition", next);
            else if (visited.count(next) != 0)
                wrong = Format("links back to the EBR at sector %" PRIu64, next);
            else if (visited.size() >= kMaxExtendedChain)
                wrong = Format("ends a chain longer than %u EBRs", kMaxExtendedChain);
            if (!wrong.empty()) {
                findings_.push_back(Problem(where, wrong));
                return;
            }
            current = next;
        }
    }

    void AddLogical(const PartitionEntry& e, std::uint64_t ebr, std::uint64_t first, std::uint64_t end) {
        if (e.TypeByte() == 0) return;
        const std::string name = Format("logical partition %u", ++logicals_);
        const std::uint64_t start = ebr + e.Start();
        CheckEntry(name, e, start);
        if (e.Start() == 0)
            findings_.push_back(Problem(name, Format("starts at its own EBR (sector %" PRIu64 ")", ebr)));
        else if (start < first || e.Sectors() > end - std::min(start, end))
            findings_.push_back(Problem(name, "lies outside its extended partition"));
        data_.push_back({name, start, e.Sectors(), true});
    }

    const VerifiedDisk& disk_;
    std::vector<Finding> findings_;
    std::vector<PartitionExtent> primaries_;
    std::vector<PartitionExtent> data_;  // primaries that hold data, and logicals
    std::vector<ChsAddress> addresses_;
    std::uint32_t logicals_ = 0;
};

}  // namespace

std::vector<Finding> VerifyMbr(const VerifiedDisk& disk) { return MbrVerifier(disk).Run(); }

std::vector<Finding> VerifyProtectiveMbr(const VerifiedDisk& disk) {
    std::vector<Finding> findings;
    const char* where = "protective MBR";
    if (!HasBootSignature(disk.sector0)) {
        findings.push_back(Problem(where, "no boot signature (55 AA) at its end"));
        return findings;
    }
    int others = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const std::uint8_t type = ReadSlot(disk.sector0, slot).TypeByte();
        if (type != 0 && type != kProtectiveType) ++others;
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const PartitionEntry e = ReadSlot(disk.sector0, slot);
        if (e.TypeByte() != kProtectiveType) continue;
        if (e.Start() != 1)
            findings.push_back(Problem(where, Format("its GPT entry starts at sector %u, not 1", e.Start())));
        // A hybrid's GPT entry shares the disk with the others and covers
        // only what they leave; it has no size to be held to.
        if (disk.totalSectors == 0 || others > 0) continue;
        const std::uint64_t wanted = std::min<std::uint64_t>(disk.totalSectors - 1, kLastMbrSector);
        if (e.Sectors() != wanted)
            findings.push_back(
                Problem(where, Format("its GPT entry covers %u sectors, not %" PRIu64, e.Sectors(), wanted)));
    }
    if (others > 0)
        findings.push_back(
            {Severity::Note, where,
             Format("a hybrid MBR: %d partition%s beside the GPT entry", others, others == 1 ? "" : "s")});
    return findings;
}

namespace {

// Entries left unchecked under a header that failed are said, but only the
// header's findings count as problems; a backup that could not be looked
// for (the disk's size unknown) is worth a warning.
Severity GptSeverity(const GptFinding& f) {
    switch (f.problem) {
        case GptProblem::NotChecked:
            return Severity::Note;
        case GptProblem::NotLocated:
            return Severity::Warning;
        default:
            return Severity::Problem;
    }
}

void AddCopyFindings(const GptCopy& copy, const char* name, std::vector<Finding>& findings) {
    for (const GptFinding& f : copy.headerFindings)
        findings.push_back({GptSeverity(f), Format("%s GPT header", name), GptFindingText(f)});
    for (const GptFinding& f : copy.entryFindings)
        findings.push_back({GptSeverity(f), Format("%s GPT entries", name), GptFindingText(f)});
}

// The partitions of a copy whose header and entries passed: each lies in
// the usable area already; what is left is how they stand to each other.
void CheckGptPartitions(const GptCopy& copy, std::vector<Finding>& findings) {
    std::vector<PartitionExtent> extents;
    std::map<std::string, std::uint32_t> guids;
    const std::uint32_t count = copy.header.EntryCount();
    for (std::uint32_t i = 0; i < count; ++i) {
        const GptEntry e{copy.entries.data() + std::size_t{i} * kGptEntrySize};
        if (!e.Used()) continue;
        const std::string name = Format("partition %u", i + 1);
        extents.push_back({name, e.FirstLba(), e.LastLba() - e.FirstLba() + 1});
        const auto [at, first] = guids.emplace(GuidText(e.bytes + 16), i + 1);
        if (!first)
            findings.push_back(Problem(name, Format("has the unique GUID of partition %u", at->second)));
    }
    FindOverlaps(std::move(extents), findings);
}

}  // namespace

std::vector<Finding> VerifyGpt(const VerifiedDisk& disk) {
    std::vector<Finding> findings;
    if (!disk.readRun) return findings;
    const GptCopies copies = ReadGptCopies(disk.readRun, disk.totalSectors);
    AddCopyFindings(copies.primary, "primary", findings);
    AddCopyFindings(copies.backup, "backup", findings);
    if (copies.primary.Passes())
        CheckGptPartitions(copies.primary, findings);
    else if (copies.backup.Passes())
        CheckGptPartitions(copies.backup, findings);
    return findings;
}

std::size_t ProblemCount(const std::vector<Finding>& findings) {
    return static_cast<std::size_t>(std::count_if(
        findings.begin(), findings.end(), [](const Finding& f) { return f.severity == Severity::Problem; }));
}

// In disk order, each extent is compared with the one before it that reaches
// furthest: every extent that overlaps an earlier one is named once, however
// many extents there are.
void FindOverlaps(std::vector<PartitionExtent> extents, std::vector<Finding>& findings,
                  OverlapFilter reported) {
    std::erase_if(extents, [](const PartitionExtent& e) { return e.sectors == 0; });
    std::stable_sort(extents.begin(), extents.end(),
                     [](const PartitionExtent& a, const PartitionExtent& b) { return a.first < b.first; });
    // An extent that would reach past the last sector number reaches to it.
    auto end = [](const PartitionExtent& e) {
        return e.sectors > UINT64_MAX - e.first ? UINT64_MAX : e.first + e.sectors;
    };
    const PartitionExtent* reach = nullptr;
    for (const PartitionExtent& e : extents) {
        if (reach && e.first < end(*reach) && (!reported || reported(*reach, e)))
            findings.push_back(Problem(e.name, "overlaps " + reach->name));
        if (!reach || end(e) > end(*reach)) reach = &e;
    }
}

}  // namespace partam
