#include "gpt/gpt_types.h"

#include "base/endian.h"
#include "base/text.h"

namespace partam {

namespace {

const GptTypeInfo kCatalogue[] = {
    {1, "024DEE41-33E7-11D3-9D69-0008C781F39F", "MBR", "MBR Partition Scheme", "None"},
    {2, "C12A7328-F81F-11D2-BA4B-00A0C93EC93B", "EFI", "EFI System Partition", "None"},
    {3, "E3C9E316-0B5C-4DB8-817D-F92DF00215AE", "MSR", "Microsoft Reserved Partition", "Windows"},
    {4, "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7", "BDP", "Basic Data Partition", "Windows"},
    {5, "5808C8AA-7E8F-42E0-85D2-E1E90434CFB3", "LDM meta", "Logical Disk Manager metadata partition",
     "Windows"},
    {6, "AF9B60A0-1431-4F62-BC68-3311714A69AD", "LDM data", "Logical Disk Manager data partition", "Windows"},
    {8, "A19D880F-05FC-4D3B-A006-743F0F84911E", "LX-RAID", "Linux RAID Partition", "Linux"},
    {9, "0657FD6D-A4AB-43C4-84E5-0933C84B4F4F", "LX-SWAP", "Linux Swap Partition", "Linux"},
    {16, "E6D6D379-F507-44C2-A23C-238F2A3DF928", "LX-LVM", "Linux Logical Volume Manager Partition", "Linux"},
    {17, "8DA63339-0007-60C0-C436-083AC8230908", "LX-RSVD", "Linux Reserved", "Linux"},
    {18, "48465300-0000-11AA-AA11-00306543ECAC", "HFS-PLUS", "Apple HFS Plus", ""},
    {19, "55465300-0000-11AA-AA11-00306543ECAC", "APL-UFS", "Apple UFS", ""},
    {20, "426F6F74-0000-11AA-AA11-00306543ECAC", "APL-BOOT", "Apple Boot", ""},
    {21, "52414944-0000-11AA-AA11-00306543ECAC", "APL-RAID", "Apple RAID", ""},
    {22, "52414944-5F4F-11AA-AA11-00306543ECAC", "APL-RAID", "Apple Offline RAID", ""},
    {23, "4C616265-6C00-11AA-AA11-00306543ECAC", "APL-LBL", "Apple Label", ""},
    {0, "", "NA", "NA", "NA"},
};

// Only the first 16 characters are compared: the first two fields, which is
// where the catalogued types differ.
constexpr std::size_t kComparedCharacters = 16;

}  // namespace

std::span<const GptTypeInfo> GptTypeCatalogue() { return kCatalogue; }

const GptTypeInfo& LookupGptType(const std::string& guidText) {
    const std::span<const GptTypeInfo> rows = GptTypeCatalogue();
    for (const GptTypeInfo& row : rows.first(rows.size() - 1)) {
        if (guidText.compare(0, kComparedCharacters, row.guid, kComparedCharacters) == 0) return row;
    }
    return rows.back();
}

std::string GuidText(const std::uint8_t* g) {
    return Format("%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", LoadLe32(g), LoadLe16(g + 4),
                  LoadLe16(g + 6), g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
}

}  // namespace partam
