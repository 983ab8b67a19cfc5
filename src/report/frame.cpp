#include "report/frame.h"

namespace partam {

namespace {

// The box-drawing bytes of the OEM code pages, role by role.
struct FrameBytes {
    unsigned char topLeft, topRight, bottomLeft, bottomRight;
    unsigned char outerHorizontal, side, innerHorizontal, leftTee, rightTee;
};

constexpr FrameBytes kDoubleBorder = {0xD5, 0xB8, 0xD4, 0xBE, 0xCD, 0xB3, 0xC4, 0xC3, 0xB4};
constexpr FrameBytes kSingleBorder = {0xDA, 0xBF, 0xC0, 0xD9, 0xC4, 0xB3, 0xC4, 0xC3, 0xB4};
constexpr FrameBytes kPlain = {' ', ' ', ' ', ' ', '-', ' ', '-', ' ', ' '};

constexpr std::uint32_t kUtf8CodePage = 65001;

// The Unicode character code page 437 shows for one of the box bytes above.
char32_t BoxCharacter(unsigned char oem) {
    switch (oem) {
        case 0xB3:
            return U'\u2502';
        case 0xB4:
            return U'\u2524';
        case 0xB8:
            return U'\u2555';
        case 0xBE:
            return U'\u255B';
        case 0xBF:
            return U'\u2510';
        case 0xC0:
            return U'\u2514';
        case 0xC3:
            return U'\u251C';
        case 0xC4:
            return U'\u2500';
        case 0xCD:
            return U'\u2550';
        case 0xD4:
            return U'\u2558';
        case 0xD5:
            return U'\u2552';
        case 0xD9:
            return U'\u2518';
        case 0xDA:
            return U'\u250C';
        default:
            return oem;
    }
}

// All box characters lie in U+0800..U+FFFF: three bytes each.
std::string Utf8(char32_t c) {
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    std::string out;
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
    return out;
}

}  // namespace

int FrameStyleForCodePage(std::uint32_t codePage) {
    switch (codePage) {
        case 437:
        case kUtf8CodePage:
            return 1;
        case 850:
        case 852:
        case 855:
            return 2;
        default:
            return 3;
    }
}

FrameChars SetFrameStyle(int style, std::uint32_t codePage) {
    if (style != 1 && style != 2) style = 3;
    const FrameBytes& b = style == 1 ? kDoubleBorder : style == 2 ? kSingleBorder : kPlain;
    // A UTF-8 console would show the single OEM bytes as invalid sequences;
    // it gets the same characters in its own encoding, one column each.
    const bool utf8 = codePage == kUtf8CodePage && style != 3;
    auto role = [utf8](unsigned char c) {
        return utf8 ? Utf8(BoxCharacter(c)) : std::string(1, static_cast<char>(c));
    };
    FrameChars f;
    f.topLeft = role(b.topLeft);
    f.topRight = role(b.topRight);
    f.bottomLeft = role(b.bottomLeft);
    f.bottomRight = role(b.bottomRight);
    f.outerHorizontal = role(b.outerHorizontal);
    f.side = role(b.side);
    f.innerHorizontal = role(b.innerHorizontal);
    f.leftTee = role(b.leftTee);
    f.rightTee = role(b.rightTee);
    f.style = style;
    return f;
}

}  // namespace partam
