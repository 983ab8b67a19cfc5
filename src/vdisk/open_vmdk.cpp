#include "vdisk/open_vmdk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/result_codes.h"
#include "base/text.h"
#include "disk/sector_file.h"
#include "vdisk/descriptor.h"
#include "vdisk/sparse_extent.h"
#include "vdisk/vmdk_device.h"

namespace partam {

namespace {

// The descriptor is read 2,048 bytes at a time; the parser holds a line that
// one piece leaves unfinished until the next completes it.
constexpr std::uint32_t kChunk = 2048;
// No descriptor is larger: a 2 GB split of the largest disk names a few
// thousand extents in some hundred kilobytes.
constexpr std::uint64_t kMaxDescriptorBytes = std::uint64_t{1} << 20;
constexpr std::string_view kSparseMagic = "KDMV";
constexpr std::string_view kMarker = "# Disk DescriptorFile";

struct FoundDescriptor {
    int code = 0;
    VmdkDescriptor descriptor;
    bool embedded = false;  // carried inside a sparse extent
};

FoundDescriptor Refused(int code) {
    FoundDescriptor found;
    found.code = code;
    return found;
}

// Feeds the parser first, then what follows in the file, at most limit
// bytes in all, until the text ends.
void FeedFrom(SectorFile& file, DescriptorParser& parser, std::string_view first, std::uint64_t limit) {
    std::array<char, kChunk> chunk{};
    std::string_view piece = first;
    while (limit > 0) {
        piece = piece.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), limit)));
        limit -= piece.size();
        if (!parser.Feed(piece) || limit == 0) return;
        std::uint32_t got = 0;
        if (!file.ReadBytes(chunk.data(), kChunk, &got)) return;
        piece = std::string_view(chunk.data(), got);
    }
}

FoundDescriptor ReadDescriptor(Platform& platform, const std::string& path) {
    // Read alone, beside any handle that writes it: a sparse disk's
    // descriptor lies in its extent, which a disk selected before may hold.
    SectorFile file(platform);
    if (!file.Open(path, kGenericRead, kShareRead | kShareWrite, kOpenExisting, kAttributeNormal, false))
        return Refused(kVdiskLocked);
    std::array<char, kChunk> chunk{};
    std::uint32_t got = 0;
    if (!file.ReadBytes(chunk.data(), kChunk, &got)) return Refused(kVdiskNotVmware2);
    const std::string_view first(chunk.data(), got);
    DescriptorParser parser;
    FoundDescriptor found;
    if (first.starts_with(kMarker)) {
        if (file.Size() > kMaxDescriptorBytes) return Refused(kVdiskUnknownFormat);
        FeedFrom(file, parser, first, kMaxDescriptorBytes);
    } else if (first.starts_with(kSparseMagic) && got >= kSectorSize) {
        SparseHeader header;
        std::memcpy(header.bytes.data(), chunk.data(), kSectorSize);
        // An extent of a split disk has no descriptor of its own.
        if (header.DescriptorOffset() == 0 || header.DescriptorSize() == 0) return Refused(kVdiskNotVmware2);
        if (header.DescriptorSize() > kMaxDescriptorBytes / kSectorSize ||
            header.DescriptorOffset() > kMaxExtentSectors ||
            !file.Seek(static_cast<std::int64_t>(header.DescriptorOffset() * kSectorSize), SeekOrigin::Begin))
            return Refused(kVdiskUnknownFormat);
        found.embedded = true;
        FeedFrom(file, parser, std::string_view(), header.DescriptorSize() * kSectorSize);
    } else {
        return Refused(kVdiskNotVmware2);
    }
    found.descriptor = parser.Finish();
    if (!found.descriptor.marker) found.code = kVdiskNotVmware2;
    return found;
}

// The folder of a path with its last separator; empty when it names none.
std::string FolderOf(const std::string& path) {
    const std::size_t at = path.find_last_of("\\/");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

// A name in the system's device namespace ("\\.\PhysicalDrive0") is no
// extent file, whatever a descriptor says.
bool IsDeviceName(const std::string& path) {
    auto slash = [](char c) { return c == '\\' || c == '/'; };
    return path.size() >= 3 && slash(path[0]) && slash(path[1]) && (path[2] == '.' || path[2] == '?');
}

bool SharesSparseFile(const std::vector<ExtentPlan>& plans, const ExtentPlan& plan) {
    return !plan.path.empty() && std::any_of(plans.begin(), plans.end(), [&plan](const ExtentPlan& earlier) {
               const bool sparse = earlier.line.kind == ExtentKind::Sparse || plan.line.kind == ExtentKind::Sparse;
               return sparse && EqualsNoCase(earlier.path, plan.path);
           });
}

int Refusal(const FoundDescriptor& found, VmdkType type) {
    const VmdkDescriptor& d = found.descriptor;
    if (found.code != 0) return found.code;
    // A disk with a parent shows the parent's sectors where it has none of
    // its own; read alone, it would show zeros there instead.
    if (type == VmdkType::Unknown || d.HasParent()) return kVdiskUnknownType;
    if (d.problem != 0) return d.problem;
    if (d.extents.empty()) return kVdiskExtentOpenFailed;
    return 0;
}

}  // namespace

VmdkPlan PlanVmdk(Platform& platform, const std::string& path) {
    VmdkPlan plan;
    const FoundDescriptor found = ReadDescriptor(platform, path);
    plan.descriptor = found.descriptor;
    const VmdkDescriptor& d = plan.descriptor;
    plan.type = TypeOf(d.createType.value_or(std::string()));
    plan.code = Refusal(found, plan.type);
    if (plan.code != 0) return plan;
    for (const ExtentLine& line : d.extents) {
        ExtentPlan extent{line, line.fileName.empty() ? std::string() : FolderOf(path) + line.fileName};
        // The one extent of a sparse file that carries its descriptor is
        // that file, under whatever name it was copied.
        if (found.embedded && line.kind == ExtentKind::Sparse && d.extents.size() == 1) extent.path = path;
        if (IsDeviceName(extent.path)) {
            plan.code = kVdiskExtentOpenFailed;
            return plan;
        }
        // A sparse file places new grains at its end: two extents on one
        // file would each put theirs in the same place.
        if (SharesSparseFile(plan.extents, extent)) {
            plan.code = kVdiskUnknownFormat;
            return plan;
        }
        plan.extents.push_back(std::move(extent));
    }
    return plan;
}

VirtualDiskOpening OpenVmdk(Platform& platform, const std::string& path) {
    VirtualDiskOpening opening;
    const VmdkPlan plan = PlanVmdk(platform, path);
    opening.code = plan.code;
    if (opening.code != 0) return opening;
    const VmdkDescriptor& d = plan.descriptor;
    std::unique_ptr<VmdkDevice> device;
    opening.code = VmdkDevice::Open(platform, plan.extents, {d.cylinders, d.heads, d.sectorsPerTrack}, device);
    if (opening.code != 0) return opening;
    opening.device = std::move(device);
    opening.interfaceText = InterfaceText(d.adapterType);
    opening.description = TypeDescription(plan.type);
    return opening;
}

}  // namespace partam
