// The characters that frame the listing, chosen by the console's code page.
#pragma once

#include <cstdint>
#include <string>

namespace partam {

// Each role holds the bytes written for it: one OEM box-drawing byte, a
// plain ASCII character, or, on a UTF-8 console, the same box character in
// UTF-8.
struct FrameChars {
    std::string topLeft = " ", topRight = " ", bottomLeft = " ", bottomRight = " ";
    std::string outerHorizontal = "-";
    std::string side = " ";
    std::string innerHorizontal = "-";
    std::string leftTee = " ", rightTee = " ";
    int style = 3;
};

// 1 for code pages 437 and 65001, 2 for 850, 852 and 855, 3 for any other.
int FrameStyleForCodePage(std::uint32_t codePage);
// The character set of a style; under code page 65001 the box characters
// are written in UTF-8.
FrameChars SetFrameStyle(int style, std::uint32_t codePage);

}  // namespace partam
