#include "vdisk/descriptor.h"

#include <algorithm>

#include "base/result_codes.h"
#include "base/text.h"

namespace partam {

namespace {

constexpr std::string_view kMarker = "# Disk DescriptorFile";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The next blank-separated word of s, taken off its front.
std::string_view NextWord(std::string_view& s) {
    s = Trim(s);
    std::size_t end = 0;
    while (end < s.size() && !IsBlank(s[end])) ++end;
    const std::string_view word = s.substr(0, end);
    s.remove_prefix(end);
    return word;
}

// A count written in decimal digits and nothing else; nothing for any other
// text. Values past 2^62 stay there, which every bound is below.
std::optional<std::uint64_t> ReadCount(std::string_view s) {
    if (s.empty() || s.size() > 20) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        constexpr std::uint64_t kCap = std::uint64_t{1} << 62;
        const unsigned digit = static_cast<unsigned>(c - '0');
        value = value > (kCap - digit) / 10 ? kCap : value * 10 + digit;
    }
    return value;
}

// A value without the double quotes around it, when it has them.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

std::optional<ExtentAccess> AccessOf(std::string_view word) {
    if (EqualsNoCase(word, "RW")) return ExtentAccess::ReadWrite;
    if (EqualsNoCase(word, "RDONLY")) return ExtentAccess::ReadOnly;
    if (EqualsNoCase(word, "NOACCESS")) return ExtentAccess::NoAccess;
    return std::nullopt;
}

std::optional<ExtentKind> KindOf(std::string_view word) {
    if (EqualsNoCase(word, "FLAT")) return ExtentKind::Flat;
    if (EqualsNoCase(word, "SPARSE")) return ExtentKind::Sparse;
    if (EqualsNoCase(word, "ZERO")) return ExtentKind::Zero;
    return std::nullopt;
}

// The words after the access word of an extent line: size, kind, the quoted
// file name (a ZERO extent has none) and, for a FLAT extent, an optional
// offset. Nothing when the line says anything else.
std::optional<ExtentLine> ReadExtent(ExtentAccess access, std::string_view rest) {
    ExtentLine e;
    e.access = access;
    const auto sectors = ReadCount(NextWord(rest));
    const auto kind = KindOf(NextWord(rest));
    if (!sectors || !kind) return std::nullopt;
    e.sectors = *sectors;
    e.kind = *kind;
    rest = Trim(rest);
    if (e.kind == ExtentKind::Zero) return rest.empty() ? std::optional(e) : std::nullopt;
    if (rest.size() < 2 || rest.front() != '"') return std::nullopt;
    const std::size_t close = rest.find('"', 1);
    if (close == std::string_view::npos || close == 1) return std::nullopt;
    e.fileName = std::string(rest.substr(1, close - 1));
    rest = Trim(rest.substr(close + 1));
    if (!rest.empty()) {
        const auto offset = ReadCount(rest);
        if (!offset || e.kind != ExtentKind::Flat) return std::nullopt;
        e.offset = *offset;
    }
    return e;
}

}  // namespace

std::uint64_t VmdkDescriptor::TotalSectors() const {
    std::uint64_t total = 0;
    for (const ExtentLine& e : extents) total += e.sectors;
    return total;
}

bool VmdkDescriptor::HasParent() const { return parentCid && !EqualsNoCase(*parentCid, "ffffffff"); }

bool DescriptorParser::Feed(std::string_view piece) {
    if (ended_) return false;
    const std::size_t nul = piece.find('\0');
    if (nul != std::string_view::npos) {
        piece = piece.substr(0, nul);
        ended_ = true;
    }
    while (!piece.empty()) {
        const std::size_t eol = piece.find('\n');
        const std::string_view part = piece.substr(0, eol);
        // A line longer than any descriptor line is not held: only the fact
        // that there was one.
        if (!overlong_ && pending_.size() + part.size() <= kMaxDescriptorLine)
            pending_.append(part);
        else
            overlong_ = true;
        if (eol == std::string_view::npos) break;
        if (overlong_)
            Refuse(kVdiskUnknownFormat);
        else
            Line(pending_);
        pending_.clear();
        overlong_ = false;
        piece.remove_prefix(eol + 1);
    }
    return !ended_;
}

VmdkDescriptor DescriptorParser::Finish() {
    if (overlong_)
        Refuse(kVdiskUnknownFormat);
    else if (!pending_.empty())
        Line(pending_);
    pending_.clear();
    overlong_ = false;
    ended_ = true;
    Geometry();
    return d_;
}

void DescriptorParser::Line(std::string_view raw) {
    const std::string_view line = Trim(raw);
    if (line.empty()) return;
    if (line.front() == '#') {
        if (StartsWithNoCase(line, kMarker)) d_.marker = true;
        return;
    }
    std::string_view rest = line;
    if (const auto access = AccessOf(NextWord(rest))) {
        const auto extent = ReadExtent(*access, rest);
        if (!extent) return Refuse(kVdiskUnknownFormat);
        if (extent->sectors == 0 || extent->sectors > kMaxExtentSectors ||
            extent->offset > kMaxExtentSectors || d_.extents.size() >= kMaxExtents)
            return Refuse(kVdiskNoParameters);
        d_.extents.push_back(*extent);
        return;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string value(Unquote(Trim(line.substr(equals + 1))));
    // The first line of a key counts; a repeated one is not read.
    auto take = [&](std::optional<std::string>& field) {
        if (!field) field = value;
    };
    auto takeCount = [&](std::optional<std::uint64_t>& field) {
        if (!field) field = ReadCount(value).value_or(0);
    };
    if (EqualsNoCase(key, "createType"))
        take(d_.createType);
    else if (EqualsNoCase(key, "parentCID"))
        take(d_.parentCid);
    else if (EqualsNoCase(key, "ddb.adapterType"))
        take(d_.adapterType);
    else if (EqualsNoCase(key, "ddb.geometry.cylinders"))
        takeCount(cylinders_);
    else if (EqualsNoCase(key, "ddb.geometry.heads"))
        takeCount(heads_);
    else if (EqualsNoCase(key, "ddb.geometry.sectors"))
        takeCount(sectors_);
}

// The geometry counts only whole: three values, none 0 and none wider than
// its 32-bit field.
void DescriptorParser::Geometry() {
    auto fits = [](const std::optional<std::uint64_t>& v) { return v && *v >= 1 && *v <= 0xFFFFFFFFu; };
    if (!fits(cylinders_) || !fits(heads_) || !fits(sectors_)) return;
    d_.cylinders = static_cast<std::uint32_t>(*cylinders_);
    d_.heads = static_cast<std::uint32_t>(*heads_);
    d_.sectorsPerTrack = static_cast<std::uint32_t>(*sectors_);
}

VmdkType TypeOf(std::string_view createType) {
    if (EqualsNoCase(createType, "monolithicFlat")) return VmdkType::MonolithicFlat;
    if (EqualsNoCase(createType, "twoGbMaxExtentFlat")) return VmdkType::TwoGbMaxExtentFlat;
    if (EqualsNoCase(createType, "monolithicSparse")) return VmdkType::MonolithicSparse;
    if (EqualsNoCase(createType, "twoGbMaxExtentSparse")) return VmdkType::TwoGbMaxExtentSparse;
    return VmdkType::Unknown;
}

const char* TypeDescription(VmdkType type) {
    switch (type) {
        case VmdkType::MonolithicFlat:
            return "VMware Pre-allocated Flat Disk File";
        case VmdkType::TwoGbMaxExtentFlat:
            return "VMware Pre-allocated 2GB Flat Disk File";
        case VmdkType::MonolithicSparse:
            return "VMware Standard Disk File";
        case VmdkType::TwoGbMaxExtentSparse:
            return "VMware 2GB Standard Disk File";
        case VmdkType::Unknown:
            break;
    }
    return "Unknown Virtual Disk File";
}

std::string InterfaceText(const std::optional<std::string>& adapterType) {
    if (!adapterType) return std::string();
    const std::string_view a = *adapterType;
    if (StartsWithNoCase(a, "lsilogic") || StartsWithNoCase(a, "buslogic")) return "SCSI";
    if (StartsWithNoCase(a, "IDE")) return "IDE";
    return "UNKNOWN";
}

}  // namespace partam
