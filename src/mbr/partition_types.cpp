#include "mbr/partition_types.h"

#include <array>

namespace partam {

namespace {

// Hidden variants share the short name of their visible type; only the
// description tells them apart.
constexpr std::array<PartitionTypeInfo, 78> kCatalogue{{
    {0x01, "FAT12", "12bit FAT", false},
    {0x02, "XENIX", "Xenix root", false},
    {0x03, "XENIX", "Xenix /usr", false},
    {0x04, "FAT16", "16bit FAT < 32 MB", false},
    {0x05, "EXTEND", "Extended Fat16", false},
    {0x06, "FAT16B", "16bit Fat >=32 MB", false},
    {0x07, "NTFS", "NTFS, HPFS, IFS, or Advanced Unix", false},
    {0x08, "AIX", "AIX Boot Partition", false},
    {0x09, "AIXbt", "AIX Data (Linux)", false},
    {0x0A, "OS2BOOT", "OS/2 Boot Manager", false},
    {0x0B, "FAT32", "32Bit Fat", false},
    {0x0C, "FAT32X", "32Bit Fat, LBA Mapped", false},
    {0x0E, "FAT16X", "16Bit Fat, LBA Mapped  >=32MB", false},
    {0x0F, "EXTEND", "Extended LBA Mapped", false},
    {0x10, "OPUS", "OPUS", false},
    {0x11, "DOS", "DOS seen from OS/2", false},
    {0x12, "OEMDIAG", "OEM Diagnostic", false},
    {0x14, "FAT16", "Hidden 16bit FAT <32", true},
    {0x15, "EXTEND", "Hidden Extended Fat16", false},
    {0x16, "FAT16B", "Hidden 16bit FAT >=32", true},
    {0x17, "NTFS", "Hidden NTFS/HPFS", true},
    {0x18, "ASTSWP", "AST Smartsleep", false},
    {0x1B, "FAT32", "Hidden 32bit FAT", true},
    {0x1C, "FAT32X", "Hidden 32bit FAT LBA Mapped", true},
    {0x1E, "FAT16X", "Hidden 16bit FAT LBA MApped >=32", true},
    {0x1F, "EXTEND", "Hidden Extended", true},
    {0x24, "NECDOS", "NEC DOS 3.x", false},
    {0x35, "JFS", "JFS on OS/2", false},
    {0x38, "THEOS", "THEOS ver 3.2 2gb partition", false},
    {0x39, "Theosv4", "Theos version 4 partition", false},
    {0x3C, "PQFile", "PowerQuest Recovery", false},
    {0x3D, "Netware", "Hidden Netware", true},
    {0x40, "VENIX", "Venix 80286", false},
    {0x41, "RISCbt", "Personal RISC Boot", false},
    {0x42, "DYNMIC", "Dynamic Disk/Secure File System", false},
    {0x44, "GOBACK", "GoBack", false},
    {0x50, "ONTRAC", "Ontrack Disk Manager", false},
    {0x51, "NOVELL", "Novell", false},
    {0x52, "CP/M", "CP/M", false},
    {0x53, "DSKMGR", "Disk Manager", false},
    {0x55, "EZDRIV", "EZ-Drive", false},
    {0x61, "SPDSTR", "SpeedStor", false},
    {0x63, "UNIX", "System V/386", false},
    {0x64, "NOVELL", "Netware 286", false},
    {0x65, "NOVELL", "Netware 386, 3.x or 4.x", false},
    {0x66, "NOVELL", "Netware SMS", false},
    {0x67, "NOVELL", "Novell", false},
    {0x68, "NOVELL", "Novell", false},
    {0x75, "PC/IX", "IBM PX/IX", false},
    {0x80, "Minix", "Minix (ver. 1.4a and earlier)", false},
    {0x81, "Minix", "Minix (ver. 1.4b and later)", false},
    {0x82, "LxSwap", "Linux Swap", false},
    {0x83, "Linux", "Linux Native", false},
    {0x84, "PwrMgt", "Power Management Hibernation", false},
    {0x85, "LxExt", "Linux Extended", false},
    {0x86, "NTVol", "NTFS Volume Set", false},
    {0x8E, "LxLVM", "Linux LVM", false},
    {0x93, "Ameba", "Amoeba file system", false},
    {0x94, "Ameba", "Amoeba bad block table", false},
    {0xA0, "Hibrnt", "Laptop Hibernation", false},
    {0xA1, "Hibrnt", "Laptop Hibernation", false},
    {0xA5, "386BSD", "386 BSD", false},
    {0xA6, "OpnBSD", "Open BSD", false},
    {0xA7, "NxtStp", "NEXTSTEP", false},
    {0xA8, "MacOSX", "Mac OS-X", false},
    {0xAB, "MacBt", "Mac OS-X Boot", false},
    {0xAF, "HFS", "Mac HFS/HFS+", false},
    {0xBB, "BtWizd", "Boot Wizard Hidden", false},
    {0xBC, "AcrnSZ", "Acronis Secure Zone", false},
    {0xBE, "SOLRIS", "Solaris Boot", false},
    {0xBF, "SOLRIS", "New Solaris", false},
    {0xDB, "C.DOS", "Concurrent DOS", false},
    {0xDE, "Dell", "Dell OEM", false},
    {0xEE, "GPT", "GPT", false},
    {0xEF, "EFI", "EFI System Partition", false},
    {0xFB, "VMware", "VMware System", false},
    {0xFC, "VMwSwp", "VMware Swap", false},
    {0xFE, "IBM", "IBM OEM", false},
}};

}  // namespace

std::span<const PartitionTypeInfo> PartitionTypeCatalogue() { return kCatalogue; }

bool LookupType(std::uint32_t type, bool wantShortName, std::string& outText, bool& outHidden) {
    for (const PartitionTypeInfo& row : kCatalogue) {
        if (row.type != type) continue;
        outText = wantShortName ? row.shortName : row.description;
        outHidden = row.hidden;
        return true;
    }
    outText.clear();
    return false;
}

std::string PartitionTypeName(std::uint32_t type) {
    std::string name;
    bool hidden = false;
    return LookupType(type, true, name, hidden) ? name : std::string(kUnknownTypeName);
}

}  // namespace partam
