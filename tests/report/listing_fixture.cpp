#include "report/listing_fixture.h"

#include <map>
#include <sstream>

#include "mbr/partition_list.h"

namespace partam::test {

FakeFile& AddImageDrive(FakePlatform& platform, int n, Bytes image, std::uint64_t sectors) {
    FakeFile& f = platform.AddDrive(n, 1);
    f.data = std::move(image);
    f.geometry->cylinders = static_cast<std::int64_t>(sectors / (255 * 63));
    f.geometryEx = sectors * 512;
    f.identity = DriveIdentity{"SATA", "Partam Test Disk"};
    return f;
}

mDisk& ListingRun::Disk() {
    if (!disk_) disk_ = std::make_unique<mDisk>(platform, 0, false, TableReaders{ReadMbrTable, {}});
    return *disk_;
}

std::string ListingRun::Show(const ListingOptions& options, int style, std::uint32_t codePage) {
    const FrameChars frame = SetFrameStyle(style, codePage);
    SizeFormatter sizes(platform);
    ReportContext report{platform, Disk(), frame, sizes};
    platform.TakeOutput();
    ShowMBR(report, options);
    return platform.TakeOutput();
}

std::string InStyle(const std::string& boxText, int style, std::uint32_t codePage) {
    if (codePage == 65001 && style != 3) return boxText;
    // Box character, then its byte in style 1, style 2 and style 3.
    struct Role {
        const char* box;
        char bytes[3];
    };
    static const Role kRoles[] = {
        {"\u2552", {'\xD5', '\xDA', ' '}}, {"\u2555", {'\xB8', '\xBF', ' '}},
        {"\u2558", {'\xD4', '\xC0', ' '}}, {"\u255B", {'\xBE', '\xD9', ' '}},
        {"\u2550", {'\xCD', '\xC4', '-'}}, {"\u2502", {'\xB3', '\xB3', ' '}},
        {"\u2500", {'\xC4', '\xC4', '-'}}, {"\u251C", {'\xC3', '\xC3', ' '}},
        {"\u2524", {'\xB4', '\xB4', ' '}},
    };
    std::string out;
    for (std::size_t i = 0; i < boxText.size();) {
        bool replaced = false;
        for (const Role& role : kRoles) {
            if (boxText.compare(i, 3, role.box) == 0) {
                out += role.bytes[style - 1];
                i += 3;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += boxText[i++];
    }
    return out;
}

std::string WrongWidthLines(const std::string& listing, bool utf8) {
    std::istringstream lines(listing);
    std::string line, wrong;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        std::size_t width = 0;
        for (unsigned char c : line)
            if (!utf8 || (c & 0xC0) != 0x80) ++width;
        if (width != 79) wrong += std::to_string(width) + ": " + line + "\n";
    }
    return wrong;
}

}  // namespace partam::test
