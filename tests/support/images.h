// Builders for sectors and disk images used by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace partam::test {

using Bytes = std::vector<std::uint8_t>;

struct EntrySpec {
    std::uint8_t status = 0;
    std::uint8_t type = 0;
    std::uint32_t start = 0;
    std::uint32_t sectors = 0;
};

// A 512-byte MBR or EBR: boot code starting 33 C0 (unless bootCode is
// false), the four entries, the signature at 440 and 55 AA at 510.
Bytes MakeMbr(const std::vector<EntrySpec>& slots, std::uint32_t diskSignature = 0x12345678,
              bool bootSignature = true, bool bootCode = true);

// Writes a 512-byte sector into an image at the given LBA, growing it.
void PutSector(Bytes& image, std::uint64_t lba, const Bytes& sector);

// A hexdump of one sector range of two images where they differ, for test
// failure messages; empty when equal.
std::string DiffSectors(const Bytes& expected, const Bytes& actual, std::uint64_t lba,
                        std::uint32_t count = 1);

}  // namespace partam::test
