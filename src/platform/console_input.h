// Line input shared by the platforms, over a source of single bytes.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace partam {

// The most of one input line that is kept; the rest up to the line end is
// read and dropped, so hostile input cannot grow memory without bound.
inline constexpr std::size_t kMaxInputLine = 64 * 1024;

// One line without its CR LF or LF from nextByte(), which returns
// kEndOfInput at end of input. False when the input ended before any
// byte of the line.
template <typename NextByte>
bool ReadBoundedLine(NextByte nextByte, std::string& line) {
    line.clear();
    bool any = false;
    for (int c = nextByte(); c != kEndOfInput; c = nextByte()) {
        any = true;
        if (c == '\n') break;
        if (line.size() < kMaxInputLine) line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

}  // namespace partam
