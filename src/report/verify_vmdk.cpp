#include "report/verify_vmdk.h"

#include <cinttypes>
#include <cstring>

#include "base/result_codes.h"
#include "base/text.h"
#include "disk/sector_file.h"
#include "vdisk/sparse_extent.h"

namespace partam {

namespace {

constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;

Finding Problem(std::string where, std::string what) {
    return {Severity::Problem, std::move(where), std::move(what)};
}

bool ReadEntries(const ExtentReader& read, std::uint64_t at, std::uint32_t sectors, std::uint32_t count,
                 std::vector<std::uint32_t>& entries) {
    std::vector<std::uint8_t> raw(std::size_t{sectors} * kSectorSize);
    if (!read(at, sectors, raw.data())) return false;
    entries.resize(count);
    for (std::size_t i = 0; i < count; ++i) entries[i] = LoadLe32(&raw[i * 4]);
    return true;
}

class SparseVerifier {
public:
    SparseVerifier(const std::string& where, std::uint64_t fileSectors, const ExtentReader& read)
        : where_(where), fileSectors_(fileSectors), read_(read) {}

    std::vector<Finding> Run(std::uint64_t sectors) {
        if (!read_(0, 1, h_.bytes.data())) return Say(where_, "its header cannot be read");
        const int code = CheckSparseHeader(h_, sectors, fileSectors_);
        if (code == kVdiskNoParameters)
            return Say(where_, Format("its header holds %" PRIu64 " sectors, the descriptor %" PRIu64,
                                      h_.Capacity(), sectors));
        if (code != 0) return Say(where_, "its sparse header is damaged or of a kind not read here");
        layout_ = LayoutOf(h_);
        std::vector<std::uint32_t> primary, redundant;
        if (!ReadEntries(read_, h_.Directory(), layout_.directorySectors, layout_.directoryEntries, primary))
            return Say(where_ + ", grain directory", "cannot be read");
        const bool twice = h_.HasRedundantTables();
        if (twice && !ReadEntries(read_, h_.RedundantDirectory(), layout_.directorySectors,
                                  layout_.directoryEntries, redundant))
            return Say(where_ + ", redundant grain directory", "cannot be read");
        for (std::uint32_t i = 0; i < layout_.directoryEntries; ++i)
            CheckTable(i, primary[i], twice ? redundant[i] : primary[i]);
        return std::move(findings_);
    }

private:
    std::vector<Finding> Say(const std::string& where, std::string what) {
        findings_.push_back(Problem(where, std::move(what)));
        return std::move(findings_);
    }

    // A table lies in the file, clear of the header and both directories.
    bool TablePlaced(std::uint32_t at) const {
        const std::uint64_t end = std::uint64_t{at} + layout_.tableSectors;
        auto clear = [&](std::uint64_t from, std::uint64_t count) { return end <= from || at >= from + count; };
        return at >= 1 && end <= fileSectors_ && clear(h_.Directory(), layout_.directorySectors) &&
               (!h_.HasRedundantTables() || clear(h_.RedundantDirectory(), layout_.directorySectors));
    }

    void CheckTable(std::uint32_t index, std::uint32_t at, std::uint32_t redundantAt) {
        const std::string where = Format("%s, grain table %u", where_.c_str(), index);
        if ((at == 0) != (redundantAt == 0)) {
            findings_.push_back(Problem(where, "only one of the two grain directories names it"));
            return;
        }
        if (at == 0) return;
        for (std::uint32_t place : {at, redundantAt}) {
            if (!TablePlaced(place)) {
                findings_.push_back(Problem(where, Format("lies at sector %u, outside the file or over its "
                                                          "header or directories",
                                                          place)));
                return;
            }
        }
        const std::uint32_t count = layout_.tableSectors * kEntriesPerSector;
        std::vector<std::uint32_t> table, copy;
        if (!ReadEntries(read_, at, layout_.tableSectors, count, table) ||
            !ReadEntries(read_, redundantAt, layout_.tableSectors, count, copy)) {
            findings_.push_back(Problem(where, "cannot be read"));
            return;
        }
        if (table != copy) findings_.push_back(Problem(where, "differs from its redundant copy"));
        CheckGrains(where, table);
    }

    // One finding for a table however many of its entries are wrong: a
    // table of garbage would otherwise bury every other finding.
    void CheckGrains(const std::string& where, const std::vector<std::uint32_t>& table) {
        std::uint32_t wrong = 0, first = 0;
        for (std::uint32_t i = 0; i < table.size(); ++i) {
            const std::uint32_t e = table[i];
            if (e == 0 || (e == 1 && h_.HasZeroGrainEntries())) continue;
            const bool inside = e >= h_.Overhead() && std::uint64_t{e} + h_.GrainSize() <= fileSectors_;
            if (!inside && wrong++ == 0) first = i;
        }
        if (wrong == 0) return;
        findings_.push_back(Problem(
            where, Format("%u grain entr%s outside the file or into its header or directories (entry %u: "
                          "sector %u)",
                          wrong, wrong == 1 ? "y points" : "ies point", first, table[first])));
    }

    const std::string& where_;
    std::uint64_t fileSectors_;
    const ExtentReader& read_;
    SparseHeader h_;
    SparseLayout layout_;
    std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> VerifySparseExtent(const std::string& where, std::uint64_t sectors,
                                        std::uint64_t fileSectors, const ExtentReader& read) {
    return SparseVerifier(where, fileSectors, read).Run(sectors);
}

std::vector<Finding> VerifyVmdkExtents(Platform& platform, const VmdkPlan& plan) {
    std::vector<Finding> findings;
    for (std::size_t i = 0; i < plan.extents.size(); ++i) {
        const ExtentPlan& extent = plan.extents[i];
        if (extent.line.kind == ExtentKind::Zero) continue;
        const std::string where = Format("extent %u (", static_cast<unsigned>(i + 1)) + extent.line.fileName + ")";
        SectorFile file(platform);
        if (!file.Open(extent.path, kGenericRead, kShareRead | kShareWrite, kOpenExisting, kAttributeNormal,
                       false)) {
            findings.push_back(Problem(where, "its file cannot be opened"));
            continue;
        }
        const std::uint64_t fileSectors = file.Size() / kSectorSize;
        if (extent.line.kind == ExtentKind::Sparse) {
            const ExtentReader read = [&file](std::uint64_t at, std::uint32_t count, std::uint8_t* bytes) {
                return file.ReadSectors(bytes, at, count);
            };
            for (Finding& f : VerifySparseExtent(where, extent.line.sectors, fileSectors, read))
                findings.push_back(std::move(f));
        } else if (extent.line.offset + extent.line.sectors > fileSectors) {
            findings.push_back(Problem(where, Format("its file holds %" PRIu64 " sectors, the descriptor %" PRIu64
                                                     " from sector %" PRIu64,
                                                     fileSectors, extent.line.sectors, extent.line.offset)));
        }
    }
    return findings;
}

}  // namespace partam
