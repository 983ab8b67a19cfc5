// The text descriptor of a VMware virtual disk (VMDK): its create type, its
// extent lines, its geometry and adapter. A pure parser: the text is fed in
// pieces as it is read, and a line may be cut anywhere between two pieces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace partam {

enum class VmdkType : std::uint32_t {
    Unknown = 0,
    MonolithicFlat = 1,
    TwoGbMaxExtentFlat = 2,
    MonolithicSparse = 3,
    TwoGbMaxExtentSparse = 4,
};

enum class ExtentAccess { ReadWrite, ReadOnly, NoAccess };
enum class ExtentKind { Flat, Sparse, Zero };

// One extent line: `RW 4194304 SPARSE "disk-s001.vmdk"`, or with an offset
// in sectors into the file after a FLAT extent's name.
struct ExtentLine {
    ExtentAccess access = ExtentAccess::ReadWrite;
    std::uint64_t sectors = 0;
    ExtentKind kind = ExtentKind::Flat;
    std::string fileName;
    std::uint64_t offset = 0;
};

// Numbers in a descriptor are bounded before anything is sized by them: an
// extent of 1 to 2^40 sectors (512 TiB), an offset into its file of at most
// as many, and at most this many extents.
inline constexpr std::uint64_t kMaxExtentSectors = std::uint64_t{1} << 40;
inline constexpr std::size_t kMaxExtents = 4096;
// A descriptor line longer than this is no line of a descriptor.
inline constexpr std::size_t kMaxDescriptorLine = 4096;

struct VmdkDescriptor {
    bool marker = false;  // the "# Disk DescriptorFile" line was seen
    std::optional<std::string> createType;
    std::optional<std::string> parentCid;
    std::optional<std::string> adapterType;
    // From the ddb.geometry lines; 0 unless all three are there, each from
    // 1 to 2^32 - 1.
    std::uint32_t cylinders = 0;
    std::uint32_t heads = 0;
    std::uint32_t sectorsPerTrack = 0;
    std::vector<ExtentLine> extents;
    // 0, or the code that refuses the descriptor: 567 for a line that is no
    // extent line one can use, 568 for numbers past their bounds.
    int problem = 0;

    std::uint64_t TotalSectors() const;
    // True when the disk has a parent disk whose sectors show through its
    // own unallocated ones (a snapshot or a linked clone).
    bool HasParent() const;
};

class DescriptorParser {
public:
    // Feeds the next piece of text; the text ends at its first NUL, and what
    // comes after that is not read. False once the text has ended.
    bool Feed(std::string_view piece);
    VmdkDescriptor Finish();

private:
    void Line(std::string_view line);
    void Geometry();
    void Refuse(int code) {
        if (d_.problem == 0) d_.problem = code;
    }

    VmdkDescriptor d_;
    std::string pending_;
    bool ended_ = false;
    bool overlong_ = false;
    // The ddb.geometry values as read, until Finish decides on them.
    std::optional<std::uint64_t> cylinders_, heads_, sectors_;
};

// The type of a createType value, compared whole and without regard to case.
VmdkType TypeOf(std::string_view createType);
const char* TypeDescription(VmdkType type);
// "SCSI" for the LSI Logic and BusLogic adapters, "IDE", "UNKNOWN" for any
// other adapter, empty when the descriptor names none.
std::string InterfaceText(const std::optional<std::string>& adapterType);

}  // namespace partam
