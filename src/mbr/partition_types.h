// The catalogue of MBR partition type bytes: a short name for listings and a
// description, fixed at build time.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace partam {

struct PartitionTypeInfo {
    std::uint32_t type;
    const char* shortName;  // at most 7 characters
    const char* description;
    bool hidden;  // the catalogue's own flag; it is not what IsHiddenType answers
};

// Every row, one per known type byte; the order carries no meaning.
std::span<const PartitionTypeInfo> PartitionTypeCatalogue();

// On a match: the short name (wantShortName) or the description goes into
// outText, the row's hidden flag into outHidden, and the result is true.
// Otherwise outText is emptied, outHidden keeps its value, the result is false.
// Type 0 (an empty slot) and values above 0xFF are never found.
bool LookupType(std::uint32_t type, bool wantShortName, std::string& outText, bool& outHidden);

// The name a partition shows for a type the catalogue does not know.
inline constexpr char kUnknownTypeName[] = "UNKNWN";

// The short name of a type, or kUnknownTypeName.
std::string PartitionTypeName(std::uint32_t type);

}  // namespace partam
