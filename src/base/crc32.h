// The CRC-32 that GPT headers and entry arrays carry (the reflected
// polynomial 0xEDB88320, initial value and final XOR all ones).
#pragma once

#include <cstddef>
#include <cstdint>

namespace partam {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

}  // namespace partam
