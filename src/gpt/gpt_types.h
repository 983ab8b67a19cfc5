// The catalogue of GPT partition type GUIDs the program names, and the text
// form of a GUID.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace partam {

struct GptTypeInfo {
    int id;
    const char* guid;  // upper-case text, 36 characters
    const char* shortName;
    const char* description;
    const char* os;
};

// The rows in their order, the last one the id-0 row that stands for
// "not in the catalogue".
std::span<const GptTypeInfo> GptTypeCatalogue();

// The first row whose GUID text agrees with text in its first 16
// characters; the id-0 row when none does.
const GptTypeInfo& LookupGptType(const std::string& guidText);

// "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X": the first three fields
// little-endian, the last eight bytes in order.
std::string GuidText(const std::uint8_t* guid16);

}  // namespace partam
